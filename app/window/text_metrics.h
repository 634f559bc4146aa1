// Text measured in a font, in pixels.
#pragma once

#include <windows.h>

#include <string>

namespace tolvar {

// The font's line height.
int TextHeight(HFONT font);
int TextWidth(HFONT font, const std::wstring& text);

}  // namespace tolvar
