// Registry trees read into snapshots under the root each stands for, and removed: how the keys a
// registration wrote into stand-in roots become a .reg file that names the real ones.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "reg_file.h"

namespace tolvar {

// Adds the key `subkey` of `parent` and every key below it, with all their values (name, type
// and bytes as stored), to `snapshot`, each path starting with `rootName` in place of the key's
// own. The key itself gets an entry only for values of its own: the root it stands for always
// exists. Read in this process's registry view. ERROR_SUCCESS, or the first error met and the
// snapshot as it was. A path the snapshot holds already keeps its values.
LSTATUS ReadTree(HKEY parent, const std::wstring& subkey, const std::wstring& rootName,
                 RegSnapshot& snapshot);

// What a registration wrote into stand-in roots, saved as a .reg file: the key `key` of `parent`
// holds one subkey per root, named after it (`roots`), whose trees are saved under the real roots'
// names; the key is removed afterwards, saved or not. Nothing is written when nothing was.
struct SavedRegFile {
    DWORD error = ERROR_SUCCESS;  // of the reading or the file's writing
    std::size_t keys = 0;
    std::size_t unwritten = 0;  // names a .reg file cannot hold, left out
};
SavedRegFile SaveMappedRegistration(HKEY parent, const std::wstring& key,
                                    std::span<const std::wstring_view> roots,
                                    const std::wstring& file);

// Removes the key `subkey` of `parent` with everything below it. An empty name is refused
// (ERROR_INVALID_PARAMETER): it would empty `parent` itself.
LSTATUS DeleteTree(HKEY parent, const std::wstring& subkey);

}  // namespace tolvar
