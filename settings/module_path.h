// Where the running executable lies: its directory and its base name.
#pragma once

#include <string>

namespace tolvar {

// The full path of the running executable.
std::wstring ExecutablePath();
// Its directory, without a final backslash.
std::wstring ExecutableDirectory();
// Its file name without directory and extension.
std::wstring ExecutableBaseName();

}  // namespace tolvar
