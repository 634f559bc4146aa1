// What Tolvar knows of a target before anything runs, and how it says so: its processor, DLL or
// EXE, whether it registers itself, and the DLLs it needs that are found nowhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "pe_image.h"

namespace tolvar {

// How many missing DLLs a line names before it only counts the others.
inline constexpr std::size_t kListedMissing = 3;

struct TargetFacts {
    enum class File { Found, Missing, Unreadable };
    File file = File::Missing;
    std::optional<PeImage> image;  // nothing: not a program file
    bool processorRuns = true;     // this machine's processor can run the image
    // DLLs it needs, directly or through the DLLs it needs, found nowhere the loader looks; the
    // names as the loader reads them (a program file's names are in the ANSI code page).
    std::vector<std::wstring> missing;
    // DLLs it loads only when first called: a missing one fails later, not at the load.
    std::vector<std::wstring> missingDelayLoaded;

    bool operator==(const TargetFacts&) const = default;
};

// One line for the status bar: "32-bit DLL · registers itself", "64-bit EXE", "not a program
// file", "missing: MSVCP140.dll, VCRUNTIME140.dll (32-bit) · 32-bit DLL · registers itself", ...
// Missing DLLs lead, as the part of the bar is narrow; at most kListedMissing of them are named,
// then "and 197 more".
std::wstring TargetLine(const TargetFacts& facts);

// Several targets in the box: "3 files".
std::wstring SeveralTargetsLine(std::size_t count);

// What the facts tell of a load that failed (regsvr32's exit code 3, whatever the cause): "missing
// VCRUNTIME140.dll", "not a program file", ...; empty when they tell nothing. Missing DLLs are
// named as in TargetLine.
std::wstring LoadFailureDetail(const TargetFacts& facts);

}  // namespace tolvar
