// The window's child controls: their ids, and how each is made.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "layout.h"

namespace tolvar {

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc:
// the window has no default or cancel button.
inline constexpr int kFirstControlId = 100;
constexpr int ControlId(Control c) {
    return kFirstControlId + static_cast<int>(c);
}
inline constexpr int kStatusBarId = kFirstControlId + kControlCount;

// Made where the layout puts it and with its font, so nothing is laid out twice at start-up.
// The controls are Unicode windows: a path the ANSI code page cannot hold stays exact in them.
HWND CreateChild(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                 DWORD exStyle, Control id, const PixelRect& at, HFONT font);

std::wstring WindowText(HWND hwnd);

}  // namespace tolvar
