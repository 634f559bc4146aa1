// The file that a class's server key names in the registry.
#pragma once

#include <string_view>

namespace tolvar {

// InprocServer32's default value is the DLL's path; LocalServer32's is a command line: the
// program's path, quoted or not, then perhaps arguments ("/automation", "-Embedding"). Either may
// be enclosed in quotation marks. An unquoted command line's path ends after its first ".exe" that
// a blank or the end follows (a path may hold blanks), else at its first blank.
std::wstring_view ServerFileOfValue(std::wstring_view value, bool commandLine);

}  // namespace tolvar
