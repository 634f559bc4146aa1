#include <windows.h>

#include "target_inspection.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "ansi.h"
#include "command_line.h"
#include "system_function.h"
#include "system_paths.h"
#include "win32_handles.h"

namespace tolvar {

namespace {

constexpr std::string_view kApiSetPrefixes[] = {"api-ms-", "ext-ms-"};
constexpr std::string_view kDllSuffix = ".dll";
constexpr wchar_t kKnownDllsKey[] =
    L"System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
constexpr wchar_t kPathVariable[] = L"PATH";
constexpr wchar_t kPathSeparator = L';';
constexpr std::size_t kKnownNameChars = 256;
constexpr DWORD kKnownValueBytes = 512;

// The loader takes module names without regard to case.
template <typename String>
String AsciiLower(String text) {
    for (auto& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<typename String::value_type>(c - 'A' + 'a');
    }
    return text;
}

// A file's bytes, mapped read-only: nothing of it is loaded or run.
class MappedFile {
  public:
    // Nothing when the file cannot be opened or mapped; `missing` tells whether it is not there.
    static std::optional<MappedFile> Open(const std::wstring& path, bool& missing) {
        MappedFile mapped;
        mapped.m_file.reset(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!mapped.m_file) {
            const DWORD error = GetLastError();
            missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        }
        missing = false;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(mapped.m_file.get(), &size) ||
            static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX / 2) {
            return std::nullopt;
        }
        if (size.QuadPart == 0) return mapped;  // nothing to map: no program file either
        mapped.m_mapping.reset(
            CreateFileMappingW(mapped.m_file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!mapped.m_mapping) return std::nullopt;
        mapped.m_view.reset(MapViewOfFile(mapped.m_mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (!mapped.m_view) return std::nullopt;
        mapped.m_size = static_cast<std::size_t>(size.QuadPart);
        return mapped;
    }

    std::span<const std::uint8_t> Bytes() const {
        return {static_cast<const std::uint8_t*>(m_view.get()), m_size};
    }

  private:
    MappedFile() = default;
    UniqueFile m_file;
    UniqueHandle m_mapping;
    UniqueMapView m_view;
    std::size_t m_size = 0;
};

bool IsApiSet(const std::string& lowerName) {
    for (const std::string_view prefix : kApiSetPrefixes) {
        if (lowerName.starts_with(prefix)) return true;
    }
    return false;
}

// The DLLs the system maps itself at start, from its own list: always present.
std::set<std::wstring> KnownDlls() {
    std::set<std::wstring> known;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKnownDllsKey, 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return known;
    }
    const UniqueRegKey key(opened);
    wchar_t name[kKnownNameChars];
    wchar_t value[kKnownValueBytes / sizeof(wchar_t)];
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = static_cast<DWORD>(std::size(name));
        DWORD bytes = kKnownValueBytes, type = 0;
        const LONG rc = RegEnumValueW(key.get(), index, name, &nameChars, nullptr, &type,
                                      reinterpret_cast<BYTE*>(value), &bytes);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        // A value written without its terminator has none: only its own bytes are read.
        std::wstring_view name(value, bytes / sizeof(wchar_t));
        name = name.substr(0, name.find(L'\0'));
        if (!name.empty()) known.insert(AsciiLower(std::wstring(name)));
    }
    return known;
}

// The processor the system runs on, as a program file names it.
std::uint16_t NativeMachine() {
    using Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    static const auto wow64Process2 =
        SystemFunction<Fn>(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2");
    USHORT process = 0, native = 0;
    if (wow64Process2 && wow64Process2(GetCurrentProcess(), &process, &native)) return native;
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
        case PROCESSOR_ARCHITECTURE_AMD64:
            return IMAGE_FILE_MACHINE_AMD64;
        case PROCESSOR_ARCHITECTURE_ARM64:
            return IMAGE_FILE_MACHINE_ARM64;
        default:
            return IMAGE_FILE_MACHINE_I386;
    }
}

// An x64 system runs x86 programs too, an ARM64 system both of those.
bool ProcessorRuns(const PeImage& image) {
    const std::uint16_t native = NativeMachine();
    switch (image.machine) {
        case PeMachine::X86:
            return true;
        case PeMachine::X64:
            return native == IMAGE_FILE_MACHINE_AMD64 || native == IMAGE_FILE_MACHINE_ARM64;
        case PeMachine::Arm64:
            return native == IMAGE_FILE_MACHINE_ARM64;
        case PeMachine::Other:
            break;
    }
    return false;
}

// Where the loader looks for a DLL that a program of one processor width imports: the program's
// folder, the system folder of that width, the Windows folder, then each folder of PATH. Seen
// from this process, the other width's system folder has another name.
class DllSearch {
  public:
    DllSearch(const std::wstring& targetFolder, bool target64Bit)
        : m_target64Bit(target64Bit), m_known(KnownDlls()) {
        using Fn = BOOL(WINAPI*)(PCSTR);
        m_apiSetImplemented =
            SystemFunction<Fn>(GetModuleHandleW(L"kernelbase.dll"), "IsApiSetImplemented");
        const std::wstring ownSystem = SystemDirectory();
        m_system = SystemDirectoryFor(target64Bit);
        const auto add = [this, &ownSystem](std::wstring folder) {
            // PATH names the system folder as this process sees it.
            if (!ownSystem.empty() && SameFileText(folder, ownSystem)) folder = m_system;
            if (!folder.empty()) m_folders.push_back(std::move(folder));
        };
        add(targetFolder);
        add(m_system);
        add(FilledPath(GetWindowsDirectoryW));
        const std::wstring path = FilledPath([](wchar_t* buffer, DWORD size) {
            return GetEnvironmentVariableW(kPathVariable, buffer, size);
        });
        for (std::size_t at = 0; at <= path.size();) {
            const std::size_t end = std::min(path.find(kPathSeparator, at), path.size());
            std::wstring folder = path.substr(at, end - at);
            while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
                folder.pop_back();
            }
            add(std::move(folder));
            at = end + 1;
        }
    }

