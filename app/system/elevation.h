// Administrator rights: whether Tolvar has them, and a command started through the elevation
// prompt.
#pragma once

#include <windows.h>

#include <string>

#include "command_watcher.h"

namespace tolvar {

// True when this process runs with administrator rights (an elevated token).
bool RunsElevated();

// Starts `file` with `parameters` through the "runas" verb: the elevation prompt, where the system
// has one. The process handle comes back to be watched; a declined prompt is ERROR_CANCELLED.
StartedProcess StartElevated(const std::wstring& file, const std::wstring& parameters,
                             int showCommand);

}  // namespace tolvar
