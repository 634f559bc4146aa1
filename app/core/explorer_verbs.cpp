#include "explorer_verbs.h"

namespace tolvar {

namespace {
constexpr wchar_t kQuote = L'"';
constexpr wchar_t kBlank = L' ';
constexpr wchar_t kBackslash = L'\\';
constexpr wchar_t kPercent = L'%';
// Explorer puts the chosen file's path here.
constexpr std::wstring_view kFileArgument = L"%1";
constexpr std::wstring_view kShortcutStem = L"Tolvar";
constexpr std::wstring_view kShortcutExtension = L".lnk";

// What follows the program's quoted path: the switch and the file's argument.
std::wstring CommandTail(bool registering) {
    std::wstring tail;
    tail += kQuote;
    tail += kBlank;
    tail += registering ? kRegisterSwitch : kUnregisterSwitch;
    tail += kBlank;
    tail += kQuote;
    tail += kFileArgument;
    tail += kQuote;
    return tail;
}
}  // namespace

std::wstring SendToShortcutName(std::size_t index) {
    std::wstring name(kShortcutStem);
    if (index > 0) name += L" (" + std::to_wstring(index + 1) + L')';
    name += kShortcutExtension;
    return name;
}

std::wstring VerbCommand(std::wstring_view exePath, bool registering) {
    std::wstring command;
    command += kQuote;
    for (const wchar_t c : exePath) {
        if (c == kPercent) command += kPercent;
        command += c;
    }
    command += CommandTail(registering);
    return command;
}

std::optional<std::wstring> VerbCommandProgram(std::wstring_view command, bool registering) {
    const std::wstring tail = CommandTail(registering);
    if (command.size() < 1 + tail.size() || command.front() != kQuote || !command.ends_with(tail)) {
        return std::nullopt;
    }
    const std::wstring_view quoted = command.substr(1, command.size() - 1 - tail.size());
    std::wstring program;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == kQuote) return std::nullopt;
        // A single % is not what VerbCommand writes: the shell would expand what follows it.
        if (quoted[i] == kPercent && (++i == quoted.size() || quoted[i] != kPercent)) {
            return std::nullopt;
        }
        program += quoted[i];
    }
    return program;
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
