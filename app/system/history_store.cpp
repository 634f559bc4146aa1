#include <windows.h>

#include "history_store.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ansi.h"
#include "clsProfile.h"
#include "clsRegKey.h"
#include "design.h"
#include "error_log.h"
#include "history_text.h"
#include "root_placeholder.h"
#include "system_paths.h"
#include "whole_file.h"
#include "win32_handles.h"

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
// more): it then fills the buffer, of wide characters, to its size less two.
bool LastNameCut(const std::vector<std::wstring>& names) {
    std::size_t chars = 0;
    for (const auto& name : names) chars += name.size() + 1;
    return chars >= clsProfile::kTextBufferChars - 3;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The new file is written beside the old one, so that it can take its place in one step; the old
// one passes through the backup name on its way out.
constexpr wchar_t kNewFileSuffix[] = L".new";
constexpr wchar_t kBackupSuffix[] = L".old";

// The file functions take a longer name only in the \\?\ form. A history file whose name just fits
// must not fail to save because its suffixed names do not.
constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";

std::wstring FileApiName(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.starts_with(kLongPrefix)) return path;
    const std::wstring full = FullPathOf(path);
    if (full.starts_with(kUncPrefix)) return std::wstring(kLongUncPrefix) + full.substr(2);
    return std::wstring(kLongPrefix) + full;
}

