// The other ways to register, driven as a user drives them: a split button's drop-down, the
// command line, and a server that crashes in its registration.
#include "window_fixture.h"

#include <thread>

#include "../../fixtures/fixture_file.h"
#include "reg_file.h"
#include "registry_snapshot.h"

namespace tolvar::testing {
namespace {

constexpr wchar_t kExportKeys[] = L"Software\\Tolvar\\Export";

class WaysTest : public WindowTest {
  protected:
    void TearDown() override {
        WindowTest::TearDown();
        const std::wstring key = L"Software\\Classes\\" + std::wstring(fixture::kHostTestClassKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
    // The host test servers and both hosts, staged in a fresh folder.
    fs::path Stage() {
        const fs::path dir = m_dir.path() / "ways";
        fs::create_directories(dir);
        for (auto name : {"classes_com.dll", "crash_com.dll", "record_args.exe", "Tolvar.exe",
                          "TolvarHost32.exe", "TolvarHost64.exe"}) {
            fs::copy_file(TestDirectory() / name, dir / name);
        }
        return dir;
    }
    // Opens a split button's drop-down from the keyboard (F4) and picks an item by its mnemonic,
    // typed into the menu once it shows.
    void PickFromDropDown(Control button, wchar_t mnemonic) {
        std::jthread typist([mnemonic] {
            for (const ULONGLONG deadline = GetTickCount64() + kWaitMs; GetTickCount64() < deadline;
                 Sleep(20)) {
                if (const HWND menu = FindWindowW(L"#32768", nullptr);
                    menu && IsWindowVisible(menu)) {
                    PostMessageW(menu, WM_CHAR, mnemonic, 0);
                    return;
                }
            }
        });
        PostMessageW(Ctl(button), WM_KEYDOWN, VK_F4, 0);
        PumpMessages();
    }
    static std::optional<std::wstring> ServerOf(HKEY root, const std::wstring& classes) {
        const std::wstring key = classes + fixture::kHostTestClassKey + fixture::kServerSubKey;
        wchar_t value[MAX_PATH] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return value;
    }
    // The throw-away keys of runs into .reg files that are left.
    // The machine's and the user's classes, whole.
    static RegSnapshot Classes() {
        RegSnapshot classes;
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            EXPECT_EQ(ReadTree(root, L"Software\\Classes",
                               root == HKEY_CURRENT_USER ? L"HKCU" : L"HKLM", classes),
                      ERROR_SUCCESS);
        }
        return classes;
    }
    static DWORD ExportKeysLeft() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kExportKeys, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return 0;
        }
        const UniqueRegKey owned(key);
        DWORD subkeys = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        return subkeys;
    }
};

TEST_F(WaysTest, ForMeOnlyRegistersInTheUsersClassesAlone) {
    const fs::path server = Stage() / "classes_com.dll";
    Open(false);
    Form().SetTarget(server.wstring(), L"classes_com.dll");
    WaitUntilSettled();
    PickFromDropDown(kRegisterButton, L'm');
    WaitUntilSettled();
    EXPECT_TRUE(
        Form().StatusText().starts_with(L"classes_com.dll registered for you only: 1 class"))
        << Form().StatusText();
    EXPECT_EQ(ServerOf(HKEY_CURRENT_USER, L"Software\\Classes\\"), server.wstring());
    EXPECT_EQ(ServerOf(HKEY_LOCAL_MACHINE, L"Software\\Classes\\"), std::nullopt);

    PickFromDropDown(kUnregisterButton, L'm');
    WaitUntilSettled();
    EXPECT_EQ(ServerOf(HKEY_CURRENT_USER, L"Software\\Classes\\"), std::nullopt);
}

TEST_F(WaysTest, ExportSavesTheRegistrationAndLeavesTheRegistryAsItWas) {
    const fs::path dir = Stage();
    const fs::path regFile = dir / "out.reg";
    const RegSnapshot before = Classes();
    {
        const RunningTolvar tolvar(Quoted(dir / "Tolvar.exe") + L" /export " + Quoted(regFile) +
                                   L" " + Quoted(dir / "classes_com.dll"));
        ASSERT_NE(tolvar.window, nullptr);
        for (const ULONGLONG deadline = GetTickCount64() + kWaitMs;
             !fs::exists(regFile) && GetTickCount64() < deadline; Sleep(20)) {
        }
        Sleep(200);  // the file is written whole before the key goes
        EXPECT_TRUE(tolvar.Close());
    }
    const std::optional<RegSnapshot> snapshot = ReadRegFile(ReadFile(regFile));
    ASSERT_TRUE(snapshot);
    const std::wstring key =
        L"HKEY_CLASSES_ROOT\\" + std::wstring(fixture::kHostTestClassKey) + fixture::kServerSubKey;
    ASSERT_TRUE(snapshot->count(key)) << "the class, under the root it was written to";
    const std::wstring path = (dir / "classes_com.dll").wstring();
    const std::string bytes(reinterpret_cast<const char*>(path.c_str()),
                            (path.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(snapshot->at(key).front(), (RegValue{L"", kRegSz, bytes}));
    EXPECT_TRUE(Classes() == before) << "the machine's and the user's classes as they were";
    EXPECT_EQ(ExportKeysLeft(), 0u);
}

// The host crashes in DllRegisterServer: Tolvar lives, says so, and keeps no throw-away key.
TEST_F(WaysTest, ACrashInTheHostIsToldAndLeavesNothing) {
    const fs::path dir = Stage();
    const RunningTolvar tolvar(Quoted(dir / "Tolvar.exe") + L" /export " + Quoted(dir / "x.reg") +
                               L" " + Quoted(dir / "crash_com.dll"));
    ASSERT_NE(tolvar.window, nullptr);
    const HWND status = FindWindowExW(tolvar.window, nullptr, STATUSCLASSNAMEW, nullptr);
    const std::wstring expected = L"crash_com.dll crashed: access violation (exit code 0xC0000005)";
    std::wstring line;
    for (const ULONGLONG deadline = GetTickCount64() + 3 * kWaitMs;
         line != expected && GetTickCount64() < deadline; Sleep(20)) {
        line = WideTextOf(status);
    }
    EXPECT_EQ(line, expected);
    EXPECT_FALSE(fs::exists(dir / "x.reg"));
    EXPECT_EQ(ExportKeysLeft(), 0u);
    EXPECT_TRUE(tolvar.Close()) << "Tolvar lives";
}

// Wine has no elevation prompt: the runas verb starts the program as it is.
TEST_F(WaysTest, AsAdministratorStartsTheCommandThroughTheShellAndWatchesIt) {
    const fs::path exe = Stage() / "record_args.exe";
    Open(false);
    Form().SetTarget(exe.wstring(), L"record_args.exe");
    Form().RunTargets(true, RegisterWay::AsAdministrator);
    WaitUntilSettled();
    EXPECT_EQ(ReadFile(exe.wstring() + L".cmdline").ends_with(" /Regserver"), true)
        << ReadFile(exe.wstring() + L".cmdline");
    EXPECT_TRUE(Form().StatusText().starts_with(L"record_args.exe registered"))
        << Form().StatusText();
}

}  // namespace
}  // namespace tolvar::testing
