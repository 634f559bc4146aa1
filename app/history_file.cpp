// The history file, Tolvar.ini beside the executable: read at start-up, written at close.
#include <windows.h>

#include "frmTolvar.h"

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

// One entry per section, in file order, with the root placeholder expanded. A section whose path
// is already in the list is skipped (the first one wins), so a later save loses nothing.
void frmTolvar::ReadIniFile() {
    // The key stays open until the profile object has been released (destruction runs in
    // reverse order, also when a step throws).
    clsRegKey key;
    std::wstring root;
    if (key.OpenReg(HKEY_CLASSES_ROOT, std::wstring(kSdkKeyName), KEY_READ) == 0) {
        TaggedValue value;
        if (key.QueryValue(value, std::wstring(kSdkRootValue)) == 0) root = RootText(value);
    }
    // The first start has no file yet; reading one anyway costs a 200,000-character buffer and
    // the system's search, about 1 ms of a start-up of 220 ms under Wine.
    if (CertainlyAbsent(m_options.historyFile)) return;
    clsProfile profile;
    profile.FileName(m_options.historyFile);
    std::vector<std::wstring> names = SectionNames(profile);
    if (!names.empty() && LastNameCut(names)) names.pop_back();
    for (const std::wstring& name : names) {
        std::wstring path = ExpandRootPlaceholder(name, root);
        std::wstring title = profile.GetString(name, std::wstring(kHistoryTitleKey));
        if (const auto added = m_history.Add(std::nullopt, path, std::move(title))) {
            m_history.SetSubItem1(*added, std::move(path));
        }
    }
}

// The file is made to hold exactly the list, top entry first.
void frmTolvar::WriteIniFile() {
    clsProfile profile;
    profile.FileName(m_options.historyFile);

    // Nothing to do when the file already says exactly this: the profile functions rewrite the
    // whole file for every change.
    std::vector<SavedSection> wanted;
    wanted.reserve(m_history.Count());
    for (std::size_t i = 1; i <= m_history.Count(); ++i) {
        const HistoryEntry& entry = m_history.Item(i);
        wanted.push_back({ToAnsi(entry.SubItem1), ToAnsi(entry.Text)});
    }
    if (const auto text = ReadWholeFile(m_options.historyFile);
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
                DeleteFileA(ToAnsi(m_options.historyFile).c_str());
            }
            break;  // otherwise the file cannot be written: the save is lost, the file kept
        }
        for (const auto& name : names) profile.DeleteSection(name);
        previous = std::move(names);
    }
    const std::size_t count = m_history.Count();
    for (std::size_t i = 1; i <= count; ++i) {
        const HistoryEntry& entry = m_history.Item(i);
        profile.WriteString(entry.SubItem1, std::wstring(kHistoryTitleKey), entry.Text);
    }
}

bool frmTolvar::FileExist(const std::wstring& strFileName) {
    const DWORD attributes = GetFileAttributesA(ToAnsi(strFileName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tolvar
