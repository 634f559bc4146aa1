// The history's store: the history file and the registry value that names the SDK root. The
// window loads the history from it at start-up and saves it there at close; tests and the
// benchmarks point it at a file and a key of their own.
#pragma once

#include <windows.h>

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
// loses nothing.
void LoadHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 HistoryList& history);

// Makes the file hold exactly the list, top entry first. A file that already does is left alone.
void SaveHistory(const std::wstring& historyFile, const HistoryList& history);

}  // namespace tolvar
