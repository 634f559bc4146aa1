#include "elevation.h"

#include <shellapi.h>

#include "error_log.h"
#include "system_function.h"
#include "win32_handles.h"

namespace tolvar {

bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        LogFailure("reading the process's rights", "OpenProcessToken");
        return false;
    }
    const UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(owned.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        LogFailure("reading the process's rights", "GetTokenInformation");
        return false;
    }
    return elevation.TokenIsElevated != 0;
}

// shell32 is loaded only here, so that start-up does without it.
StartedProcess StartElevated(const std::wstring& file, const std::wstring& parameters,
                             int showCommand) {
    using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const UniqueModule shell(LoadLibraryW(L"shell32.dll"));
    const auto execute = SystemFunction<Execute>(shell.get(), "ShellExecuteExW");
    if (!execute) return {UniqueHandle(), ERROR_PROC_NOT_FOUND};
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The handle to watch; no message box of the shell's, as the status line says what failed;
    // and the start done before the call returns, as shell32 is unloaded after it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = showCommand;
    if (!execute(&info)) return {UniqueHandle(), GetLastError()};
    // A start that the shell handed to a running program has no process of its own to watch.
    if (!info.hProcess) return {UniqueHandle(), ERROR_INVALID_HANDLE};
    return {UniqueHandle(info.hProcess), ERROR_SUCCESS};
}

}  // namespace tolvar