    // True when the name (as written, and as the loader reads it) needs no file of its own: an
    // API set the system implements, or a DLL the system maps at start.
    bool Provided(const std::string& name, const std::wstring& wideName) const {
        const std::string lowerName = AsciiLower(name);
        if (IsApiSet(lowerName)) {
            std::string contract = lowerName;
            if (contract.ends_with(kDllSuffix))
                contract.resize(contract.size() - kDllSuffix.size());
            // Without the function (before Windows 10) the sets are files like any other.
            if (m_apiSetImplemented) return m_apiSetImplemented(contract.c_str()) != FALSE;
            return false;
        }
        return m_known.contains(AsciiLower(wideName));
    }

    // The first file of that name the loader would take for a program of this width: one of
    // the other processor width is passed over, as the loader passes it over. A file of the
    // system folder is that width's and is taken as it is, unread.
    std::optional<std::wstring> Find(const std::wstring& name, std::optional<MappedFile>& mapped,
                                     std::optional<PeImage>& image) const {
        mapped.reset();
        image.reset();
        for (const std::wstring& folder : m_folders) {
            std::wstring candidate = folder + L'\\' + name;
            const DWORD attributes = GetFileAttributesW(candidate.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                continue;
            }
            if (folder == m_system) return candidate;
            bool missing = false;
            mapped = MappedFile::Open(candidate, missing);
            image = mapped ? ReadPeImage(mapped->Bytes()) : std::nullopt;
            if (image && image->is64Bit != m_target64Bit) continue;
            return candidate;
        }
        return std::nullopt;
    }

    bool InSystemFolder(const std::wstring& file) const {
        const std::wstring_view folder(file.data(), file.find_last_of(L'\\'));
        return !m_system.empty() && SameFileText(folder, m_system);
    }

  private:
    bool m_target64Bit;
    // Read for each inspection: a static copy could go before a reading the window gave up on
    // ends, as the program exits.
    std::set<std::wstring> m_known;
    BOOL(WINAPI* m_apiSetImplemented)(PCSTR) = nullptr;
    std::wstring m_system;
    std::vector<std::wstring> m_folders;
};

// Every DLL the image needs at its load, and what those need in turn, each looked for once.
// The system's own DLLs are taken as whole: what they need is the system's.
void FindMissing(const PeImage& target, const DllSearch& search, const std::stop_token& stop,
                 TargetFacts& facts) {
    std::set<std::string> seen;
    std::deque<std::string> queue;
    const auto enqueue = [&](const PeImage& image) {
        for (const auto* names : {&image.imports, &image.forwardedTo}) {
            for (const std::string& name : *names) {
                if (seen.insert(AsciiLower(name)).second) queue.push_back(name);
            }
        }
    };
    enqueue(target);
    while (!queue.empty() && !stop.stop_requested()) {
        const std::string name = std::move(queue.front());
        queue.pop_front();
        // The loader reads a program file's names in the ANSI code page.
        std::wstring wide = FromAnsi(name);
        if (search.Provided(name, wide)) continue;
        std::optional<MappedFile> mapped;
        std::optional<PeImage> image;
        const auto file = search.Find(wide, mapped, image);
        if (!file) {
            facts.missing.push_back(std::move(wide));
        } else if (image && !search.InSystemFolder(*file)) {
            enqueue(*image);
        }
    }
    for (const std::string& name : target.delayImports) {
        if (stop.stop_requested()) break;
        std::optional<MappedFile> mapped;
        std::optional<PeImage> image;
        std::wstring wide = FromAnsi(name);
        if (!search.Provided(name, wide) && !search.Find(wide, mapped, image)) {
            facts.missingDelayLoaded.push_back(std::move(wide));
        }
    }
}

}  // namespace

TargetFacts InspectTarget(const std::wstring& path, const std::stop_token& stop) {
    TargetFacts facts;
    const std::wstring full = FullPathOf(path);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (full.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return facts;
    }
    bool missing = false;
    const std::optional<MappedFile> mapped = MappedFile::Open(full, missing);
    if (!mapped) {
        facts.file = missing ? TargetFacts::File::Missing : TargetFacts::File::Unreadable;
        return facts;
    }
    facts.file = TargetFacts::File::Found;
    facts.image = ReadPeImage(mapped->Bytes());
    if (!facts.image) return facts;
    facts.processorRuns = ProcessorRuns(*facts.image);
    const std::wstring folder = full.substr(0, full.find_last_of(L'\\'));
    FindMissing(*facts.image, DllSearch(folder, facts.image->is64Bit), stop, facts);
    return facts;
}

std::optional<PeMachine> ReadMachineOfFile(const std::wstring& path) {
    // The headers' start: linkers put the PE header within the first page; a long MS-DOS stub
    // may push it further, so more than that is read.
    constexpr DWORD kHeadBytes = 64 * 1024;
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<std::uint8_t> head(kHeadBytes);
    DWORD got = 0;
    if (!file || !ReadFile(file.get(), head.data(), kHeadBytes, &got, nullptr)) return std::nullopt;
    head.resize(got);
    return ReadPeMachine(head);
}

}  // namespace tolvar