// True only when the file certainly does not exist. A name without a drive or server is left to
// the profile functions, which look for it elsewhere (in the Windows directory).
bool CertainlyAbsent(const std::wstring& path) {
    const bool fullPath =
        (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(kUncPrefix);
    if (!fullPath || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The file a load reads: the history file, or its backup when only the backup is left (a save
// ended between the two renames of its replacement); nothing when neither is there.
std::optional<std::wstring> StoredFile(const std::wstring& historyFile) {
    if (!CertainlyAbsent(historyFile)) return historyFile;
    std::wstring backup = FileApiName(historyFile + kBackupSuffix);
    if (CertainlyAbsent(backup)) return std::nullopt;
    return backup;
}

// The bytes a load of that file reads: empty when there is no file, nothing when there is one
// that cannot be read.
std::optional<std::string> StoredBytes(const std::optional<std::wstring>& file) {
    return file ? ReadWholeFile(FileApiName(*file)) : std::string();
}

// Appends the file's sections to the list, each once, with the root placeholder expanded.
void AppendSections(const std::wstring& file, const SdkRootSource& sdkRoot, HistoryList& history) {
    // The key stays open until the profile object has been released (destruction runs in
    // reverse order, also when a step throws).
    clsRegKey key;
    const std::wstring root = ReadSdkRoot(sdkRoot, key);
    clsProfile profile;
    profile.FileName(file);
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

// Tolvars that close at the same moment save one after the other, each reading what the other
// left: a mutex per history file, named by a hash of its full path without regard to letter case
// (names are limited in length), in the session's namespace.
constexpr std::wstring_view kSaveTurnPrefix = L"Local\\Tolvar.history.";
// A save waits this long for another one, then goes on rather than be lost.
constexpr DWORD kSaveTurnWaitMs = 5000;
constexpr char kSaveTurnWhere[] = "waiting for another Tolvar's save";
// FNV-1a, 64 bits, over the name's UTF-16 units: the same name from 32-bit and 64-bit Tolvars.
constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;
constexpr std::wstring_view kHexDigits = L"0123456789abcdef";
constexpr int kHexDigitBits = 4;
constexpr int kHashHexDigits = 64 / kHexDigitBits;

std::wstring SaveTurnName(const std::wstring& historyFile) {
    const std::wstring full = FullPathOf(historyFile);
    std::wstring folded = full;
    const int n = static_cast<int>(full.size());
    if (n > 0) LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full.data(), n, folded.data(), n);
    std::uint64_t hash = kFnvOffsetBasis;
    for (const wchar_t c : folded) hash = (hash ^ static_cast<std::uint16_t>(c)) * kFnvPrime;
    std::wstring name(kSaveTurnPrefix);
    for (int digit = kHashHexDigits - 1; digit >= 0; --digit) {
        name += kHexDigits[(hash >> (kHexDigitBits * digit)) % kHexDigits.size()];
    }
    return name;
}

void LogSaveTurnError(const char* what) {
    char text[kLogLineChars];
    std::snprintf(text, sizeof text, "%s (error %lu)", what,
                  static_cast<unsigned long>(GetLastError()));
    LogFailure(kSaveTurnWhere, text);
}

// Holds this process's turn to save the history file for as long as it lives.
class SaveTurn {
  public:
    explicit SaveTurn(const std::wstring& historyFile)
        : m_mutex(CreateMutexW(nullptr, FALSE, SaveTurnName(historyFile).c_str())) {
        if (!m_mutex) {
            LogSaveTurnError("no mutex");
            return;
        }
        switch (WaitForSingleObject(m_mutex.get(), kSaveTurnWaitMs)) {
            case WAIT_OBJECT_0:
                m_owned.reset(m_mutex.get());
                break;
            case WAIT_ABANDONED:  // the file is whole all the same: saves replace it in one step
                m_owned.reset(m_mutex.get());
                LogFailure(kSaveTurnWhere, "the other Tolvar ended during its save");
                break;
            case WAIT_TIMEOUT:
                LogFailure(kSaveTurnWhere, "it took too long; saving without waiting");
                break;
            default:
                LogSaveTurnError("the wait");
                break;
        }
    }

  private:
    UniqueHandle m_mutex;
    UniqueMutexOwnership m_owned;  // given back before the handle closes
};

// The profile functions read and keep a file in UTF-16 LE when it begins with this mark.
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

// A file's text as the profile functions read it.
std::wstring DecodeProfileFile(std::string_view bytes) {
    if (!bytes.starts_with(kUtf16Mark)) return FromAnsi(bytes);
    bytes.remove_prefix(kUtf16Mark.size());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

// The file for a text: ANSI while every character fits the code page, so that nothing changes
// for files that work today; otherwise UTF-16 LE after the mark, which keeps every path exact.
std::string EncodeProfileFile(const std::wstring& text) {
    if (auto ansi = ToAnsiExactly(text)) return std::move(*ansi);
    std::string utf16(kUtf16Mark);
    utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return utf16;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

// A folder may refuse new files while the file in it may still be written (write access granted
// on the file alone): the list is then written over the file itself, as the profile functions
// would write it, rather than lost.
bool WriteInPlace(const std::wstring& target, std::string_view bytes) {
    const UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.get(), bytes) && SetEndOfFile(file.get()) &&
           FlushFileBuffers(file.get());
}

// Deletes the new file when the save goes no further, unless told the process is to be taken as
// ended. While no whole history file stands in its place, the new file is all there is of the
// list, and it stays.
class NewFileGuard {
  public:
    NewFileGuard(const std::wstring& newFile, const std::wstring& target)
        : m_newFile(newFile), m_target(target) {}
    ~NewFileGuard() {
        if (m_armed && FileExists(m_target)) DeleteFileW(m_newFile.c_str());
    }
    NewFileGuard(const NewFileGuard&) = delete;
    NewFileGuard& operator=(const NewFileGuard&) = delete;
    void Dismiss() { m_armed = false; }

  private:
    const std::wstring& m_newFile;
    const std::wstring& m_target;
    bool m_armed = true;
};

constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool Move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), kMoveFlags) != FALSE;
}

bool Replace(const std::wstring& target, const std::wstring& newFile, const std::wstring& backup) {
    return ReplaceFileW(target.c_str(), newFile.c_str(), backup.c_str(), 0, nullptr, nullptr) !=
           FALSE;
}

// Puts the new file in place of the old one, keeping the old one's attributes and security.
// The old file passes through a backup name of our own: without one, Wine's ReplaceFile leaves a
// temporary file of its own behind when the old file is locked, and loses the old file when the
// new one cannot move in. A backup that a save ended half-way left behind goes once the new file
// is in place.
bool PutInPlace(const std::wstring& newFile, const std::wstring& target, const std::wstring& backup,
                bool targetExists) {
    if (!targetExists) {
        if (!Move(newFile, target)) return false;
        DeleteFileW(backup.c_str());
        return true;
    }
    // Only these two failures leave the old file somewhere other than its place.
    const auto moved = [](DWORD error) {
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    };
    bool replaced = Replace(target, newFile, backup);
    DWORD error = replaced ? ERROR_SUCCESS : GetLastError();
    // A backup left by a save that ended half-way may stand in the way: it goes, and the
    // replacement is tried once more. The old file is whole in its place meanwhile.
    if (!replaced && !moved(error) && DeleteFileW(backup.c_str())) {
        replaced = Replace(target, newFile, backup);
        error = replaced ? ERROR_SUCCESS : GetLastError();
    }
    if (replaced) {
        DeleteFileW(backup.c_str());
        return true;
    }
    switch (error) {
        case ERROR_FILE_NOT_FOUND:  // the old file went in the meantime
            return Move(newFile, target);
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            // The old file waits under the backup name: the new one is tried once more, else the
            // old one goes back. Should both fail, each stays where it is, and the next start
            // reads the backup.
            if (Move(newFile, target)) {
                DeleteFileW(backup.c_str());
                return true;
            }
            Move(backup, target);
            return false;
        default:  // both files are as they were
            return false;
    }
}

}  // namespace

SdkRootSource DefaultSdkRootSource() {
    return {HKEY_CLASSES_ROOT, std::wstring(kSdkKeyName), std::wstring(kSdkRootValue)};
}

void LoadHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 HistoryList& history) {
    // The first start has no file yet; reading one anyway costs a 200,000-character buffer and
    // the system's search, about 1 ms of a start-up of 220 ms under Wine. The SDK root is not
    // read then either: it only expands the file's names.
    const std::optional<std::wstring> file = StoredFile(historyFile);
    // Taken before the profile functions read the file: should another Tolvar replace it in
    // between, the save finds a change and merges, which loses nothing.
    history.SetSnapshot({StoredBytes(file)});
    if (file) AppendSections(*file, sdkRoot, history);
}

