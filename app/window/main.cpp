#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "command_args.h"
#include "design.h"
#include "frmTolvar.h"
#include "instance_handoff.h"
#include "message_loop.h"
#include "module_path.h"
#include "system_function.h"
#include "system_paths.h"

namespace {

constexpr int kUsageExitCode = 2;

// DLLs load from the system directory only: the file dialog changes folders, and a planted DLL
// in the application's or the current directory must never be picked up.
void RestrictDllSearch() {
    using Fn = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        tolvar::SystemFunction<Fn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    RestrictDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    // A command line Tolvar does not take starts nothing: the usage says what it takes.
    const tolvar::CommandLineRequest request = tolvar::ReadCommandLine();
    if (!request.valid) {
        MessageBoxW(nullptr, tolvar::UsageMessage(request).c_str(),
                    std::wstring(tolvar::kCaption).c_str(), MB_OK | MB_ICONINFORMATION);
        return kUsageExitCode;
    }

    // A start with files joins the Tolvar of the same history that already runs; a start
    // without arguments opens a window of its own.
    const std::wstring historyFile =
        tolvar::ExecutableDirectory() + std::wstring(tolvar::kHistoryFileName);
    std::optional<tolvar::StartLock> lock;
    if (!request.files.empty()) {
        lock.emplace(historyFile);
        if (tolvar::HandOff({historyFile, tolvar::CurrentFolder(), request.action, request.way,
                             request.regFile, request.files})) {
            return 0;
        }
    }

    tolvar::frmTolvar::Options options;
    options.historyFile = historyFile;
    const HWND window = tolvar::frmTolvar::Create(instance, std::move(options));
    if (!window) return 1;
    tolvar::frmTolvar::FromWindow(window)->OpenWith(request);
    // The window exists: the next start finds it.
    lock.reset();
    ShowWindow(window, showCommand);

    return tolvar::RunMessageLoop(window);
}
