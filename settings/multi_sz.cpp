#include "multi_sz.h"

namespace tolvar {

namespace {

template <class Char>
std::vector<std::basic_string_view<Char>> Split(std::basic_string_view<Char> units) {
    std::vector<std::basic_string_view<Char>> texts;
    if (units.empty()) return texts;
    const size_t end = units.size() - 1;  // index of the final terminator
    size_t start = 0;
    for (size_t i = 0; i < end; ++i) {
        if (units[i] == Char{0} && i + 1 < end) {
            texts.push_back(units.substr(start, i - start));
            start = i + 1;
        }
    }
    // The last text runs up to the final terminator, less a zero just before it.
    size_t stop = end;
    if (stop > start && units[stop - 1] == Char{0}) --stop;
    texts.push_back(units.substr(start, stop - start));
    return texts;
}

}  // namespace

std::vector<std::string_view> SplitMultiSz(std::string_view bytes) {
    return Split(bytes);
}

std::vector<std::wstring_view> SplitMultiSz(std::wstring_view units) {
    return Split(units);
}

}  // namespace tolvar
