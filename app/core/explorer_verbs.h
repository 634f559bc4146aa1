// The Explorer entries Tolvar can add for the user, as texts: the verbs on in-process server
// files, their command lines, and the Send To shortcut's name. explorer_entries.h writes them.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "target_list.h"

namespace tolvar {

// The user's own classes key, below HKEY_CURRENT_USER: nothing there needs more rights.
inline constexpr std::wstring_view kUserClassesPath = L"Software\\Classes";
// Below the classes key, verbs that apply to a file type whatever program opens it.
inline constexpr std::wstring_view kFileTypeVerbsKey = L"SystemFileAssociations";
inline constexpr std::wstring_view kShellKey = L"shell";
inline constexpr std::wstring_view kCommandKey = L"command";

// The file types regsvr32 serves, as KindOfTitle tells them: the verbs go on these.
inline constexpr std::array<std::wstring_view, 3> kVerbExtensions{L".dll", L".ocx", L".ax"};

struct ExplorerVerb {
    std::wstring_view key;      // the verb's key below "shell"; Tolvar's by its name
    std::wstring_view caption;  // what the context menu shows
    bool registering;
};
inline constexpr std::array kExplorerVerbs{
    ExplorerVerb{L"Tolvar.Register", L"Register with Tolvar", true},
    ExplorerVerb{L"Tolvar.Unregister", L"Unregister with Tolvar", false},
};

// Send To starts it with the chosen files as its arguments. Its name is the first of
// "Tolvar.lnk", "Tolvar (2).lnk", "Tolvar (3).lnk" and so on that is free or already Tolvar's: a
// shortcut of that name the user made stays theirs.
inline constexpr std::size_t kSendToShortcutNames = 9;
// The name by its place in that list, from 0.
std::wstring SendToShortcutName(std::size_t index);
// Written as the shortcut's description, by which Tolvar knows its own shortcut from the user's.
inline constexpr std::wstring_view kSendToShortcutDescription =
    L"Registers or unregisters COM servers with Tolvar";

// "<exe>" /register "%1" (or /unregister): both paths quoted whatever they hold, so that each
// stays one argument. The shell expands %1, %*, %NAME% and the like in a verb's command and
// reads only %% as a percent sign, so each % of the program's path is doubled.
std::wstring VerbCommand(std::wstring_view exePath, bool registering);

// The program's path in a command VerbCommand wrote for the verb; nothing for any other text.
std::optional<std::wstring> VerbCommandProgram(std::wstring_view command, bool registering);

// The parts joined with a backslash, none doubled where a part already ends in one.
std::wstring BackslashJoin(std::initializer_list<std::wstring_view> parts);

}  // namespace tolvar
