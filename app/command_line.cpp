#include "command_line.h"

namespace tolvar {

namespace {
wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}
}  // namespace

TargetKind KindOfTitle(std::wstring_view title) {
    const auto tail = title.substr(title.size() < kDllSuffix.size() ? 0 : title.size() - 3);
    if (tail.size() != kDllSuffix.size()) return TargetKind::Other;
    // Only ASCII letters lower-case to 'd' or 'l', so ASCII lowering decides exactly.
    for (size_t i = 0; i < tail.size(); ++i) {
        if (AsciiLower(tail[i]) != kDllSuffix[i]) return TargetKind::Other;
    }
    return TargetKind::Dll;
}

std::wstring QuotedPath(std::wstring_view path) {
    const bool enclosed = path.size() >= 2 && path.front() == L'"' && path.back() == L'"';
    if (enclosed || path.find_first_of(L" \t") == path.npos) return std::wstring(path);
    std::wstring quoted;
    quoted.reserve(path.size() + 2);
    quoted += L'"';
    quoted += path;
    quoted += L'"';
    return quoted;
}

RegisterCommand BuildRegisterCommand(std::wstring_view path, std::wstring_view title,
                                     std::int16_t index) {
    const bool reg = index == 0;
    const TargetKind kind = KindOfTitle(title);
    std::wstring line;
    if (kind == TargetKind::Dll) {
        line = reg ? kRegsvr32Register : kRegsvr32Unregister;
        line += QuotedPath(path);
    } else {
        line = QuotedPath(path);
        line += reg ? kServerRegister : kServerUnregister;
    }
    return {kind, std::move(line)};
}

}  // namespace tolvar
