// Registry trees read into snapshots byte for byte, and the .reg file written from a snapshot
// taken in by the system's own reg.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "command_line.h"
#include "reg_file.h"
#include "registry_snapshot.h"
#include "system_paths.h"
#include "test_support.h"

namespace tolvar::testing {
namespace {

using namespace std::literals;

constexpr wchar_t kServer[] = L"\\CLSID\\{0C3E2B6A-1D5F-4A7B-9E8C-2F6D4B1A3C5E}";
// Longer than the reading's first buffers, so that each has to grow.
constexpr std::size_t kLongNameChars = 200;
constexpr std::size_t kLongDataBytes = 2000;

std::string Units(std::wstring_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// The snapshot as a file's text, each key's values by name: Wine enumerates a key's values in
// name order, Windows in the order they were made.
std::wstring Text(RegSnapshot snapshot) {
    for (auto& [path, values] : snapshot) {
        std::sort(values.begin(), values.end(),
                  [](const RegValue& a, const RegValue& b) { return a.name < b.name; });
    }
    const RegFileText file = WriteRegFile(snapshot);
    EXPECT_TRUE(file.unwritten.empty());
    return file.text;
}

void SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
              std::size_t bytes) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), type, data,
                              static_cast<DWORD>(bytes)),
              ERROR_SUCCESS);
}

// Makes each key of the snapshot below `top` in place of the part of its path that `root` is.
void Make(const std::wstring& top, const std::wstring& root, const RegSnapshot& snapshot) {
    for (const auto& [path, values] : snapshot) {
        const std::wstring key = top + path.substr(root.size());
        HKEY made = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &made, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(made);
        for (const RegValue& value : values) {
            SetValue(key, value.name, value.type, value.data.data(), value.data.size());
        }
    }
}

// reg.exe's exit code, STILL_ACTIVE when it had to be ended.
DWORD RegImport(const std::wstring& file) {
    const std::wstring program = SystemDirectory() + L"\\reg.exe";
    std::wstring line = QuotedPath(program) + L" import " + QuotedPath(file);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started)) {
        ADD_FAILURE() << "cannot start reg.exe: error " << GetLastError();
        return STILL_ACTIVE;
    }
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    if (WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), STILL_ACTIVE);
        WaitForSingleObject(process.get(), kWaitMs);
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

TEST(RegistrySnapshot, ReadsATreeAsStoredAndDeletesIt) {
    ScratchSdkKey scratch;
    const std::wstring top = scratch.Source().keyPath;
    const std::wstring root(kClassesRootName);
    const std::wstring server = root + kServer;
    const std::wstring longName(kLongNameChars, L'n');
    // The top key has no values of its own: it stands for the root and gets no entry.
    RegSnapshot expected;
    expected[root + L"\\CLSID"];
    expected[server] = {{L"", kRegSz, Units(L"Sample\0"sv)},
                        {L"Flags", kRegDword, "\x01\x02\x03\x04"s},
                        {L"Odd", 0x20000, "\0\xff"s},
                        {longName, kRegBinary, std::string(kLongDataBytes, '\x5a')}};
    expected[server + L"\\InprocServer32"] = {
        {L"", kRegExpandSz, Units(L"%SystemRoot%\\sample.dll\0"sv)},
        {L"List", kRegMultiSz, Units(L"a\0b\0\0"sv)},
        {L"Nothing", kRegNone, ""}};
    expected[server + L"\\Implemented Categories"];
    expected[server + L"\\" + longName] = {{L"\x00e9\x4e2d", kRegQword, "12345678"}};
    Make(top, root, expected);
    // A text without its terminator. The unit after it is not a zero: the system would count
    // a zero there in, as for a caller that forgot it.
    const std::wstring cut = L"abX";
    SetValue(top + kServer, L"Cut", REG_SZ, cut.data(), 2 * sizeof(wchar_t));
    expected[server].push_back({L"Cut", kRegSz, Units(L"ab")});

    RegSnapshot read;
    ASSERT_EQ(ReadTree(HKEY_CURRENT_USER, top, root, read), ERROR_SUCCESS);
    EXPECT_EQ(Text(read), Text(expected));

    EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, L""), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(DeleteTree(HKEY_CURRENT_USER, top), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, top.c_str(), 0, KEY_READ, &gone),
              ERROR_FILE_NOT_FOUND);
}

