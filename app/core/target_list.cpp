#include "target_list.h"

#include "command_line.h"

namespace tolvar {

namespace {

constexpr wchar_t kQuote = L'"';
constexpr std::wstring_view kBlanks = L" \t\r\n";
constexpr wchar_t kSeparator = L'\\';
constexpr wchar_t kSwitchMark = L'/';
constexpr wchar_t kOtherSwitchMark = L'-';

bool IsBlank(wchar_t c) {
    return kBlanks.find(c) != kBlanks.npos;
}

std::wstring AsciiLower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

// The quoted paths of the several-path form, or nothing when the text is not in that form.
bool SplitQuoted(std::wstring_view text, std::vector<std::wstring>& paths) {
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at == text.size()) return true;
        if (text[at] != kQuote) return false;
        const std::size_t close = text.find(kQuote, at + 1);
        const std::wstring_view path =
            text.substr(at + 1, close == text.npos ? text.npos : close - at - 1);
        if (!path.empty()) paths.emplace_back(path);
        if (close == text.npos) return true;  // the last path's closing mark is missing
        at = close + 1;
        if (at < text.size() && !IsBlank(text[at])) return false;
    }
}

}  // namespace

std::vector<std::wstring> ParseTargets(std::wstring_view text) {
    std::vector<std::wstring> paths;
    const std::wstring_view trimmed =
        text.substr(std::min(text.find_first_not_of(kBlanks), text.size()));
    if (!trimmed.empty() && trimmed.front() == kQuote && SplitQuoted(trimmed, paths)) return paths;
    paths.clear();
    if (const std::wstring_view path = CleanTypedPath(text); !path.empty()) {
        paths.emplace_back(path);
    }
    return paths;
}

std::wstring JoinTargets(const std::vector<std::wstring>& paths) {
    if (paths.size() == 1) return paths.front();
    std::wstring text;
    for (const std::wstring& path : paths) {
        if (!text.empty()) text += L' ';
        text.append(1, kQuote).append(path).append(1, kQuote);
    }
    return text;
}

std::vector<std::wstring> ParseDialogSelection(std::wstring_view buffer) {
    std::vector<std::wstring_view> parts;
    for (std::size_t at = 0; at < buffer.size();) {
        const std::size_t end = std::min(buffer.find(L'\0', at), buffer.size());
        if (end == at) break;  // the empty name that ends the list
        parts.push_back(buffer.substr(at, end - at));
        at = end + 1;
    }
    std::vector<std::wstring> paths;
    if (parts.size() == 1) paths.emplace_back(parts.front());
    if (parts.size() < 2) return paths;
    std::wstring folder(parts.front());
    if (folder.back() != kSeparator) folder += kSeparator;
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + std::wstring(parts[i]));
    return paths;
}

CommandLineRequest ParseArguments(const std::vector<std::wstring>& arguments) {
    CommandLineRequest request;
    std::size_t first = 0;
    bool user = false;
    using Action = CommandLineRequest::Action;
    // The leading switches, each known one at most once.
    while (
        first < arguments.size() && arguments[first].size() > 1 &&
        (arguments[first].front() == kSwitchMark || arguments[first].front() == kOtherSwitchMark)) {
        const std::wstring name = AsciiLower(arguments[first].substr(1));
        const bool acting = request.action != Action::None;
        if (name == kRegisterSwitch.substr(1) && !acting) {
            request.action = Action::Register;
        } else if (name == kUnregisterSwitch.substr(1) && !acting) {
            request.action = Action::Unregister;
        } else if (name == kUserSwitch.substr(1) && !user) {
            user = true;
        } else if (name == kExportSwitch.substr(1) && request.regFile.empty() &&
                   first + 1 < arguments.size() && !arguments[first + 1].empty()) {
            request.regFile = arguments[++first];
        } else {
            break;  // a bad switch, or one given twice: told below
        }
        ++first;
    }
    if (!request.regFile.empty()) {
        // /export registers into the file, and with nothing else.
        if (user || request.action == Action::Unregister) {
            request.valid = false;
            return request;
        }
        request.action = Action::Register;
        request.way = RegisterWay::ToRegFile;
    } else if (user) {
        if (request.action == Action::None) {
            request.valid = false;
            return request;
        }
        request.way = RegisterWay::ForMeOnly;
    }
    for (std::size_t i = first; i < arguments.size(); ++i) {
        if (!arguments[i].empty() && arguments[i].front() == kSwitchMark) {
            request.badSwitch = arguments[i];
            request.valid = false;
            return request;
        }
        request.files.push_back(arguments[i]);
    }
    if (request.action != CommandLineRequest::Action::None && request.files.empty()) {
        request.valid = false;
    }
    return request;
}

std::wstring UsageMessage(const CommandLineRequest& request) {
    std::wstring message = request.badSwitch.empty()
                               ? std::wstring(L"Name the files to register or unregister.")
                               : L"Tolvar does not take the switch " + request.badSwitch + L".";
    return message.append(L"\n\n").append(kUsage);
}

bool HasArguments(std::wstring_view commandLine) {
    std::size_t at = 0;
    while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
    if (at < commandLine.size() && commandLine[at] == kQuote) {
        const std::size_t close = commandLine.find(kQuote, at + 1);
        at = close == commandLine.npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && !IsBlank(commandLine[at])) ++at;
    }
    while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
    return at < commandLine.size();
}

}  // namespace tolvar
