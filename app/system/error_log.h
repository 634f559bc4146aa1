// Failures the program goes on after: one line each for a debugger (OutputDebugStringA), since
// the user is not to be interrupted for them.
#pragma once

#include <windows.h>

#include <cstdio>

namespace tolvar {

inline constexpr char kLogPrefix[] = "Tolvar: ";
inline constexpr std::size_t kLogLineChars = 512;

// Writes "Tolvar: <where> failed: <what>"; a line too long for the buffer is cut.
inline void LogFailure(const char* where, const char* what) noexcept {
    char line[kLogLineChars];
    std::snprintf(line, sizeof line, "%s%s failed: %s\n", kLogPrefix, where, what);
    OutputDebugStringA(line);
}

// Logs the exception being handled: call it only inside a catch block.
void LogCaughtException(const char* where) noexcept;

}  // namespace tolvar
