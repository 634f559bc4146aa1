#include "system_paths.h"

#include <algorithm>
#include <climits>

namespace tolvar {

namespace {
constexpr wchar_t kSysnative[] = L"\\Sysnative";
}  // namespace

bool Is64BitWindows() {
    if constexpr (kProcessIs64Bit) {
        return true;
    } else {
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    }
}

std::wstring FullPathOf(const std::wstring& path) {
    std::wstring full = FilledPath([&path](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
    });
    return full.empty() ? path : full;
}

std::wstring CurrentFolder() {
    return FilledPath(
        [](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
}

std::wstring SystemDirectory() {
    return FilledPath(GetSystemDirectoryW);
}

std::wstring SystemDirectoryFor(bool programIs64Bit) {
    if (programIs64Bit == kProcessIs64Bit) return SystemDirectory();
    if constexpr (kProcessIs64Bit) {
        return FilledPath(GetSystemWow64DirectoryW);
    } else {
        return FilledPath(GetWindowsDirectoryW) + kSysnative;
    }
}

bool SameFileText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FoldWithSystemCase(std::wstring_view key) {
    std::wstring folded(key);
    if (folded.empty()) return folded;
    const int n = static_cast<int>(std::min<std::size_t>(folded.size(), INT_MAX));
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.data(), n, folded.data(), n);
    return folded;
}

}  // namespace tolvar
