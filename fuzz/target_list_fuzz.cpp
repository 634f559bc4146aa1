// The box's several-path form, the file dialog's selection and the command line, on any text:
// what the box shows of several paths reads back the same, a selection gives one path per name in
// its folder, and a switch never passes for a file.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "target_list.h"

using namespace tolvar;

namespace {

std::wstring Widen(const std::string& bytes) {
    return std::wstring(bytes.begin(), bytes.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::wstring> texts;
    while (in.remaining_bytes() > 0 && texts.size() < 8) {
        texts.push_back(Widen(in.ConsumeRandomLengthString(64)));
    }

    // Any text: no empty path comes out.
    for (const std::wstring& text : texts) {
        for (const std::wstring& path : ParseTargets(text)) FUZZ_CHECK(!path.empty());
    }
    // Several paths without quotation marks read back from the box exactly.
    std::vector<std::wstring> paths;
    for (const std::wstring& text : texts) {
        if (!text.empty() && text.find(L'"') == text.npos && text.find(L'\0') == text.npos) {
            paths.push_back(text);
        }
    }
    if (paths.size() >= 2) FUZZ_CHECK(ParseTargets(JoinTargets(paths)) == paths);

    // The dialog's buffer: a folder and names, each ended by a zero, then one more.
    std::vector<std::wstring> parts;
    for (const std::wstring& text : texts) {
        if (text.empty() || text.find(L'\0') != text.npos) break;
        parts.push_back(text);
    }
    std::wstring buffer;
    for (const std::wstring& part : parts) buffer.append(part).append(1, L'\0');
    buffer.append(1, L'\0');
    const std::vector<std::wstring> chosen = ParseDialogSelection(buffer);
    FUZZ_CHECK(chosen.size() == (parts.size() > 1 ? parts.size() - 1 : parts.size()));
    for (std::size_t i = 0; parts.size() > 1 && i < chosen.size(); ++i) {
        FUZZ_CHECK(chosen[i].starts_with(parts.front()) && chosen[i].ends_with(parts[i + 1]));
    }

    const CommandLineRequest request = ParseArguments(texts);
    if (request.valid && request.action != CommandLineRequest::Action::None) {
        FUZZ_CHECK(!request.files.empty());
    }
    for (const std::wstring& file : request.files) {
        FUZZ_CHECK(file.empty() || file.front() != L'/');
    }
    FUZZ_CHECK(!UsageMessage(request).empty());
    for (const std::wstring& text : texts) HasArguments(text);
    return 0;
}
