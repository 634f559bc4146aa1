#include "bench_win.h"

#include <windows.h>

#include <cstdio>
#include <utility>

#include "win32_handles.h"

namespace tolvar::bench {

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr ULONGLONG kAgeSeconds = 60;
constexpr ULONGLONG kFileTimeUnitsPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr int kCreateAttempts = 100;
// A program's image may be released a moment after it has ended.
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMs = 10;

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    if (const UniqueFind find(FindFirstFileA((dir + "\\*").c_str(), &data)); find) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                for (int attempt = 0; attempt < kDeleteAttempts && !DeleteFileA(path.c_str());
                     ++attempt) {
                    Sleep(kDeleteRetryMs);
                }
            }
        } while (FindNextFileA(find.get(), &data));
    }
    if (!RemoveDirectoryA(dir.c_str())) {
        std::fprintf(stderr, "cannot remove %s (error %lu)\n", dir.c_str(), GetLastError());
    }
}

}  // namespace

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / kMsPerSecond;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                       &written, nullptr) &&
                             written == bytes.size());
}

bool Age(const std::string& path) {
    const UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= kAgeSeconds * kFileTimeUnitsPerSecond;
    const FILETIME old{t.LowPart, t.HighPart};
    return SetFileTime(file.get(), &old, &old, &old) != FALSE;
}

bool WriteAged(const std::string& path, std::string_view bytes) {
    return WriteWholeFile(path, bytes) && Age(path);
}

std::optional<TempTree> TempTree::Create(std::string_view prefix) {
    char base[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n >= sizeof base) return std::nullopt;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string path = std::string(base) + std::string(prefix) +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (CreateDirectoryA(path.c_str(), nullptr)) return TempTree(std::move(path));
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
    }
    return std::nullopt;
}

TempTree::TempTree(std::string path) : path_(std::move(path)) {}

TempTree::TempTree(TempTree&& other) noexcept : path_(std::exchange(other.path_, {})) {}

TempTree::~TempTree() {
    if (!path_.empty()) RemoveTree(path_);
}

}  // namespace tolvar::bench
