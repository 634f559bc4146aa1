// The register command line for any path, title and button index, checked against the rule
// written out independently: the fixed texts, the path once in its place, quoted exactly when a
// blank or tab would split it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "command_line.h"

using namespace tolvar;

namespace {
std::wstring Widen(const std::string& bytes) {
    return std::wstring(bytes.begin(), bytes.end());
}

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? wchar_t(c + (L'a' - L'A')) : c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto index = in.ConsumeIntegral<std::int16_t>();
    const std::wstring title = Widen(in.ConsumeRandomLengthString());
    const std::wstring path = Widen(in.ConsumeRemainingBytesAsString());

    // The reference: the lower-cased title's end is one of the in-process suffixes.
    std::wstring lowered;
    for (const wchar_t c : title) lowered += Lower(c);
    bool dll = false;
    for (const std::wstring_view suffix : {kDllSuffix, kOcxSuffix, kAxSuffix}) {
        dll = dll || lowered.ends_with(suffix);
    }
    const bool enclosed = path.size() >= 2 && path.front() == L'"' && path.back() == L'"';
    const bool blank = path.find(L' ') != path.npos || path.find(L'\t') != path.npos;
    const std::wstring quoted = blank && !enclosed ? L'"' + path + L'"' : path;

    FUZZ_CHECK(QuotedPath(path) == quoted);
    FUZZ_CHECK(KindOfTitle(title) == (dll ? TargetKind::Dll : TargetKind::Other));

    const RegisterCommand command = BuildRegisterCommand(path, title, index);
    FUZZ_CHECK(command.kind == KindOfTitle(title));
    const std::wstring_view line = command.commandLine;
    if (dll) {
        const std::wstring_view head = index == 0 ? kRegsvr32Register : kRegsvr32Unregister;
        FUZZ_CHECK(line.starts_with(head) && line.substr(head.size()) == quoted);
    } else {
        const std::wstring_view tail = index == 0 ? kServerRegister : kServerUnregister;
        FUZZ_CHECK(line.ends_with(tail) && line.substr(0, line.size() - tail.size()) == quoted);
    }
    return 0;
}
