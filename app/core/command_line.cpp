#include "command_line.h"

namespace tolvar {

namespace {
wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

// No letter outside ASCII lower-cases to a letter of the suffixes, so ASCII lowering decides
// exactly.
bool EndsInAnyCase(std::wstring_view title, std::wstring_view suffix) {
    if (title.size() < suffix.size()) return false;
    const auto tail = title.substr(title.size() - suffix.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        if (AsciiLower(tail[i]) != suffix[i]) return false;
    }
    return true;
}

constexpr std::wstring_view kTypedBlanks = L" \t\r\n";
constexpr wchar_t kQuote = L'"';

}  // namespace

std::wstring_view CleanTypedPath(std::wstring_view text) {
    const auto first = text.find_first_not_of(kTypedBlanks);
    if (first == text.npos) return {};
    text = text.substr(first, text.find_last_not_of(kTypedBlanks) - first + 1);
    if (text.size() >= 2 && text.front() == kQuote && text.back() == kQuote) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

TargetKind KindOfTitle(std::wstring_view title) {
    for (const std::wstring_view suffix : {kDllSuffix, kOcxSuffix, kAxSuffix}) {
        if (EndsInAnyCase(title, suffix)) return TargetKind::Dll;
    }
    return TargetKind::Other;
}

std::wstring_view TitleOfPath(std::wstring_view path) {
    const auto separator = path.find_last_of(L"\\/");
    return separator == path.npos ? path : path.substr(separator + 1);
}

std::wstring QuotedPath(std::wstring_view path) {
    const bool enclosed = path.size() >= 2 && path.front() == kQuote && path.back() == kQuote;
    if (enclosed || path.find_first_of(L" \t") == path.npos) return std::wstring(path);
    std::wstring quoted;
    quoted.reserve(path.size() + 2);
    quoted += kQuote;
    quoted += path;
    quoted += kQuote;
    return quoted;
}

RegisterCommand BuildRegisterCommand(std::wstring_view path, std::wstring_view title,
                                     std::int16_t index, bool quiet) {
    const bool reg = index == 0;
    const TargetKind kind = KindOfTitle(title);
    std::wstring line, parameters;
    if (kind == TargetKind::Dll) {
        line = reg ? kRegsvr32Register : kRegsvr32Unregister;
        if (quiet) line += kRegsvr32Silent;
        line += QuotedPath(path);
        // Both switches begin with the program's name and a blank.
        parameters = line.substr(kRegsvr32Register.size());
    } else {
        line = QuotedPath(path);
        const std::wstring_view server = reg ? kServerRegister : kServerUnregister;
        line += server;
        parameters = server.substr(1);  // without the blank that parts it from the path
    }
    return {kind, std::move(line), std::move(parameters)};
}

}  // namespace tolvar
