#include <windows.h>
#include <commctrl.h>

#include "frmTolvar.h"
#include "message_loop.h"
#include "system_function.h"

namespace {

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

    const HWND window = tolvar::frmTolvar::Create(instance, {});
    if (!window) return 1;
    ShowWindow(window, showCommand);

    return tolvar::RunMessageLoop(window);
}
