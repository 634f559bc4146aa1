// The Explorer entries written to a scratch key and folder, read back, repointed and removed.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

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

// The command line the shell makes of a verb's command for one file: %1 is the file and %% a
// percent sign.
std::wstring ShellExpanded(const std::wstring& command, const std::wstring& file) {
    std::wstring line;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == L'%' && i + 1 < command.size() && command[i + 1] == L'%') {
            line += command[++i];
        } else if (command[i] == L'%' && i + 1 < command.size() && command[i + 1] == L'1') {
            line += file;
            ++i;
        } else {
            line += command[i];
        }
    }
    return line;
}

// A shortcut as the user makes one.
void MakeShortcut(const fs::path& at, const std::wstring& target, const wchar_t* arguments,
                  const wchar_t* description) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        UniqueCom<IShellLinkW> link;
        UniqueCom<IPersistFile> file;
        ASSERT_EQ(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(IShellLinkW), link.put()),
                  S_OK);
        ASSERT_EQ(link->QueryInterface(__uuidof(IPersistFile), file.put()), S_OK);
        link->SetPath(target.c_str());
        link->SetArguments(arguments);
        link->SetDescription(description);
        ASSERT_EQ(file->Save(at.c_str(), TRUE), S_OK);
    }
    CoUninitialize();
}

std::size_t FileCount(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
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
        // Paths with a blank, and one with letters no ANSI code page holds together and a
        // percent sign the shell would expand.
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
    const std::wstring m_exe = m_dir.path() / L"Тольвар 50%1 程序" / L"Tolvar.exe";
    const std::wstring m_other = m_dir.path() / L"other copy" / L"Tolvar.exe";
};

TEST_F(ExplorerEntriesTest, AddWritesEveryVerbAndTheShortcutAndRemoveTakesThemAway) {
    const auto before = Tree();
    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    const std::wstring file = L"C:\\a b.dll";
    for (const wchar_t* extension : kExtensions) {
        const std::wstring reg = Verb(extension, L"Tolvar.Register");
        const std::wstring unreg = Verb(extension, L"Tolvar.Unregister");
        EXPECT_EQ(DefaultValue(reg), L"Register with Tolvar") << extension;
        EXPECT_EQ(DefaultValue(unreg), L"Unregister with Tolvar") << extension;
        EXPECT_EQ(ShellExpanded(DefaultValue(reg + L"\\command"), file),
                  L'"' + m_exe + L"\" /register \"" + file + L'"');
        EXPECT_EQ(ShellExpanded(DefaultValue(unreg + L"\\command"), file),
                  L'"' + m_exe + L"\" /unregister \"" + file + L'"');
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

// Started by its 8.3 path, Tolvar is the copy whose entries were written with the long one.
TEST_F(ExplorerEntriesTest, TheShortAndTheLongPathNameOneCopy) {
    std::wstring shortExe(MAX_PATH, L'\0');
    shortExe.resize(GetShortPathNameW(m_other.c_str(), shortExe.data(), MAX_PATH));
    ASSERT_FALSE(shortExe.empty());
    ASSERT_NE(fs::path(shortExe).parent_path().filename(),
              fs::path(m_other).parent_path().filename());

    ASSERT_TRUE(AddExplorerEntries(m_where, m_other));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, shortExe));
    ASSERT_TRUE(AddExplorerEntries(m_where, shortExe));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, m_other));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
}

// A shortcut of Tolvar's name the user made, to Tolvar itself, is theirs: Tolvar's goes beside it.
TEST_F(ExplorerEntriesTest, TheUsersOwnShortcutOfThatNameStaysAsItWas) {
    MakeShortcut(Shortcut(), m_exe, L"/register C:\\mine.dll", L"My own Tolvar");
    const std::string bytes = ReadFile(Shortcut());
    ASSERT_FALSE(bytes.empty());

    ASSERT_TRUE(AddExplorerEntries(m_where, m_exe));
    EXPECT_TRUE(ExplorerEntriesPointAt(m_where, m_exe));
    EXPECT_EQ(FileCount(m_where.sendToFolder), 2u);
    EXPECT_TRUE(ReadFile(Shortcut()) == bytes) << "the user's shortcut is as it was";
    EXPECT_TRUE(RemoveExplorerEntries(m_where));
    EXPECT_FALSE(ExplorerEntriesPointAt(m_where, m_exe));
    EXPECT_EQ(FileCount(m_where.sendToFolder), 1u);
    EXPECT_TRUE(ReadFile(Shortcut()) == bytes) << "the user's shortcut is as it was";
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
