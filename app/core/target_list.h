// Several targets at once: the box's form of them, the file dialog's multiple selection, and
// Tolvar's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "register_way.h"

namespace tolvar {

// The box's text as targets. Several paths stand each in double quotation marks, separated by
// blanks, as the file dialog shows a multiple selection: "C:\a\x.dll" "C:\b\y.ocx" (the last one
// may lack its closing mark). Any other text is one path, cleaned as a typed path is. No path at
// all gives none.
std::vector<std::wstring> ParseTargets(std::wstring_view text);

// The box's text for the targets: one path as it is, several each in quotation marks.
std::wstring JoinTargets(const std::vector<std::wstring>& paths);

// The file dialog's result: "<folder>\0<name>\0<name>\0\0" for several files, "<path>\0\0" for
// one. Each file's full path; none for an empty buffer.
std::vector<std::wstring> ParseDialogSelection(std::wstring_view buffer);

// Tolvar.exe [/register | /unregister] [FILE...]
struct CommandLineRequest {
    enum class Action { None, Register, Unregister };
    Action action = Action::None;
    RegisterWay way = RegisterWay::Usual;  // /user: for me only; /export: into regFile
    std::wstring regFile;                  // as given after /export
    std::vector<std::wstring> files;
    std::wstring badSwitch;  // a switch Tolvar does not take
    bool valid = true;       // false: a bad switch, or a switch without files
};

inline constexpr std::wstring_view kRegisterSwitch = L"/register";
inline constexpr std::wstring_view kUnregisterSwitch = L"/unregister";
inline constexpr std::wstring_view kUserSwitch = L"/user";
inline constexpr std::wstring_view kExportSwitch = L"/export";
inline constexpr std::wstring_view kUsage =
    L"Tolvar.exe [/register | /unregister] [/user] [FILE...]\n"
    L"Tolvar.exe /export FILE.reg FILE...\n\n"
    L"FILE...\tthe files to register or unregister, as a pick would set them\n"
    L"/register\tregisters each file in turn\n"
    L"/unregister\tunregisters each file in turn\n"
    L"/user\tfor you only, without administrator rights\n"
    L"/export\tsaves what registering the files writes in FILE.reg";

// The arguments after the program's name, as CommandLineToArgvW splits them. Switches come first,
// in any letter case, with '/' or '-': /register or /unregister, with /user beside it, or
// /export and its file; any other argument that begins with '/' is a bad switch.
CommandLineRequest ParseArguments(const std::vector<std::wstring>& arguments);

// The message box's text for a command line Tolvar does not take: what is wrong, then the usage.
std::wstring UsageMessage(const CommandLineRequest& request);

// True when the command line holds anything after the program's name, so that a start without
// arguments does without the shell's parser.
bool HasArguments(std::wstring_view commandLine);

}  // namespace tolvar
