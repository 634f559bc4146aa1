// The history's store: the history file and the registry value that names the SDK root. The
// window loads the history from it at start-up and saves it there at close; tests and the
// benchmarks point it at a file and a key of their own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "history_list.h"

namespace tolvar {

// Where the SDK root directory is read: a value of a key below a root key.
struct SdkRootSource {
    HKEY rootKey;
    std::wstring keyPath;
    std::wstring valueName;
};

// The machine's own: "TargetDir" of HKEY_CLASSES_ROOT\Software\ZelvoSDK.
SdkRootSource DefaultSdkRootSource();

// Appends one entry per section of the file, in file order, with the root placeholder expanded.
// A section whose path is already in the list is skipped (the first one wins), so a later save
// loses nothing. The list keeps what the file held, for its save to compare.
void LoadHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 HistoryList& history);

// The moments of a save at which a test may stop it, as an ended process would stop there.
enum class SaveStep {
    PartWritten,  // half of the new file is written
    Written,      // the new file is whole and flushed, not yet in place
    Replaced,     // the new file is in place
};
// Called at each step; false stops the save right there, leaving everything as it is.
using SaveSeam = std::function<bool(SaveStep)>;

// Makes the file hold exactly the list, top entry first, in one step: the whole list is written
// to a new file beside it, flushed, and put in its place, so an ended save leaves the old file
// or the new one, never a part. A file that already holds the list is left alone. A save that
// cannot be completed leaves the file as it was and nothing beside it. True when the file holds
// the list.
// When the list was loaded from the file and another Tolvar has saved there since, the file is
// loaded again (with the root from `sdkRoot`) and the list's own edits are made to that instead:
// what the other one saved stays. Tolvars saving the same file take turns.
bool SaveHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 const HistoryList& history, const SaveSeam& seam = {});

}  // namespace tolvar
