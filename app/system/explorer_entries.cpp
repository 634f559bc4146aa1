#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "explorer_entries.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "error_log.h"
#include "file_identity.h"
#include "system_function.h"
#include "system_paths.h"
#include "win32_handles.h"

// The known folders' ids, defined here from the header's own list (hence last): the SDK library
// that holds them holds most other GUIDs too, and clashes with oleacc's where both are linked.
#include <initguid.h>
#include <knownfolders.h>

namespace tolvar {

namespace {

constexpr char kAdding[] = "adding the Explorer entries";
constexpr char kRemoving[] = "removing the Explorer entries";
constexpr char kQuerying[] = "reading the Explorer entries";
constexpr char kWritingVerb[] = "writing an Explorer verb";
constexpr char kReadingVerb[] = "reading an Explorer verb";
constexpr char kRemovingKey[] = "removing an Explorer verb's key";
constexpr char kWritingShortcut[] = "writing the Send To shortcut";
constexpr char kReadingShortcut[] = "reading the Send To shortcut";
constexpr char kRemovingShortcut[] = "removing the Send To shortcut";
constexpr char kNoShortcutName[] = "every name for the Send To shortcut is taken";
constexpr char kMissingFunctions[] = "the COM or shell functions are missing";
constexpr wchar_t kOle32[] = L"ole32.dll";
constexpr wchar_t kShell32[] = L"shell32.dll";
constexpr std::size_t kCodeTextChars = 32;

// Logs a step that failed with the code it reported, a registry error or an HRESULT; false, for
// the caller to pass on.
bool Failed(const char* step, long code) noexcept {
    char what[kCodeTextChars];
    std::snprintf(what, sizeof what, "error 0x%08lX", static_cast<unsigned long>(code));
    LogFailure(step, what);
    return false;
}

// ole32 and shell32, loaded for one call: start-up has no need of either.
struct ShellFunctions {
    using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
    using Uninitialize = void(WINAPI*)();
    using CreateInstance = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    using FreeTask = void(WINAPI*)(LPVOID);
    using KnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    using ChangeNotify = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
    using PathFromItems = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);

    UniqueModule ole32{LoadLibraryW(kOle32)};
    UniqueModule shell32{LoadLibraryW(kShell32)};
    Initialize initialize = SystemFunction<Initialize>(ole32.get(), "CoInitializeEx");
    Uninitialize uninitialize = SystemFunction<Uninitialize>(ole32.get(), "CoUninitialize");
    CreateInstance createInstance = SystemFunction<CreateInstance>(ole32.get(), "CoCreateInstance");
    FreeTask freeTask = SystemFunction<FreeTask>(ole32.get(), "CoTaskMemFree");
    KnownFolderPath knownFolderPath =
        SystemFunction<KnownFolderPath>(shell32.get(), "SHGetKnownFolderPath");
    ChangeNotify changeNotify = SystemFunction<ChangeNotify>(shell32.get(), "SHChangeNotify");
    PathFromItems pathFromItems =
        SystemFunction<PathFromItems>(shell32.get(), "SHGetPathFromIDListW");

    // Logs it when one is missing.
    bool Found(const char* step) const noexcept {
        const bool all = initialize && uninitialize && createInstance && freeTask &&
                         knownFolderPath && changeNotify && pathFromItems;
        if (!all) LogFailure(step, kMissingFunctions);
        return all;
    }
};

// COM for this thread, apartment-threaded as the shell's objects want it, while the guard lives.
// Every successful initialisation counts, also one that finds COM already there (S_FALSE), and is
// balanced here, so the thread is left as it was found. A thread already in the multithreaded
// apartment stays there; COM serves the shell's objects to it all the same.
class ComApartment {
  public:
    explicit ComApartment(const ShellFunctions& shell) noexcept
        : m_uninitialize(shell.uninitialize) {
        const HRESULT result =
            shell.initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        m_balance = SUCCEEDED(result);
        m_usable = m_balance || result == RPC_E_CHANGED_MODE;
        if (!m_usable) Failed("starting COM", result);
    }
    ~ComApartment() {
        if (m_balance) m_uninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool Usable() const noexcept { return m_usable; }

  private:
    ShellFunctions::Uninitialize m_uninitialize;
    bool m_balance = false;
    bool m_usable = false;
};

// Tolvar's own file, and whether a path an entry holds names it: in any form, 8.3 or long. The
// entries mostly all hold one path, and each look costs about a millisecond under Wine, so the
// last answer is kept.
class OwnProgram {
  public:
    explicit OwnProgram(const std::wstring& path) : m_path(path) {}

