// Cutting of code-0 filled buffers, narrow and wide: each result is a prefix or the parts of the
// text, and says exactly where the zeros were.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "null_cut.h"

using namespace tolvar;

namespace {
template <class Char>
void CheckCuts(std::basic_string_view<Char> text) {
    const auto cut = CutAtNull(text);
    FUZZ_CHECK(cut.data() == text.data() && cut.find(Char{0}) == cut.npos);
    FUZZ_CHECK(cut.size() == text.size() || text[cut.size()] == Char{0});

    const auto trimmed = TrimTrailingNulls(text);
    FUZZ_CHECK(trimmed.data() == text.data() && trimmed.size() <= text.size());
    FUZZ_CHECK(trimmed.empty() || trimmed.back() != Char{0});
    FUZZ_CHECK(text.substr(trimmed.size()).find_first_not_of(Char{0}) == text.npos);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view narrow(reinterpret_cast<const char*>(data), size);
    CheckCuts(narrow);
    // Wide characters from byte pairs, so that zero bytes inside a character are not codes 0.
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) wide += wchar_t(data[i] | data[i + 1] << 8);
    CheckCuts(std::wstring_view(wide));

    const auto parts = SplitAtNulls(wide);
    const auto zeros = std::count(wide.begin(), wide.end(), L'\0');
    FUZZ_CHECK(parts.size() == std::size_t(zeros) + 1 &&
               parts[0] == CutAtNull(std::wstring_view(wide)));
    std::wstring joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        FUZZ_CHECK(parts[i].find(L'\0') == parts[i].npos);
        if (i) joined += L'\0';
        joined += parts[i];
    }
    FUZZ_CHECK(joined == wide);
    return 0;
}
