#include "registration_scan.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "expand_environment.h"
#include "file_identity.h"
#include "null_cut.h"
#include "server_value.h"
#include "system_paths.h"
#include "win32_handles.h"

namespace tolvar {

namespace {

constexpr wchar_t kClassesPath[] = L"Software\\Classes";
constexpr wchar_t kClassIdsKey[] = L"\\CLSID";
constexpr wchar_t kInprocServer[] = L"\\InprocServer32";
constexpr wchar_t kLocalServer[] = L"\\LocalServer32";
constexpr std::size_t kClassNameChars = 256;  // a class id is 38; any key name fits 255
constexpr std::size_t kValueChars = MAX_PATH * 2;

constexpr REGSAM kOwnView = kProcessIs64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

bool Is64BitView(REGSAM view) {
    return (view & KEY_WOW64_64KEY) != 0;
}

bool StartsWithText(std::wstring_view text, std::wstring_view start) {
    return text.size() >= start.size() && SameFileText(text.substr(0, start.size()), start);
}

// The file as the scan looks for it: its path, identity and the names it may go by.
struct Target {
    std::wstring path;
    std::optional<FileId> id;
    std::wstring longTitle, shortTitle;
    // A path in the other registry view means to its own kind of process another System32.
    std::wstring systemDirectory, otherSystemDirectory;

    explicit Target(const std::wstring& file) {
        path = FullPathOf(file);
        id = IdentityOf(path);
        const auto title = [](const std::wstring& name) { return std::wstring(TitleOfPath(name)); };
        longTitle = title(
            FilledPath([&](wchar_t* b, DWORD n) { return GetLongPathNameW(path.c_str(), b, n); }));
        shortTitle = title(
            FilledPath([&](wchar_t* b, DWORD n) { return GetShortPathNameW(path.c_str(), b, n); }));
        if (longTitle.empty()) longTitle = title(path);
        systemDirectory = SystemDirectory();
        otherSystemDirectory = SystemDirectoryFor(!kProcessIs64Bit);
    }

    // The path a process of the view's own kind would open, as this process opens it.
    std::wstring AsSeenFrom(std::wstring_view server, REGSAM view) const {
        if (Is64BitView(view) == kProcessIs64Bit || systemDirectory.empty() ||
            otherSystemDirectory.empty() || !StartsWithText(server, systemDirectory + L"\\")) {
            return std::wstring(server);
        }
        return otherSystemDirectory + std::wstring(server.substr(systemDirectory.size()));
    }

    bool NamedBy(std::wstring_view value, ServerKey key, REGSAM view) {
        const std::wstring_view server = ServerFileOfValue(value, key == ServerKey::LocalServer32);
        const std::wstring_view title = TitleOfPath(server);
        if (!SameFileText(title, longTitle) &&
            (shortTitle.empty() || !SameFileText(title, shortTitle))) {
            return false;
        }
        if (id) {
            if (const auto other = SeenIdentity(AsSeenFrom(server, view))) return *other == *id;
        }
        return SameFileText(server, path);
    }

  private:
    // A file's identity is looked up once per scan: the classes of one server all name the same
    // path, and each open costs about a millisecond under Wine.
    std::optional<FileId> SeenIdentity(const std::wstring& server) {
        const auto [at, added] = identities.try_emplace(server);
        if (added) at->second = IdentityOf(server);
        return at->second;
    }

    std::map<std::wstring, std::optional<FileId>> identities;
};

// The server key's default value, expanded; empty when there is none or it is not text. A
// REG_EXPAND_SZ value is read as stored and expanded here: Wine 8's RegGetValueW, asked to
// expand, takes the caller's byte count for a count of characters and writes past the buffer.
// The value is taken by the size read, not by a terminating zero, which a stored value may lack.
std::wstring ServerValue(HKEY classes, const std::wstring& subKey, std::wstring& buffer) {
    for (;;) {
        DWORD type = REG_NONE;
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG rc = RegGetValueW(classes, subKey.c_str(), nullptr,
                                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type,
                                     buffer.data(), &bytes);
        if (rc == ERROR_MORE_DATA) {
            // At least one more character each time: the value may have grown meanwhile.
            buffer.resize(std::max<std::size_t>(bytes / sizeof(wchar_t) + 1, buffer.size() + 1));
            continue;
        }
        if (rc != ERROR_SUCCESS) return {};
        const std::size_t chars = std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size());
        std::wstring value(CutAtNull(std::wstring_view(buffer.data(), chars)));
        return type == REG_EXPAND_SZ ? ExpandEnvironmentText(value) : value;
    }
}

// Adds the classes of one root that name the target to `ids`; true when any did.
bool ScanClasses(const ClassesRoot& root, Target& target, ServerKey key,
                 const std::stop_token& stop, std::set<std::wstring>& ids) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root.root, (root.path + kClassIdsKey).c_str(), 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | root.view,
                      &opened) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegKey classes(opened);
    const wchar_t* const server = key == ServerKey::InprocServer32 ? kInprocServer : kLocalServer;
    std::wstring name(kClassNameChars, L'\0'), value(kValueChars, L'\0');
    bool found = false;
    for (DWORD index = 0; !stop.stop_requested(); ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        const LONG rc = RegEnumKeyExW(classes.get(), index, name.data(), &chars, nullptr, nullptr,
                                      nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;  // not a class id
        if (rc != ERROR_SUCCESS) break;
        const std::wstring id(name.data(), chars);
        if (target.NamedBy(ServerValue(classes.get(), id + server, value), key, root.view)) {
            std::wstring folded = id;
            CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
            ids.insert(std::move(folded));
            found = true;
        }
    }
    return found;
}

}  // namespace

std::vector<ClassesRoot> DefaultClassesRoots() {
    const std::vector<REGSAM> views = Is64BitWindows()
                                          ? std::vector<REGSAM>{KEY_WOW64_64KEY, KEY_WOW64_32KEY}
                                          : std::vector<REGSAM>{kOwnView};
    std::vector<ClassesRoot> roots;
    for (const auto& [root, perUser] :
         {std::pair{HKEY_LOCAL_MACHINE, false}, std::pair{HKEY_CURRENT_USER, true}}) {
        for (const REGSAM view : views) roots.push_back({root, kClassesPath, view, perUser});
    }
    return roots;
}

RegistrationCount CountRegistrations(const std::wstring& file, ServerKey key,
                                     const std::stop_token& stop,
                                     const std::vector<ClassesRoot>& roots) {
    Target target(file);
    RegistrationCount count;
    count.twoViews = Is64BitWindows();
    std::set<std::wstring> machineIds, userIds;
    for (const ClassesRoot& root : roots) {
        HiveCount& hive = root.perUser ? count.user : count.machine;
        if (!ScanClasses(root, target, key, stop, root.perUser ? userIds : machineIds)) continue;
        (Is64BitView(root.view) ? hive.in64BitView : hive.in32BitView) = true;
    }
    count.machine.classes = machineIds.size();
    count.user.classes = userIds.size();
    return count;
}

}  // namespace tolvar
