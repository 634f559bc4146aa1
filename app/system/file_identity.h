// A file's identity, the same whichever of its names leads to it: long or 8.3, in any letter
// case.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "system_paths.h"
#include "win32_handles.h"

namespace tolvar {

struct FileId {
    DWORD volume, indexHigh, indexLow;
    bool operator==(const FileId&) const = default;
};

// Nothing when the file cannot be opened. Only its attributes are asked for, with every sharing
// mode, so that a running program or a file another process holds opens too.
inline std::optional<FileId> IdentityOf(const std::wstring& path) {
    const UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// The path with every 8.3 part in its long form; the path itself when the system cannot find it.
inline std::wstring LongPathOf(const std::wstring& path) {
    std::wstring full = FilledPath([&path](wchar_t* buffer, DWORD size) {
        return GetLongPathNameW(path.c_str(), buffer, size);
    });
    return full.empty() ? path : full;
}

// True when both paths name one file: by identity when both open, else by their long forms.
inline bool SameFile(const std::wstring& a, const std::wstring& b) {
    const auto first = IdentityOf(a);
    const auto second = first ? IdentityOf(b) : std::nullopt;
    if (first && second) return *first == *second;
    return SameFileText(LongPathOf(a), LongPathOf(b));
}

}  // namespace tolvar
