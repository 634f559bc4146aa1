#include "controls.h"

#include <algorithm>

namespace tolvar {

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

HWND CreateChild(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                 DWORD exStyle, Control id, const PixelRect& at, HFONT font) {
    const HWND child =
        CreateWindowExW(exStyle, className, std::wstring(text).c_str(),
                        WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.width, at.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(id))),
                        GetModuleHandleW(nullptr), nullptr);
    if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

}  // namespace tolvar
