// Opt-in Explorer entries for the user: "Register with Tolvar" and "Unregister with Tolvar" on
// DLL, OCX and .ax files, and Tolvar in the Send To menu. Only what Tolvar writes is ever
// changed or removed. The shell's libraries are loaded only for these calls, so that start-up
// goes without them.
#pragma once

#include <windows.h>

#include <string>

#include "explorer_verbs.h"

namespace tolvar {

// Where the entries live: the verbs below root\classesPath, the shortcut in sendToFolder. The
// defaults are the user's own; tests point them at a key and a folder of their own.
struct ExplorerLocation {
    HKEY root = HKEY_CURRENT_USER;
    std::wstring classesPath{kUserClassesPath};
    std::wstring sendToFolder;  // empty: the user's Send To folder
};

// True when every verb and Tolvar's shortcut exist and start exePath (the full path of a
// Tolvar.exe): each command line is one AddExplorerEntries writes and the file it starts, like
// the shortcut's target, is exePath's file, whichever of its names (long or 8.3, any letter case)
// either holds. Entries of another copy of Tolvar do not count.
bool ExplorerEntriesPointAt(const ExplorerLocation& where, const std::wstring& exePath) noexcept;

// Writes every verb and the shortcut for exePath's long form, replacing those of any other copy.
// True when all were written; otherwise none is left (as RemoveExplorerEntries leaves it).
bool AddExplorerEntries(const ExplorerLocation& where, const std::wstring& exePath) noexcept;

// Removes the verb keys, whatever copy they start, and Tolvar's shortcut; then "shell", the file
// type's key and "SystemFileAssociations" when they are left without subkeys and values.
// Anything else below them stays, a shortcut the user made by Tolvar's name too. True when
// nothing of the entries is left.
bool RemoveExplorerEntries(const ExplorerLocation& where) noexcept;

}  // namespace tolvar