bool SaveHistory(const std::wstring& historyFile, const SdkRootSource& sdkRoot,
                 const HistoryList& history, const SaveSeam& seam) {
    const SaveTurn turn(historyFile);
    const std::optional<std::wstring> stored = StoredFile(historyFile);
    const std::optional<std::string> storedBytes = StoredBytes(stored);
    // Another Tolvar saved since the load: its list stays, with this session's edits made to it.
    // A file that cannot be read now is not merged from what little the profile functions might
    // make of it.
    const auto& snapshot = history.Snapshot();
    const bool merge = snapshot && storedBytes && snapshot->bytes != storedBytes;
    HistoryList merged(history.Fold());
    if (merge) {
        if (stored) AppendSections(*stored, sdkRoot, merged);
        merged.Replay(history.Edits());
    }
    const HistoryList& list = merge ? merged : history;

    std::vector<SavedSection> entries;
    entries.reserve(list.Count());
    for (std::size_t i = 1; i <= list.Count(); ++i) {
        const HistoryEntry& entry = list.Item(i);
        entries.push_back({entry.SubItem1, entry.Text});
    }
    const std::vector<SavedSection> sections = AsProfileStoresThem(entries);
    const std::string bytes = EncodeProfileFile(ProfileText(sections, kHistoryTitleKey));
    // The file as the last save left it is the common case, and the quickest to recognise.
    if (stored == historyFile && storedBytes &&
        (*storedBytes == bytes ||
         ProfileTextHolds(DecodeProfileFile(*storedBytes), sections, kHistoryTitleKey))) {
        return true;
    }
    const auto stop = [&seam](SaveStep step) { return seam && !seam(step); };

    // A read-only file is one the profile functions would not write either: the save is lost.
    const std::wstring target = FileApiName(historyFile);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }

    const std::wstring newFile = FileApiName(historyFile + kNewFileSuffix);
    const std::wstring backup = FileApiName(historyFile + kBackupSuffix);
    UniqueFile file(CreateFileW(newFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return exists && WriteInPlace(target, bytes);
    NewFileGuard guard(newFile, target);
    const std::string_view all(bytes);
    if (!WriteAll(file.get(), all.substr(0, all.size() / 2))) return false;
    if (stop(SaveStep::PartWritten)) {
        guard.Dismiss();
        return false;
    }
    if (!WriteAll(file.get(), all.substr(all.size() / 2)) || !FlushFileBuffers(file.get())) {
        return false;
    }
    file.reset();  // closed before it moves
    if (stop(SaveStep::Written)) {
        guard.Dismiss();
        return false;
    }
    if (!PutInPlace(newFile, target, backup, exists)) return false;
    guard.Dismiss();
    stop(SaveStep::Replaced);
    return true;
}

}  // namespace tolvar
