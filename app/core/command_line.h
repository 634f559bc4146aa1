// The command line that registers or unregisters a target, built from the target box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::wstring_view kRegsvr32Register = L"Regsvr32 ";
inline constexpr std::wstring_view kRegsvr32Unregister = L"Regsvr32 /u ";
// Follows the switches above in a run of several files: regsvr32 then shows no message box that
// the run would wait on.
inline constexpr std::wstring_view kRegsvr32Silent = L"/s ";
inline constexpr std::wstring_view kServerRegister = L" /Regserver";
inline constexpr std::wstring_view kServerUnregister = L" /Unregserver";
// In-process servers: regsvr32 loads them. An OCX control is a DLL under another name, and so
// is a DirectShow filter (".ax").
inline constexpr std::wstring_view kDllSuffix = L"dll";
inline constexpr std::wstring_view kOcxSuffix = L"ocx";
inline constexpr std::wstring_view kAxSuffix = L".ax";
// The program actually started for a DLL target: the system directory's own copy, never a
// regsvr32.exe found in the application's or the current directory.
inline constexpr std::wstring_view kRegsvr32Program = L"regsvr32.exe";

enum class TargetKind { Dll, Other };

// Decided from the title (the Tag) alone: its last three characters, lower-cased, are "dll",
// "ocx" or ".ax".
TargetKind KindOfTitle(std::wstring_view title);

// The path in a typed or pasted text: without the blanks and line ends at its two ends, and
// without one pair of double quotation marks around it ("Copy as path" adds them).
std::wstring_view CleanTypedPath(std::wstring_view text);

// The title the file dialog gives for a path: what follows its last '\' or '/'.
std::wstring_view TitleOfPath(std::wstring_view path);

// The path as it goes into a command line: enclosed in double quotes when it holds a blank
// or a tab and is not already enclosed, so that it stays one argument.
std::wstring QuotedPath(std::wstring_view path);

struct RegisterCommand {
    TargetKind kind;
    std::wstring commandLine;
    // What follows the program in the command line: the arguments a start through the shell
    // takes apart from the program.
    std::wstring parameters;
};

// Button index 0 registers; every other index unregisters. `quiet` adds regsvr32's /s.
RegisterCommand BuildRegisterCommand(std::wstring_view path, std::wstring_view title,
                                     std::int16_t index, bool quiet = false);

}  // namespace tolvar
