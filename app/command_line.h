// The command line that registers or unregisters a target, built from the target box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::wstring_view kRegsvr32Register = L"Regsvr32 ";
inline constexpr std::wstring_view kRegsvr32Unregister = L"Regsvr32 /u ";
inline constexpr std::wstring_view kServerRegister = L" /Regserver";
inline constexpr std::wstring_view kServerUnregister = L" /Unregserver";
inline constexpr std::wstring_view kDllSuffix = L"dll";
// The program actually started for a DLL target: the system directory's own copy, never a
// regsvr32.exe found in the application's or the current directory.
inline constexpr std::wstring_view kRegsvr32Program = L"regsvr32.exe";

enum class TargetKind { Dll, Other };

// Decided from the title (the Tag) alone: its last three characters, lower-cased, are "dll".
TargetKind KindOfTitle(std::wstring_view title);

// The path as it goes into a command line: enclosed in double quotes when it holds a blank
// or a tab and is not already enclosed, so that it stays one argument.
std::wstring QuotedPath(std::wstring_view path);

struct RegisterCommand {
    TargetKind kind;
    std::wstring commandLine;
};

// Button index 0 registers; every other index unregisters.
RegisterCommand BuildRegisterCommand(std::wstring_view path, std::wstring_view title,
                                     std::int16_t index);

}  // namespace tolvar
