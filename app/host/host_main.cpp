// The registration host: loads one COM server file and calls its DllRegisterServer or
// DllUnregisterServer with the registry redirected, and ends with what came of it as its exit
// code. The command line and the exit codes are in host_command.h. Tolvar starts the host of the
// server's processor width; a server is never loaded into Tolvar's own process.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_command.h"
#include "win32_handles.h"

namespace {

namespace host = tolvar::host;
using tolvar::LogFailure;
using tolvar::UniqueModule;
using tolvar::UniqueRegKey;

constexpr wchar_t kUserClasses[] = L"Software\\Classes";
constexpr char kRegisterEntry[] = "DllRegisterServer";
constexpr char kUnregisterEntry[] = "DllUnregisterServer";
constexpr std::size_t kErrorTextChars = 32;

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using OaEnablePerUserTLibRegistrationFunction = void(WINAPI*)();

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void LogError(const char* where, DWORD error) {
    char what[kErrorTextChars];
    std::snprintf(what, sizeof what, "error %lu", static_cast<unsigned long>(error));
    LogFailure(where, what);
}

// Windows ends a process that crashed with the exception's code as its exit code. This filter
// makes sure of it with no error report or debugger in between (Wine would start its debugger),
// either of which would keep the host and its caller waiting, and without unloading anything: the
// server that crashed could crash again on its way out.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Where DLLs come from; returns the flags the server file is loaded with. The host lies in
// Tolvar's folder, perhaps a download folder, and starts in any current folder: it takes a DLL
// from neither.
// Where SetDefaultDllDirectories exists (Windows 8; 7 with KB2533623), the process searches
// System32 alone, so that no DLL that OLE or the server loads by name comes from the host's
// folder, which the standard order searches first. The server then loads with
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32: its own DLLs from its own
// folder first, as LOAD_WITH_ALTERED_SEARCH_PATH gives regsvr32. That flag is not passed then:
// Windows documents it for the standard order only and says nothing of it once default
// directories are set (Wine then searches the file's folder and the default directories, which
// is the same); the LOAD_LIBRARY_SEARCH flags say it in the documented way. Unlike regsvr32, the
// Windows folder and PATH are not searched for the server's DLLs.
// Without the function the standard order stays, without the current folder, and the server
// loads as regsvr32 loads it: from its own folder in place of the host's.
DWORD PrepareDllSearch() {
    if (!SetDllDirectoryW(L"")) {
        LogError("taking the current folder out of the DLL search", GetLastError());
    }
    if (!SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT)) {
        LogError("the safe search mode", GetLastError());
    }
    const auto setDefault = Lookup<SetDefaultDllDirectoriesFunction>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    }
    return LOAD_WITH_ALTERED_SEARCH_PATH;
}

UniqueRegKey CreateKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        LogError("creating a key to redirect to", static_cast<DWORD>(status));
        return nullptr;
    }
    return UniqueRegKey(key);
}

// The keys the predefined ones stand for, held while the server runs.
using Redirection = std::vector<UniqueRegKey>;

bool Override(HKEY root, const UniqueRegKey& key) {
    const LSTATUS status = RegOverridePredefKey(root, key.get());
    if (status != ERROR_SUCCESS) {
        LogError("overriding a predefined key", static_cast<DWORD>(status));
    }
    return status == ERROR_SUCCESS;
}

// Type libraries go to HKEY_LOCAL_MACHINE unless asked to follow HKEY_CLASSES_ROOT. Wine 8's
// oleaut32 has no such function and writes them below HKEY_CLASSES_ROOT anyway.
void EnablePerUserTypeLibraries(UniqueModule& oleaut32) {
    oleaut32.reset(LoadLibraryW(L"oleaut32.dll"));
    const auto enable = oleaut32 ? Lookup<OaEnablePerUserTLibRegistrationFunction>(
                                       oleaut32.get(), "OaEnablePerUserTLibRegistration")
                                 : nullptr;
    if (enable) {
        enable();
    } else {
        LogFailure("per-user type libraries", "no OaEnablePerUserTLibRegistration");
    }
}

// /user: HKEY_CLASSES_ROOT stands for HKEY_CURRENT_USER\Software\Classes.
Redirection RedirectToUser(UniqueModule& oleaut32) {
    Redirection keys;
    keys.push_back(CreateKey(HKEY_CURRENT_USER, kUserClasses));
    if (!keys.back() || !Override(HKEY_CLASSES_ROOT, keys.back())) return {};
    EnablePerUserTypeLibraries(oleaut32);
    return keys;
}

// /map: each root stands for its subkey of the given key, which must be there. All three are
// opened before HKEY_CURRENT_USER is overridden: after that, the key's path would be looked for
// below the override.
Redirection RedirectToMap(const std::wstring& path) {
    HKEY opened = nullptr;
    const LSTATUS status =
        RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_CREATE_SUB_KEY, &opened);
    if (status != ERROR_SUCCESS) {
        LogError("opening the key to map to", static_cast<DWORD>(status));
        return {};
    }
    const UniqueRegKey map(opened);
    const struct {
        HKEY root;
        std::wstring_view name;
    } roots[] = {{HKEY_CLASSES_ROOT, host::kMappedClassesRoot},
                 {HKEY_LOCAL_MACHINE, host::kMappedLocalMachine},
                 {HKEY_CURRENT_USER, host::kMappedCurrentUser}};
    Redirection keys;
    for (const auto& root : roots) {
        keys.push_back(CreateKey(map.get(), std::wstring(root.name)));
        if (!keys.back()) return {};
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!Override(roots[i].root, keys[i])) return {};
    }
    return keys;
}

// OleInitialize's pairing call, at the end of the scope that initialized OLE.
class OleSession {
  public:
    OleSession() = default;
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() { OleUninitialize(); }
};

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&EndWithExceptionCode);
    const DWORD loadFlags = PrepareDllSearch();

    const std::optional<host::Request> request =
        host::ParseArguments(std::vector<std::wstring_view>(argv + 1, argv + argc));
    if (!request) return host::kExitUsage;

    UniqueModule oleaut32;
    const Redirection redirection = request->redirect == host::Redirect::Map
                                        ? RedirectToMap(request->mapKey)
                                        : RedirectToUser(oleaut32);
    if (redirection.empty()) return host::kExitRedirectFailed;

    // OLE around the server's load and call, as regsvr32 has it: a server's registration may
    // create COM objects of its own.
    if (const HRESULT ole = OleInitialize(nullptr); FAILED(ole)) {
        LogError("OleInitialize", static_cast<DWORD>(ole));
        return host::kExitOleFailed;
    }
    const OleSession ole;
    const UniqueModule server(LoadLibraryExW(request->file.c_str(), nullptr, loadFlags));
    if (!server) {
        LogError("loading the server", GetLastError());
        return host::kExitLoadFailed;
    }
    const auto entry =
        Lookup<EntryPoint>(server.get(), request->registering ? kRegisterEntry : kUnregisterEntry);
    if (!entry) return host::kExitNoEntryPoint;
    // The server's start-up may have put a filter of its own in place.
    SetUnhandledExceptionFilter(&EndWithExceptionCode);
    return static_cast<int>(entry());
}
