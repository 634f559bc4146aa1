// Where 64-bit Windows keeps what a 32-bit program writes to the registry: a few keys have a view
// of their own for 32-bit programs, below a WOW6432Node key; every other key is shared by programs
// of both widths.
#pragma once

#include <string>
#include <string_view>

namespace tolvar {

// The key that holds the 32-bit view, as the system's registry editor names it.
inline constexpr std::wstring_view kThirtyTwoBitNode = L"WOW6432Node";

// Where a 32-bit program's write to the key `path` lands on 64-bit Windows, named as its 64-bit
// programs (and the registry editor) see it: the path itself for a shared key, else with
// WOW6432Node where the system puts it. `path` starts with its root's name as a .reg file writes
// it (HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER); a path in the 32-bit view
// already, or below another root, is kept. Names compare without letter case, as the registry's.
std::wstring ThirtyTwoBitViewPath(std::wstring_view path);

}  // namespace tolvar
