// Placeholder expansion of a section name against a plain left-to-right reference; a root that
// itself holds the placeholder must come out verbatim, never expanded again.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "root_placeholder.h"

using namespace tolvar;

namespace {
// Byte 1 stands for the whole placeholder, so the fuzzer reaches it in one step.
std::wstring Decode(const std::string& bytes) {
    std::wstring text;
    for (unsigned char b : bytes) {
        if (b == 1) {
            text += kRootPlaceholder;
        } else {
            text += wchar_t(b);
        }
    }
    return text;
}

std::wstring Reference(std::wstring_view name, std::wstring_view root) {
    std::wstring out;
    for (std::size_t i = 0; i < name.size();) {
        if (name.substr(i).starts_with(kRootPlaceholder)) {
            out += root;
            i += kRootPlaceholder.size();
        } else {
            out += name[i++];
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // A short root keeps the output small: every placeholder in the name multiplies it.
    const std::wstring root = Decode(in.ConsumeRandomLengthString(32));
    const std::wstring name = Decode(in.ConsumeRemainingBytesAsString());

    FUZZ_CHECK(ExpandRootPlaceholder(name, root) == Reference(name, root));
    // Replacing the placeholder by itself changes nothing, however often it occurs.
    FUZZ_CHECK(ExpandRootPlaceholder(name, kRootPlaceholder) == name);
    // A name without the placeholder is taken as it is.
    if (name.find(kRootPlaceholder) == name.npos)
        FUZZ_CHECK(ExpandRootPlaceholder(name, root) == name);
    return 0;
}
