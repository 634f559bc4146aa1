#include <windows.h>

#include "history_store.h"

#include <string>
#include <vector>

#include "ansi.h"
#include "clsProfile.h"
#include "clsRegKey.h"
#include "design.h"
#include "history_text.h"
#include "root_placeholder.h"
#include "whole_file.h"

namespace tolvar {

namespace {

// The SDK root as text: a text as it is, a 32-bit integer as its digits, anything else empty.
std::wstring RootText(const TaggedValue& value) {
    if (const auto* text = value.Get<std::wstring>()) return *text;
    if (const auto* number = value.Get<std::int32_t>()) return std::to_wstring(*number);
    return {};
}

std::wstring ReadSdkRoot(const SdkRootSource& source, clsRegKey& key) {
    if (key.OpenReg(source.rootKey, source.keyPath, KEY_READ) != 0) return {};
    TaggedValue value;
    if (key.QueryValue(value, source.valueName) != 0) return {};
    return RootText(value);
}

std::vector<std::wstring> SectionNames(const clsProfile& profile) {
    const TaggedValue names = profile.GetSectNames();
    const auto* list = names.Get<std::vector<std::wstring>>();
    return list ? *list : std::vector<std::wstring>{};
}

// When the names overflow the read buffer the system cuts the last one short (and lists no
// more): it then fills the buffer to its size less two.
bool LastNameCut(const std::vector<std::wstring>& names) {
    std::size_t bytes = 0;
    for (const auto& name : names) bytes += ToAnsi(name).size() + 1;
    return bytes >= clsProfile::kTextBufferChars - 3;
}

// True only when the file certainly does not exist. A name without a drive or server is left to
// the profile functions, which look for it elsewhere (in the Windows directory).
bool CertainlyAbsent(const std::wstring& path) {
    const bool fullPath =
        (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
    if (!fullPath || GetFileAttributesA(ToAnsi(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// False when a section is left that the profile functions cannot delete by its name.
bool DeletableByName(const std::vector<std::wstring>& names) {
    for (const auto& name : names) {
        if (ToAnsi(name).size() > clsProfile::kMaxTextBytes) return false;
    }
    return !LastNameCut(names);
}

}  // namespace

SdkRootSource DefaultSdkRootSource() {
    return {HKEY_CLASSES_ROOT, std::wstring(kSdkKeyName), std::wstring(kSdkRootValue)};
}

void LoadHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 HistoryList& history) {
    // The key stays open until the profile object has been released (destruction runs in
    // reverse order, also when a step throws).
    clsRegKey key;
    const std::wstring root = ReadSdkRoot(sdkRoot, key);
    // The first start has no file yet; reading one anyway costs a 200,000-character buffer and
    // the system's search, about 1 ms of a start-up of 220 ms under Wine.
    if (CertainlyAbsent(historyFile)) return;
    clsProfile profile;
    profile.FileName(historyFile);
    std::vector<std::wstring> names = SectionNames(profile);
    if (!names.empty() && LastNameCut(names)) names.pop_back();
    for (const std::wstring& name : names) {
        std::wstring path = ExpandRootPlaceholder(name, root);
        std::wstring title = profile.GetString(name, std::wstring(kHistoryTitleKey));
        if (const auto added = history.Add(std::nullopt, path, std::move(title))) {
            history.SetSubItem1(*added, std::move(path));
        }
    }
}

void SaveHistory(const std::wstring& historyFile, const HistoryList& history) {
    clsProfile profile;
    profile.FileName(historyFile);

    // Nothing to do when the file already says exactly this: the profile functions rewrite the
    // whole file for every change.
    std::vector<SavedSection> wanted;
    wanted.reserve(history.Count());
    for (std::size_t i = 1; i <= history.Count(); ++i) {
        const HistoryEntry& entry = history.Item(i);
        wanted.push_back({ToAnsi(entry.SubItem1), ToAnsi(entry.Text)});
    }
    if (const auto text = ReadWholeFile(historyFile);
        text && ProfileTextHolds(*text, wanted, ToAnsi(kHistoryTitleKey))) {
        return;
    }

    // Every section goes, also those the read buffer could not list at once. A section that
    // cannot be deleted by its name (one longer than the profile functions take, or cut short by
    // the read buffer) would stay before the list and hide it at the next load: then the whole
    // file goes.
    std::vector<std::wstring> previous;
    for (std::vector<std::wstring> names = SectionNames(profile); !names.empty();
         names = SectionNames(profile)) {
        if (names == previous) {
            if (!DeletableByName(names)) {
                profile.Flush();
                DeleteFileA(ToAnsi(historyFile).c_str());
            }
            break;  // otherwise the file cannot be written: the save is lost, the file kept
        }
        for (const auto& name : names) profile.DeleteSection(name);
        previous = std::move(names);
    }
    for (std::size_t i = 1; i <= history.Count(); ++i) {
        const HistoryEntry& entry = history.Item(i);
        profile.WriteString(entry.SubItem1, std::wstring(kHistoryTitleKey), entry.Text);
    }
}

}  // namespace tolvar
