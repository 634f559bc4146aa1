// The ways a target can be registered besides the usual one (the system's regsvr32, or the server
// itself, with the rights Tolvar has): for the user only, as administrator, or into a .reg file.
// Which of them applies to a target, and why not.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "command_line.h"
#include "pe_image.h"

namespace tolvar {

enum class RegisterWay {
    Usual,            // as the buttons always did
    ForMeOnly,        // the host, with the machine's classes mapped to the user's
    AsAdministrator,  // the usual command line, through the elevation prompt
    ToRegFile,        // the host, with every root mapped to a throw-away key, saved as a .reg file
};

// The registration host, beside Tolvar.exe, that loads a file of that processor; empty when there
// is none.
std::wstring HostProgramFor(PeMachine machine);

// What is known of a target when a way is offered: its kind by name, and, once read, its image.
struct WayTarget {
    TargetKind kind = TargetKind::Dll;
    bool read = false;             // the image below was read (or found to be no program)
    std::optional<PeImage> image;  // nothing: not a program file, or not read
};

// Why the way does not apply to the target, for the status bar; nothing when it applies.
// `elevated`: Tolvar runs with administrator rights already.
std::optional<std::wstring> WayRefusal(RegisterWay way, bool registering, const WayTarget& target,
                                       bool elevated);

// The status line's words for the way: " for you only", " as administrator", " into a .reg
// file"; empty for the usual way.
std::wstring_view WayWords(RegisterWay way);

// A failure for want of rights: the other ways out, named for the user: "; try For me only, or
// As administrator". For me only is for in-process servers (`kind` Dll) alone.
std::wstring AccessDeniedHint(RegisterWay way, TargetKind kind, bool elevated);

}  // namespace tolvar
