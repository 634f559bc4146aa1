// Tolvar's own command line: Tolvar.exe [/register | /unregister] [FILE...].
#pragma once

#include "target_list.h"

namespace tolvar {

// The command line as the system splits it (CommandLineToArgvW), read; a start without
// arguments does without the shell's library.
CommandLineRequest ReadCommandLine();

}  // namespace tolvar
