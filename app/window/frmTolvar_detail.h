// What the window's source files share of its inner workings: the messages it posts itself and
// the system menu's item.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tolvar::window_detail {

// What the watcher, the background readings and the window itself post to the window.
inline constexpr UINT kCommandEndedMessage = WM_APP + 1;
inline constexpr UINT kRegistrationsCountedMessage = WM_APP + 2;
inline constexpr UINT kTargetInspectedMessage = WM_APP + 3;
inline constexpr UINT kRunCommandLineMessage = WM_APP + 4;
// A split button asks for its drop-down from the keyboard; wParam: its Control.
inline constexpr UINT kOpenDropDownMessage = WM_APP + 5;

// The item in the window's system menu (Alt+Space) that turns the Explorer menu entries on and
// off, under a line of its own.
void AddExplorerMenuItem(HWND hwnd);

}  // namespace tolvar::window_detail
