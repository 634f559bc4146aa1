// The ways' menus on the screen: a popup menu made from its items, and the shield that marks
// the items that ask for administrator rights.
#pragma once

#include <windows.h>

#include <vector>

#include "way_menus.h"
#include "win32_handles.h"

namespace tolvar {

// The system's shield at the menu's check-mark size for the DPI, as a bitmap a menu item shows.
UniqueBitmap ShieldBitmap(int dpi);

// Shows the menu at `at` (screen coordinates) with `flags` of TrackPopupMenuEx for its
// alignment, and returns the command chosen, or None. Greyed items cannot be chosen.
MenuCommand TrackMenu(HWND owner, const std::vector<MenuItem>& items, POINT at, UINT flags,
                      HBITMAP shield);

}  // namespace tolvar