    bool NamedBy(const std::wstring& other) {
        if (other != m_lastAsked) {
            m_lastAsked = other;
            m_lastAnswer = SameFile(m_path, other);
        }
        return m_lastAnswer;
    }

  private:
    std::wstring m_path;
    std::wstring m_lastAsked;
    bool m_lastAnswer = false;
};

// The keys, below the root. SystemFileAssociations is shared by 32- and 64-bit programs, so
// either writes where the other reads.
std::wstring FileTypesPath(const ExplorerLocation& where) {
    return BackslashJoin({where.classesPath, kFileTypeVerbsKey});
}
std::wstring FileTypePath(const ExplorerLocation& where, std::wstring_view extension) {
    return BackslashJoin({FileTypesPath(where), extension});
}
std::wstring ShellPath(const ExplorerLocation& where, std::wstring_view extension) {
    return BackslashJoin({FileTypePath(where, extension), kShellKey});
}
std::wstring VerbPath(const ExplorerLocation& where, std::wstring_view extension,
                      const ExplorerVerb& verb) {
    return BackslashJoin({ShellPath(where, extension), verb.key});
}

UniqueRegKey CreateKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) Failed(kWritingVerb, status);
    return UniqueRegKey(key);
}

bool SetDefaultText(HKEY key, const std::wstring& text) {
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    return status == ERROR_SUCCESS || Failed(kWritingVerb, status);
}

// The key's default value as text; nothing when the key or the value is missing.
std::optional<std::wstring> DefaultText(HKEY root, const std::wstring& path) {
    std::wstring text;
    for (;;) {
        auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                            text.empty() ? nullptr : text.data(), &bytes);
        if (status == ERROR_SUCCESS && !text.empty()) {
            text.resize(std::wcslen(text.c_str()));
            return text;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
            if (status != ERROR_FILE_NOT_FOUND) Failed(kReadingVerb, status);
            return std::nullopt;
        }
        // Sized now, or grown since it was sized; the extra character ends it in any case.
        text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    }
}

bool WriteVerb(const ExplorerLocation& where, std::wstring_view extension, const ExplorerVerb& verb,
               const std::wstring& exePath) {
    const UniqueRegKey verbKey = CreateKey(where.root, VerbPath(where, extension, verb));
    if (!verbKey || !SetDefaultText(verbKey.get(), std::wstring(verb.caption))) return false;
    const UniqueRegKey command = CreateKey(verbKey.get(), std::wstring(kCommandKey));
    return command && SetDefaultText(command.get(), VerbCommand(exePath, verb.registering));
}

bool VerbPointsAt(const ExplorerLocation& where, std::wstring_view extension,
                  const ExplorerVerb& verb, OwnProgram& program) {
    const auto command =
        DefaultText(where.root, BackslashJoin({VerbPath(where, extension, verb), kCommandKey}));
    const auto started = command ? VerbCommandProgram(*command, verb.registering) : std::nullopt;
    return started && program.NamedBy(*started);
}

// Removes the key when it holds neither subkeys nor values; a missing key is as good.
bool RemoveIfEmpty(HKEY root, const std::wstring& path) {
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return Failed(kRemovingKey, status);
    UniqueRegKey key(opened);
    DWORD subkeys = 0, values = 0;
    status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    if (status != ERROR_SUCCESS) return Failed(kRemovingKey, status);
    if (subkeys != 0 || values != 0) return true;
    status = RegDeleteKeyW(root, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ||
           Failed(kRemovingKey, status);
}

// Memory the shell hands out, given back to COM's allocator.
struct TaskMemoryFree {
    ShellFunctions::FreeTask freeTask;
    void operator()(void* memory) const noexcept { freeTask(memory); }
};

std::optional<std::wstring> SendToFolder(const ExplorerLocation& where,
                                         const ShellFunctions& shell) {
    if (!where.sendToFolder.empty()) return where.sendToFolder;
    PWSTR folder = nullptr;
    const HRESULT result =
        shell.knownFolderPath(FOLDERID_SendTo, KF_FLAG_DEFAULT, nullptr, &folder);
    // Freed whether the call succeeded or not, as the system asks.
    const std::unique_ptr<wchar_t, TaskMemoryFree> owned(folder, {shell.freeTask});
    if (FAILED(result) || !folder) {
        Failed("finding the Send To folder", result);
        return std::nullopt;
    }
    return std::wstring(folder);
}

// A shell link object and its file interface, to load or save a shortcut.
struct LinkObject {
    UniqueCom<IShellLinkW> link;
    UniqueCom<IPersistFile> file;
};

std::optional<LinkObject> NewShellLink(const ShellFunctions& shell, const char* step) {
    LinkObject made;
    HRESULT result = shell.createInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER,
                                          __uuidof(IShellLinkW), made.link.put());
    if (SUCCEEDED(result)) {
        result = made.link->QueryInterface(__uuidof(IPersistFile), made.file.put());
    }
    if (FAILED(result)) {
        Failed(step, result);
        return std::nullopt;
    }
    return made;
}

