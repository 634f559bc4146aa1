// How many COM classes the registry has naming a file as their server: read off the UI thread after
// a command, so the user learns whether "registered" put anything where clients look.
#pragma once

#include <windows.h>

#include <stop_token>
#include <string>

#include "outcome.h"

namespace tolvar {

// The key below a class that names its server: a DLL's, or an EXE server's command line.
enum class ServerKey { InprocServer32, LocalServer32 };

// Reads the machine's classes (HKLM\Software\Classes\CLSID) and the user's (HKCU\...), each in
// both registry views on 64-bit Windows: Windows merges them into HKEY_CLASSES_ROOT, Wine 8 does
// not, and an elevated client ignores the user's. A class counts when its server key's default
// value names the file: the same file by volume and file index where both open (a System32 path
// of the other view, a short name or a junction names another text), else the same path without
// regard to case. Stops early, with what it counted, once `stop` is requested.
RegistrationCount CountRegistrations(const std::wstring& file, ServerKey key,
                                     const std::stop_token& stop);

}  // namespace tolvar
