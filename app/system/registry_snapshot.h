// Registry trees read into snapshots under the root each stands for, and removed: how the keys a
// registration wrote into stand-in roots become a .reg file that names the real ones.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reg_file.h"
#include "win32_handles.h"

namespace tolvar {

// Adds the key `subkey` of `parent` and every key below it, with all their values (name, type
// and bytes as stored), to `snapshot`, each path starting with `rootName` in place of the key's
// own. The key itself gets an entry only for values of its own: the root it stands for always
// exists. Read in this process's registry view. ERROR_SUCCESS, or the first error met and the
// snapshot as it was. A path the snapshot holds already keeps its values.
LSTATUS ReadTree(HKEY parent, const std::wstring& subkey, const std::wstring& rootName,
                 RegSnapshot& snapshot);

// The registry view a host writes in: a 32-bit host on 64-bit Windows writes in the 32-bit one.
// What hosts of each view wrote into stand-in roots is kept apart, so that each is saved where
// the system would have put it.
enum class MappedView { Native, Wow64 };
// The key below the throw-away key `key` where the hosts of `view` map their roots.
std::wstring MappedViewKey(const std::wstring& key, MappedView view);

// What a registration wrote into stand-in roots, saved as a .reg file: each view's key below the
// key `key` of `parent` (MappedViewKey) holds one subkey per root, named after it (`roots`), whose
// trees are saved under the real roots' names, those of the 32-bit view where it keeps them.
// Nothing is written when nothing was. The key is the caller's to remove.
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

// Removes trees of HKEY_CURRENT_USER in threads of their own, for a caller that need not wait for
// the many calls a large tree takes. Its end waits for the removals under way.
class TreeRemoval {
  public:
    TreeRemoval() = default;
    ~TreeRemoval();
    TreeRemoval(const TreeRemoval&) = delete;
    TreeRemoval& operator=(const TreeRemoval&) = delete;

    // Here and now when no thread can be started.
    void Start(std::wstring subkey);

  private:
    std::vector<UniqueHandle> m_threads;
};

}  // namespace tolvar