// No arguments: Send To passes the chosen files. The description marks the shortcut as Tolvar's.
bool WriteShortcut(const ShellFunctions& shell, const std::wstring& shortcut,
                   const std::wstring& exePath) {
    const auto made = NewShellLink(shell, kWritingShortcut);
    if (!made) return false;
    HRESULT result = made->link->SetPath(exePath.c_str());
    if (SUCCEEDED(result)) {
        result = made->link->SetDescription(std::wstring(kSendToShortcutDescription).c_str());
    }
    if (SUCCEEDED(result)) result = made->file->Save(shortcut.c_str(), TRUE);
    return SUCCEEDED(result) || Failed(kWritingShortcut, result);
}

// A file of one of the shortcut's names, as far as Tolvar cares.
struct FoundShortcut {
    std::wstring path;
    bool ours = false;                   // written by Tolvar, which may change or remove it
    std::optional<std::wstring> target;  // the file it starts, when it is Tolvar's and starts one
};

// Every file in the folder by one of the shortcut's names; nothing when they cannot be read, for
// then none can be told from the user's own.
std::optional<std::vector<FoundShortcut>> FindShortcuts(const ShellFunctions& shell,
                                                        const std::wstring& folder) {
    std::vector<FoundShortcut> found;
    for (std::size_t i = 0; i < kSendToShortcutNames; ++i) {
        FoundShortcut shortcut;
        shortcut.path = BackslashJoin({folder, SendToShortcutName(i)});
        if (GetFileAttributesW(shortcut.path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const auto made = NewShellLink(shell, kReadingShortcut);
        if (!made) return std::nullopt;
        // The most a description holds.
        wchar_t description[INFOTIPSIZE] = {};
        HRESULT result = made->file->Load(shortcut.path.c_str(), STGM_READ);
        if (SUCCEEDED(result)) {
            result =
                made->link->GetDescription(description, static_cast<int>(std::size(description)));
        }
        if (FAILED(result)) Failed(kReadingShortcut, result);
        shortcut.ours =
            SUCCEEDED(result) && std::wstring_view(description) == kSendToShortcutDescription;
        if (shortcut.ours) {
            // Read from the item list, which holds the path exactly: Wine gives back the stored
            // path through the ANSI code page.
            PIDLIST_ABSOLUTE items = nullptr;
            result = made->link->GetIDList(&items);
            const std::unique_ptr<ITEMIDLIST, TaskMemoryFree> owned(items, {shell.freeTask});
            if (FAILED(result)) Failed(kReadingShortcut, result);
            // The most a path from an item list holds.
            wchar_t target[MAX_PATH] = {};
            if (result == S_OK && items && shell.pathFromItems(items, target)) {
                shortcut.target = target;
            }
        }
        found.push_back(std::move(shortcut));
    }
    return found;
}

// Where Tolvar's shortcut is, or is to go: its own by one of the names, else the first free name.
std::optional<std::wstring> ShortcutPlace(const ShellFunctions& shell, const std::wstring& folder) {
    const auto found = FindShortcuts(shell, folder);
    if (!found) return std::nullopt;
    for (const FoundShortcut& shortcut : *found) {
        if (shortcut.ours) return shortcut.path;
    }
    for (std::size_t i = 0; i < kSendToShortcutNames; ++i) {
        const std::wstring path = BackslashJoin({folder, SendToShortcutName(i)});
        const auto taken = [&path](const FoundShortcut& shortcut) { return shortcut.path == path; };
        if (std::none_of(found->begin(), found->end(), taken)) return path;
    }
    LogFailure(kWritingShortcut, kNoShortcutName);
    return std::nullopt;
}

// The shortcuts by Tolvar's names in the Send To folder, read in a COM apartment of their own;
// nothing when the folder or they cannot be read.
std::optional<std::vector<FoundShortcut>> SendToShortcuts(const ExplorerLocation& where,
                                                          const ShellFunctions& shell) {
    const auto folder = SendToFolder(where, shell);
    if (!folder) return std::nullopt;
    const ComApartment com(shell);
    if (!com.Usable()) return std::nullopt;
    return FindShortcuts(shell, *folder);
}

bool PointAt(const ExplorerLocation& where, const std::wstring& exePath) {
    OwnProgram program(exePath);
    // The registry first: when a verb is off, the shell's libraries are not needed at all.
    for (const std::wstring_view extension : kVerbExtensions) {
        for (const ExplorerVerb& verb : kExplorerVerbs) {
            if (!VerbPointsAt(where, extension, verb, program)) return false;
        }
    }
    const ShellFunctions shell;
    if (!shell.Found(kQuerying)) return false;
    const auto found = SendToShortcuts(where, shell);
    if (!found) return false;
    for (const FoundShortcut& shortcut : *found) {
        if (shortcut.ours) return shortcut.target && program.NamedBy(*shortcut.target);
    }
    return false;
}

bool WriteAll(const ExplorerLocation& where, const std::wstring& exePath,
              const ShellFunctions& shell) {
    for (const std::wstring_view extension : kVerbExtensions) {
        for (const ExplorerVerb& verb : kExplorerVerbs) {
            if (!WriteVerb(where, extension, verb, exePath)) return false;
        }
    }
    const auto folder = SendToFolder(where, shell);
    if (!folder) return false;
    const ComApartment com(shell);
    if (!com.Usable()) return false;
    const auto shortcut = ShortcutPlace(shell, *folder);
    return shortcut && WriteShortcut(shell, *shortcut, exePath);
}

// Goes on past a failure, so that as much as can go does.
bool RemoveAll(const ExplorerLocation& where, const ShellFunctions& shell) {
    bool removed = true;
    for (const std::wstring_view extension : kVerbExtensions) {
        for (const ExplorerVerb& verb : kExplorerVerbs) {
            // The verb's key is Tolvar's by its name: it goes with all it holds.
            const LSTATUS status =
                RegDeleteTreeW(where.root, VerbPath(where, extension, verb).c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
                removed = Failed(kRemovingKey, status);
            }
        }
        removed = RemoveIfEmpty(where.root, ShellPath(where, extension)) && removed;
        removed = RemoveIfEmpty(where.root, FileTypePath(where, extension)) && removed;
    }
    removed = RemoveIfEmpty(where.root, FileTypesPath(where)) && removed;

    // Only Tolvar's own: a shortcut of the same name the user made stays.
    const auto found = SendToShortcuts(where, shell);
    if (!found) return false;
    for (const FoundShortcut& shortcut : *found) {
        if (shortcut.ours && !DeleteFileW(shortcut.path.c_str())) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                removed = Failed(kRemovingShortcut, static_cast<long>(error));
            }
        }
    }
    return removed;
}

