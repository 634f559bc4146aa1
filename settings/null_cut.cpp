#include "null_cut.h"

namespace tolvar {

std::vector<std::wstring> SplitAtNulls(std::wstring_view text) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const auto p = text.find(L'\0', start);
        if (p == text.npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, p - start));
        start = p + 1;
    }
}

}  // namespace tolvar
