// How many COM classes the registry has naming a file as their server: read off the UI thread after
// a command, so the user learns whether "registered" put anything where clients look.
#pragma once

#include <windows.h>

#include <stop_token>
#include <string>
#include <vector>

#include "outcome.h"

namespace tolvar {

// The key below a class that names its server: a DLL's, or an EXE server's command line.
enum class ServerKey { InprocServer32, LocalServer32 };

// One place the count reads: the key below `root` at `path` whose "CLSID" key lists classes, the
// registry view it is read in (KEY_WOW64_64KEY or KEY_WOW64_32KEY), and whether the classes are
// the user's or the machine's.
struct ClassesRoot {
    HKEY root;
    std::wstring path;
    REGSAM view;
    bool perUser;
};

// The places clients look: the machine's classes (HKLM\Software\Classes) and the user's
// (HKCU\...), each in both registry views on 64-bit Windows. Windows merges them into
// HKEY_CLASSES_ROOT, Wine 8 does not, and an elevated client ignores the user's.
std::vector<ClassesRoot> DefaultClassesRoots();

// Counts the classes under `roots` that name the file. A class counts when its server key's
// default value names the file: the same file by volume and file index where both open (a
// System32 path of the other view, a short name or a junction names another text), else the same
// path without regard to case. A class that several roots of one place list counts once. Stops
// early, with what it counted, once `stop` is requested.
RegistrationCount CountRegistrations(const std::wstring& file, ServerKey key,
                                     const std::stop_token& stop,
                                     const std::vector<ClassesRoot>& roots = DefaultClassesRoots());

}  // namespace tolvar
