// The Explorer entries written to a scratch key and folder, read back, repointed and removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "explorer_entries.h"
#include "test_support.h"

namespace tolvar::testing {
namespace {

constexpr const wchar_t* kExtensions[] = {L".dll", L".ocx", L".ax"};

// Every key and value below the key, one line each, sorted.
void ListTree(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
    lines.push_back(path);
    wchar_t name[256], data[1024];
    DWORD type = 0;
    for (DWORD i = 0;; ++i) {
        DWORD chars = std::size(name), bytes = sizeof data;
        if (RegEnumValueW(key, i, name, &chars, nullptr, &type, reinterpret_cast<BYTE*>(data),
                          &bytes) != ERROR_SUCCESS) {
            break;
        }
        lines.push_back(path + L" [" + name + L"] " + std::to_wstring(type) + L' ' +
                        std::wstring(data, bytes / sizeof(wchar_t)));
    }
    for (DWORD i = 0;; ++i) {
        DWORD chars = std::size(name);
        HKEY child = nullptr;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) {
            break;
        }
        const UniqueRegKey owned(child);
        ListTree(child, path + L'\\' + name, lines);
    }
}

std::wstring DefaultValue(const std::wstring& path) {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes);
    return text;
}

void SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class ExplorerEntriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The user's classes key always exists: the scratch one too, before any entry.
        HKEY classes = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, m_classes.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                        &classes, nullptr);
        const UniqueRegKey owned(classes);
        fs::create_directories(m_where.sendToFolder);
        // Paths with a blank, and one with letters no ANSI code page holds together.
        for (const fs::path& exe : {fs::path(m_exe), fs::path(m_other)}) {
            fs::create_directories(exe.parent_path());
            Touch(exe);
        }
    }

    std::vector<std::wstring> Tree() const {
        HKEY scratch = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, KEY_READ, &scratch);
        const UniqueRegKey owned(scratch);
        std::vector<std::wstring> lines;
        if (owned) ListTree(scratch, m_scratchPath, lines);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::wstring Verb(const wchar_t* extension, const wchar_t* key) const {
        return m_classes + L"\\SystemFileAssociations\\" + extension + L"\\shell\\" + key;
    }
    fs::path Shortcut() const { return fs::path(m_where.sendToFolder) / L"Tolvar.lnk"; }

    ScratchSdkKey m_scratch;
    TempDir m_dir{"tolvar-explorer"};
    const std::wstring m_scratchPath = m_scratch.Source().keyPath;
    const std::wstring m_classes = m_scratchPath + L"\\Classes";
    const ExplorerLocation m_where{HKEY_CURRENT_USER, m_classes, m_dir.path() / "SendTo"};
    const std::wstring m_exe = m_dir.path() / L"Тольвар 程序" / L"Tolvar.exe";
    const std::wstring m_other = m_dir.path() / L"other copy" / L"Tolvar.exe";
};

TEST_F(ExplorerEntriesTest, AddWritesEveryVerbAndTheShortcutAndRemoveTakesThemAway) {
    const auto before = Tree();
    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    for (const wchar_t* extension : kExtensions) {
        const std::wstring reg = Verb(extension, L"Tolvar.Register");
        const std::wstring unreg = Verb(extension, L"Tolvar.Unregister");
        EXPECT_EQ(DefaultValue(reg), L"Register with Tolvar") << extension;
        EXPECT_EQ(DefaultValue(unreg), L"Unregister with Tolvar") << extension;
        EXPECT_EQ(DefaultValue(reg + L"\\command"), L'"' + m_exe + L"\" /register \"%1\"");
        EXPECT_EQ(DefaultValue(unreg + L"\\command"), L'"' + m_exe + L"\" /unregister \"%1\"");
    }
    // The shortcut's target is read back by the query alone: a wrong one makes it false.
    ASSERT_TRUE(fs::exists(Shortcut()));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, m_exe));
    std::wstring upper = m_exe;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, upper));

    // Also the keys made on the way go, SystemFileAssociations included.
    EXPECT_TRUE(RemoveExplorerEntries(m_where));
    EXPECT_EQ(Tree(), before);
    EXPECT_FALSE(fs::exists(Shortcut()));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
}

TEST_F(ExplorerEntriesTest, EntriesOfAnotherCopyCountOnlyOnceRepointed) {
    ASSERT_TRUE(AddExplorerEntries(m_where, m_other));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, m_other));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, m_exe));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_other));

    // One entry elsewhere is enough: the last verb, then the shortcut.
    SetValue(Verb(L".ax", L"Tolvar.Unregister") + L"\\command", nullptr,
             L'"' + m_other + L"\" /unregister \"%1\"");
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    ASSERT_TRUE(fs::remove(Shortcut()));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
}

TEST_F(ExplorerEntriesTest, OthersEntriesStayAndAFailedAddLeavesNothing) {
    const std::wstring types = m_classes + L"\\SystemFileAssociations";
    SetValue(types + L"\\.dll\\shell\\Other.Verb\\command", nullptr, L"other.exe \"%1\"");
    SetValue(types + L"\\.ocx", L"PerceivedType", L"application");
    SetValue(types + L"\\.ax\\shell", nullptr, L"open");
    const fs::path otherShortcut = fs::path(m_where.sendToFolder) / "Other.lnk";
    Touch(otherShortcut);
    const auto before = Tree();

    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    EXPECT_TRUE(RemoveExplorerEntries(m_where));
    EXPECT_EQ(Tree(), before);
    EXPECT_FALSE(fs::exists(Shortcut()));
    EXPECT_TRUE(fs::exists(otherShortcut));
    EXPECT_TRUE(RemoveExplorerEntries(m_where)) << "nothing left to remove";

    // The shortcut cannot be made, after the verbs were written: they go again.
    ExplorerLocation noFolder = m_where;
    noFolder.sendToFolder = (m_dir.path() / "missing").wstring();
    EXPECT_FALSE(AddExplorerEntries(noFolder, m_exe));
    EXPECT_EQ(Tree(), before);
}

}  // namespace
}  // namespace tolvar::testing
