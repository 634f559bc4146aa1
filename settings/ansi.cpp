#include <windows.h>

#include "ansi.h"

#include <climits>
#include <stdexcept>

namespace tolvar {

namespace {
int CheckedLength(size_t n) {
    if (n > static_cast<size_t>(INT_MAX)) throw std::length_error("text too long to convert");
    return static_cast<int>(n);
}
}  // namespace

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = CheckedLength(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::optional<std::string> ToAnsiExactly(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int n = CheckedLength(text.size());
    BOOL inexact = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), n, nullptr, 0,
                                          nullptr, &inexact);
    if (inexact || bytes == 0) return std::nullopt;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), n, out.data(), bytes, nullptr,
                        nullptr);
    return out;
}

std::wstring FromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = CheckedLength(bytes.size());
    const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, nullptr, 0);
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, out.data(), chars);
    return out;
}

AnsiArg::AnsiArg(const std::optional<std::wstring>& text) {
    if (text) m_text = ToAnsi(*text);
}

}  // namespace tolvar