// A 32-bit and a 64-bit server saved into one file: the 32-bit one's class and its machine key
// where 64-bit Windows keeps them for it, its ProgID shared.
TEST(RegistrySnapshot, SavesEachViewWhereTheSystemKeepsIt) {
    ScratchSdkKey scratch;
    const std::wstring top = scratch.Source().keyPath;
    const std::wstring classes(kClassesRootName), machine(kLocalMachineName);
    const std::vector<RegValue> server = {{L"", kRegSz, Units(L"C:\\s.dll\0"sv)}};
    Make(MappedViewKey(top, MappedView::Wow64) + L"\\" + classes, classes,
         {{classes + L"\\CLSID\\{A}", server}, {classes + L"\\Sample.A", server}});
    Make(MappedViewKey(top, MappedView::Wow64) + L"\\" + machine, machine,
         {{machine + L"\\Software\\Vendor", server}});
    Make(MappedViewKey(top, MappedView::Native) + L"\\" + classes, classes,
         {{classes + L"\\CLSID\\{B}", server}});
    const TempDir dir("tolvar-regfile");
    const fs::path file = dir.path() / "views.reg";
    const std::wstring_view roots[] = {kClassesRootName, kLocalMachineName};

    const SavedRegFile saved = SaveMappedRegistration(HKEY_CURRENT_USER, top, roots, file);
    ASSERT_EQ(saved.error, static_cast<DWORD>(ERROR_SUCCESS));
    const std::optional<RegSnapshot> read = ReadRegFile(ReadFile(file));
    ASSERT_TRUE(read);
    std::vector<std::wstring> paths;
    for (const auto& [path, values] : *read) paths.push_back(path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{
                         classes + L"\\CLSID",
                         classes + L"\\CLSID\\{B}",
                         classes + L"\\Sample.A",
                         classes + L"\\WOW6432Node\\CLSID",
                         classes + L"\\WOW6432Node\\CLSID\\{A}",
                         machine + L"\\Software",
                         machine + L"\\Software\\WOW6432Node\\Vendor",
                     }));
    EXPECT_EQ(saved.keys, paths.size());
}

TEST(RegistrySnapshot, RegImportMakesWhatTheFileWasWrittenFrom) {
    ScratchSdkKey scratch;
    const std::wstring top = scratch.Source().keyPath;
    const std::wstring root = std::wstring(kCurrentUserName) + L"\\" + top;
    const std::wstring sub = root + L"\\Sub ]key [x] \x00e9";
    std::string blob(100, '\0');
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>(i * 7);
    RegSnapshot written;
    written[root] = {{L"", kRegSz, Units(L"top \"quoted\" C:\\dir\\\0"sv)},
                     {L"Say \"hi\"\\", kRegSz, Units(L"\x00e9\x4e2d\0"sv)},
                     {L"Lines", kRegSz, Units(L"a\r\nb\0"sv)}};
    written[sub] = {{L"Flags", kRegDword, "\x01\x02\x03\x04"s},
                    {L"Short", kRegDword, "\x01\x02\x03"s},
                    {L"Big", kRegQword, "12345678"s},
                    {L"Nothing", kRegNone, ""s},
                    {L"Blob", kRegBinary, blob},
                    {L"Path", kRegExpandSz, Units(L"%SystemRoot%\\sample.dll\0"sv)},
                    {L"List", kRegMultiSz, Units(L"a\0b\0\0"sv)},
                    {L"Odd", 0x20000, "\0\xff"s}};
    written[sub + L"\\Empty"];
    const RegFileText file = WriteRegFile(written);
    ASSERT_TRUE(file.unwritten.empty());
    const TempDir dir("tolvar-regfile");
    const fs::path path = dir.path() / "written.reg";
    WriteFile(path, RegFileBytes(file.text));

    ASSERT_EQ(RegImport(path.wstring()), 0u);
    RegSnapshot read;
    ASSERT_EQ(ReadTree(HKEY_CURRENT_USER, top, root, read), ERROR_SUCCESS);
    EXPECT_EQ(Text(read), Text(written));
}

}  // namespace
}  // namespace tolvar::testing
