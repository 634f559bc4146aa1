#include "server_value.h"

namespace tolvar {

namespace {

constexpr std::wstring_view kBlanks = L" \t";
constexpr wchar_t kQuote = L'"';
constexpr std::wstring_view kProgramExtension = L".exe";

bool EqualsAsciiNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](wchar_t c) {
            return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::wstring_view ServerFileOfValue(std::wstring_view value, bool commandLine) {
    const auto first = value.find_first_not_of(kBlanks);
    if (first == value.npos) return {};
    value = value.substr(first, value.find_last_not_of(kBlanks) - first + 1);
    if (value.front() == kQuote) {
        const auto close = value.find(kQuote, 1);
        return value.substr(1, close == value.npos ? value.npos : close - 1);
    }
    if (!commandLine) return value;
    for (std::size_t at = 0; at + kProgramExtension.size() <= value.size(); ++at) {
        const std::size_t end = at + kProgramExtension.size();
        if (EqualsAsciiNoCase(value.substr(at, kProgramExtension.size()), kProgramExtension) &&
            (end == value.size() || kBlanks.find(value[end]) != kBlanks.npos)) {
            return value.substr(0, end);
        }
    }
    return value.substr(0, value.find_first_of(kBlanks));
}

}  // namespace tolvar
