#include "explorer_verbs.h"

namespace tolvar {

namespace {
constexpr wchar_t kQuote = L'"';
constexpr wchar_t kBlank = L' ';
constexpr wchar_t kBackslash = L'\\';
// Explorer puts the chosen file's path here.
constexpr std::wstring_view kFileArgument = L"%1";
}  // namespace

std::wstring VerbCommand(std::wstring_view exePath, bool registering) {
    const std::wstring_view verbSwitch = registering ? kRegisterSwitch : kUnregisterSwitch;
    std::wstring command;
    command += kQuote;
    command += exePath;
    command += kQuote;
    command += kBlank;
    command += verbSwitch;
    command += kBlank;
    command += kQuote;
    command += kFileArgument;
    command += kQuote;
    return command;
}

std::wstring BackslashJoin(std::initializer_list<std::wstring_view> parts) {
    std::wstring joined;
    for (const std::wstring_view part : parts) {
        if (!joined.empty() && joined.back() != kBackslash) joined += kBackslash;
        joined += part;
    }
    return joined;
}

}  // namespace tolvar
