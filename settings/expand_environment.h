// Environment variables put in place in a text, as a REG_EXPAND_SZ value means it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "null_cut.h"

namespace tolvar {

// Through the wide function: the size that the ANSI one reports can fall short of the bytes it
// writes (Wine counts UTF-16 units under a double-byte code page; Windows asks ANSI callers for
// one byte more). The buffer takes whatever the last call asked for, in case a variable grew in
// between. Empty when the system cannot expand the text.
inline std::wstring ExpandEnvironmentText(const std::wstring& source) {
    std::wstring expanded;
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    while (needed > expanded.size()) {
        expanded.assign(needed, L'\0');
        needed = ExpandEnvironmentStringsW(source.c_str(), expanded.data(), needed);
    }
    return std::wstring(CutAtNull(std::wstring_view(expanded)));
}

}  // namespace tolvar
