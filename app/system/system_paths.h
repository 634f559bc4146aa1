// Paths the system knows, as this process names them, and paths compared as the system compares
// file names.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tolvar {

inline constexpr bool kProcessIs64Bit = sizeof(void*) == 8;

// A text one of the system's functions fills into a buffer it is given the size of, returning
// the count it wrote or, when the buffer is too small, the size it needs; empty on failure.
template <class Fill>
std::wstring FilledPath(Fill fill) {
    std::wstring text(MAX_PATH, L'\0');
    DWORD n = fill(text.data(), static_cast<DWORD>(text.size()));
    if (n >= text.size()) {
        text.assign(n, L'\0');
        n = fill(text.data(), n);
    }
    text.resize(n < text.size() ? n : 0);
    return text;
}

// Whether the system is a 64-bit one, with a 32-bit view of the registry beside its own.
bool Is64BitWindows();

// The full path; the path itself when the system cannot make one of it.
std::wstring FullPathOf(const std::wstring& path);

// This process's current folder.
std::wstring CurrentFolder();

// This process's system folder.
std::wstring SystemDirectory();

// The system folder of programs of a processor width, as this process names it: its own, or from
// a 64-bit process SysWOW64, from a 32-bit one Sysnative (which its own System32 hides).
std::wstring SystemDirectoryFor(bool programIs64Bit);

// Without regard to letter case, as file names compare, in any script.
bool SameFileText(std::wstring_view a, std::wstring_view b);
// The key under which paths compare as the system compares file names.
std::wstring FoldWithSystemCase(std::wstring_view key);

}  // namespace tolvar
