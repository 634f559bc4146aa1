// Cutting of the code-0 filled buffers that Windows writes into.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The text before its first code-0 character, or the whole text when it has none.
template <class Char>
std::basic_string_view<Char> CutAtNull(std::basic_string_view<Char> text) {
    const auto p = text.find(Char{0});
    return p == text.npos ? text : text.substr(0, p);
}

// The text up to and including its last character that is not code 0.
template <class Char>
std::basic_string_view<Char> TrimTrailingNulls(std::basic_string_view<Char> text) {
    const auto p = text.find_last_not_of(Char{0});
    return p == text.npos ? text.substr(0, 0) : text.substr(0, p + 1);
}

// Splits at every code-0 character, keeping empty parts: "a\0\0b" gives a, "", b.
std::vector<std::wstring> SplitAtNulls(std::wstring_view text);

}  // namespace tolvar
