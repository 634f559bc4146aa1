// REG_MULTI_SZ splitting of raw bytes: the texts are consecutive runs of the visited bytes (all
// but the final terminator), and joined back with their zero terminators they give those bytes.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "multi_sz.h"

using namespace tolvar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto texts = SplitMultiSz(bytes);
    if (bytes.empty()) {
        FUZZ_CHECK(texts.empty());
        return 0;
    }
    // The visited bytes; a zero just before the final terminator ends nothing.
    std::string_view visited = bytes.substr(0, size - 1);
    if (visited.size() >= 1 && visited.back() == '\0') visited.remove_suffix(1);

    FUZZ_CHECK(!texts.empty());
    std::string joined;
    const char* next = bytes.data();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        FUZZ_CHECK(texts[i].data() == next);  // views into the value, in order, nothing skipped
        FUZZ_CHECK(texts[i].find('\0') == texts[i].npos);
        joined += texts[i];
        if (i + 1 < texts.size()) joined += '\0';
        next += texts[i].size() + 1;
    }
    FUZZ_CHECK(joined == visited);
    return 0;
}
