// The registration host, started as Tolvar starts it, on test servers that write their class
// through HKEY_CLASSES_ROOT: where the class lands with each redirection, and what a crash ends
// the host with. The host of this test program's own width.
#include <windows.h>

#include <gtest/gtest.h>

#include "../../fixtures/fixture_file.h"
#include "command_line.h"
#include "host_command.h"
#include "test_support.h"

namespace tolvar::testing {
namespace {

namespace host = tolvar::host;

constexpr unsigned kBits = sizeof(void*) * 8;
// Under Wine a host's COM start waits for the desktop process when none runs, which starts
// RpcSs: ten seconds on a slow machine. A host that crashes without the unhandled-exception
// filter's help waits for ever, for Wine's debugger.
constexpr DWORD kHostWaitMs = 3 * kWaitMs;
// What RunHost answers for a host that had not ended after the wait.
constexpr DWORD kStillRunning = STILL_ACTIVE;
constexpr wchar_t kClasses[] = L"Software\\Classes\\";

// The host's exit code, or kStillRunning after it has been ended for taking too long.
DWORD RunHost(const host::Request& request) {
    const std::wstring program = (TestDirectory() / host::HostProgramName(kBits)).wstring();
    std::wstring line = QuotedPath(program) + L" " + host::BuildArguments(request);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        ADD_FAILURE() << "cannot start the host: error " << GetLastError();
        return kStillRunning;
    }
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    if (WaitForSingleObject(process.get(), kHostWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), kStillRunning);
        WaitForSingleObject(process.get(), kHostWaitMs);
        return kStillRunning;
    }
    DWORD code = kStillRunning;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

// The server the test class names below `classes` (a path under `root` ending in a separator),
// empty when there is none.
std::wstring ServerOf(HKEY root, const std::wstring& classes) {
    const std::wstring key = classes + fixture::kHostTestClassKey + fixture::kServerSubKey;
    std::wstring value(MAX_PATH, L'\0');
    auto bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    value.resize(bytes / sizeof(wchar_t) - 1);
    return value;
}

bool ClassKeyExists(HKEY root, const std::wstring& classes) {
    HKEY key = nullptr;
    const std::wstring path = classes + fixture::kHostTestClassKey;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The user's copy of the test class goes when the test ends, whatever the host did.
class UserClassGuard {
  public:
    UserClassGuard() = default;
    UserClassGuard(const UserClassGuard&) = delete;
    UserClassGuard& operator=(const UserClassGuard&) = delete;
    ~UserClassGuard() {
        const std::wstring key = std::wstring(kClasses) + fixture::kHostTestClassKey;
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    }
};

class RegistrationHostTest : public ::testing::Test {
  protected:
    // A copy of the fixture in a folder of this test's own, its name with a blank: a path no
    // other test registers, that has to be quoted.
    std::wstring Stage(const char* name) {
        const fs::path dir = m_dir.path() / "a server";
        fs::create_directories(dir);
        fs::copy_file(TestDirectory() / name, dir / name);
        return (dir / name).wstring();
    }
    static host::Request Request(host::Redirect redirect, bool registering, std::wstring file,
                                 std::wstring mapKey = {}) {
        return {redirect, std::move(mapKey), registering, std::move(file)};
    }

    TempDir m_dir{"tolvar-host"};
};

// Without the redirection the class would land in the machine's classes (Wine sends a new
// HKEY_CLASSES_ROOT key there, as Windows does).
TEST_F(RegistrationHostTest, ForMeOnlyRegistersInTheUsersClasses) {
    const std::wstring server = Stage("classes_com.dll");
    const UserClassGuard guard;
    ASSERT_EQ(RunHost(Request(host::Redirect::User, true, server)), DWORD(S_OK));
    EXPECT_EQ(ServerOf(HKEY_CURRENT_USER, kClasses), server);
    EXPECT_NE(ServerOf(HKEY_LOCAL_MACHINE, kClasses), server);

    ASSERT_EQ(RunHost(Request(host::Redirect::User, false, server)), DWORD(S_OK));
    EXPECT_FALSE(ClassKeyExists(HKEY_CURRENT_USER, kClasses));
}

TEST_F(RegistrationHostTest, MapSendsTheClassesRootToItsSubkey) {
    const std::wstring server = Stage("classes_com.dll");
    ScratchSdkKey scratch;
    scratch.Key();
    const std::wstring map = scratch.Source().keyPath;
    ASSERT_EQ(RunHost(Request(host::Redirect::Map, true, server, map)), DWORD(S_OK));
    EXPECT_EQ(
        ServerOf(HKEY_CURRENT_USER, map + L"\\" + std::wstring(host::kMappedClassesRoot) + L"\\"),
        server);
    EXPECT_NE(ServerOf(HKEY_CURRENT_USER, kClasses), server);
    EXPECT_NE(ServerOf(HKEY_LOCAL_MACHINE, kClasses), server);
}

// The crash leaves what the server wrote before it, each root's in its own subkey, and the key
// can be deleted with it all.
TEST_F(RegistrationHostTest, ACrashEndsTheHostWithItsExceptionCode) {
    const std::wstring server = (TestDirectory() / "crash_com.dll").wstring();
    ScratchSdkKey scratch;
    scratch.Key();
    const std::wstring map = scratch.Source().keyPath;
    EXPECT_EQ(RunHost(Request(host::Redirect::Map, true, server, map)),
              DWORD(EXCEPTION_ACCESS_VIOLATION));
    const auto mapped = [&](std::wstring_view root, const wchar_t* below) {
        return ServerOf(HKEY_CURRENT_USER, map + L"\\" + std::wstring(root) + L"\\" + below);
    };
    EXPECT_EQ(mapped(host::kMappedClassesRoot, L""), server);
    EXPECT_EQ(mapped(host::kMappedLocalMachine, kClasses), server);
    EXPECT_EQ(mapped(host::kMappedCurrentUser, kClasses), server);

    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, map.c_str()), ERROR_SUCCESS);
    HKEY left = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, map.c_str(), 0, KEY_READ, &left),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace tolvar::testing