// Explorer keeps what it has read of the file types until told they changed.
void TellExplorer(const ShellFunctions& shell) {
    shell.changeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace

bool ExplorerEntriesPointAt(const ExplorerLocation& where, const std::wstring& exePath) noexcept {
    try {
        return PointAt(where, exePath);
    } catch (...) {
        LogCaughtException(kQuerying);
        return false;
    }
}

bool AddExplorerEntries(const ExplorerLocation& where, const std::wstring& exePath) noexcept {
    try {
        const ShellFunctions shell;
        if (!shell.Found(kAdding)) return false;
        // The long form, which stays valid where 8.3 names are later turned off.
        const bool written = WriteAll(where, LongPathOf(exePath), shell);
        // Entries are all there or none is: a part would leave verbs nobody turns off.
        if (!written) RemoveAll(where, shell);
        TellExplorer(shell);
        return written;
    } catch (...) {
        LogCaughtException(kAdding);
        RemoveExplorerEntries(where);
        return false;
    }
}

bool RemoveExplorerEntries(const ExplorerLocation& where) noexcept {
    try {
        const ShellFunctions shell;
        if (!shell.Found(kRemoving)) return false;
        const bool removed = RemoveAll(where, shell);
        TellExplorer(shell);
        return removed;
    } catch (...) {
        LogCaughtException(kRemoving);
        return false;
    }
}

}  // namespace tolvar
