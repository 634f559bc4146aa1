#include "multi_sz.h"

namespace tolvar {

std::vector<std::string_view> SplitMultiSz(std::string_view bytes) {
    std::vector<std::string_view> texts;
    if (bytes.empty()) return texts;
    const size_t end = bytes.size() - 1;  // index of the final terminator
    size_t start = 0;
    for (size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\0' && i + 1 < end) {
            texts.push_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    // The last text runs up to the final terminator, less a zero byte just before it.
    size_t stop = end;
    if (stop > start && bytes[stop - 1] == '\0') --stop;
    texts.push_back(bytes.substr(start, stop - start));
    return texts;
}

}  // namespace tolvar
