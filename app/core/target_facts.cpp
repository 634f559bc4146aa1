#include "target_facts.h"

#include <cstdio>
#include <iterator>
#include <string_view>

namespace tolvar {

namespace {

constexpr std::wstring_view kSeparator = L" \u00B7 ";
constexpr std::wstring_view kFileMissing = L"file not found";
constexpr std::wstring_view kFileUnreadable = L"the file cannot be read";
constexpr std::wstring_view kNotAProgram = L"not a program file";
constexpr std::wstring_view kProcessorCannotRun = L"this processor cannot run it";
constexpr std::wstring_view kRegistersItself = L"registers itself";
constexpr std::wstring_view kDotNet = L".NET assembly: register it with regasm";
constexpr std::wstring_view kNoRegisterExport =
    L"no DllRegisterServer: regsvr32 cannot register it";
constexpr std::wstring_view kMissing = L"missing: ";
constexpr std::wstring_view kMissingDelayLoaded = L"delay-loaded, missing: ";

// The first few names, then how many more: a crafted file can need hundreds.
std::wstring List(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (std::size_t i = 0; i < names.size() && i < kListedMissing; ++i) {
        if (!list.empty()) list += L", ";
        list += names[i];
    }
    if (names.size() > kListedMissing) {
        list += L" and " + std::to_wstring(names.size() - kListedMissing) + L" more";
    }
    return list;
}

std::wstring Processor(const PeImage& image) {
    switch (image.machine) {
        case PeMachine::X86:
            return L"32-bit";
        case PeMachine::X64:
            return L"64-bit";
        case PeMachine::Arm64:
            return L"ARM64";
        case PeMachine::Other:
            break;
    }
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"machine 0x%04X", unsigned{image.machineCode});
    return text;
}

std::wstring Kind(const PeImage& image) {
    return Processor(image) + (image.isDll ? L" DLL" : L" EXE");
}

}  // namespace

std::wstring TargetLine(const TargetFacts& facts) {
    if (facts.file == TargetFacts::File::Missing) return std::wstring(kFileMissing);
    if (facts.file == TargetFacts::File::Unreadable) return std::wstring(kFileUnreadable);
    if (!facts.image) return std::wstring(kNotAProgram);
    const PeImage& image = *facts.image;
    std::wstring line;
    const auto add = [&line](std::wstring_view part) {
        if (!line.empty()) line.append(kSeparator);
        line.append(part);
    };
    // What will fail first: the part of the status bar may show no more than its start.
    const std::wstring bits = L" (" + Processor(image) + L")";
    if (!facts.missing.empty()) add(std::wstring(kMissing) + List(facts.missing) + bits);
    if (!facts.missingDelayLoaded.empty()) {
        add(std::wstring(kMissingDelayLoaded) + List(facts.missingDelayLoaded) + bits);
    }
    add(Kind(image));
    if (!facts.processorRuns) add(kProcessorCannotRun);
    if (image.isDll) {
        add(image.exportsRegister ? kRegistersItself
            : image.hasClrHeader  ? kDotNet
                                  : kNoRegisterExport);
    }
    return line;
}

std::wstring SeveralTargetsLine(std::size_t count) {
    return std::to_wstring(count) + L" files";
}

std::wstring LoadFailureDetail(const TargetFacts& facts) {
    if (facts.file != TargetFacts::File::Found || !facts.image) return TargetLine(facts);
    if (!facts.processorRuns) return Kind(*facts.image) + L": " + std::wstring(kProcessorCannotRun);
    if (!facts.missing.empty()) return L"missing " + List(facts.missing);
    return {};
}

}  // namespace tolvar
