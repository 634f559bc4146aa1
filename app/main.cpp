#include <windows.h>
#include <commctrl.h>

#include "frmTolvar.h"

namespace {

// DLLs load from the system directory only: the file dialog changes folders, and a planted DLL
// in the application's or the current directory must never be picked up.
void RestrictDllSearch() {
    using Fn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const auto setDefault = kernel32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(
                                           GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                                     : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    RestrictDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const HWND window = tolvar::frmTolvar::Create(instance, {});
    if (!window) return 1;
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
