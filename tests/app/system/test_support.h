// Helpers the window tests share: a temporary directory, whole files, the history's keys, a
// throw-away registry key, and finding another process's window.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ansi.h"
#include "design.h"
#include "history_list.h"
#include "history_store.h"
#include "win32_handles.h"

namespace tolvar::testing {

namespace fs = std::filesystem;

// How long a test waits for another program before it looks at what it has.
inline constexpr DWORD kWaitMs = 10000;

// A fresh directory under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    explicit TempDir(const std::string& name = "tolvar") {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        m_path =
            fs::path(base) / (name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount64()) + "-" + std::to_string(s_count++));
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    std::wstring file(const std::string& name) const { return (m_path / name).wstring(); }

  private:
    static inline int s_count = 0;
    fs::path m_path;
};

// Where the test programs and the fixtures lie.
inline fs::path TestDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return fs::path(path).parent_path();
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void Touch(const fs::path& path) {
    WriteFile(path, "x");
}

// Wine stores a name outside the ANSI code page on the Unix side only under a UTF-8 locale.
inline constexpr char kNoUnicodeNames[] =
    "this Wine cannot make a folder named outside the ANSI code page; run under a UTF-8 locale "
    "(LC_ALL=C.UTF-8)";

// Makes the folder and those above it; false where the system cannot store its name.
inline bool MakeFolders(const fs::path& dir) {
    std::error_code error;
    return fs::create_directories(dir, error) || fs::is_directory(dir, error);
}

inline std::vector<std::wstring> Keys(const HistoryList& list) {
    std::vector<std::wstring> keys;
    for (std::size_t i = 1; i <= list.Count(); ++i) keys.push_back(list.Item(i).Key);
    return keys;
}

// A throw-away key under HKEY_CURRENT_USER\Software in place of the SDK's key: made at the first
// value set, removed with everything below it when the test ends.
class ScratchSdkKey {
  public:
    ScratchSdkKey()
        : m_path("Software\\TolvarTest-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(s_count++)) {}
    ~ScratchSdkKey() { Remove(); }
    ScratchSdkKey(const ScratchSdkKey&) = delete;
    ScratchSdkKey& operator=(const ScratchSdkKey&) = delete;

    SdkRootSource Source() const {
        return {HKEY_CURRENT_USER, FromAnsi(m_path), std::wstring(kSdkRootValue)};
    }
    HKEY Key() {
        if (!m_key) {
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
            m_key.reset(key);
        }
        return m_key.get();
    }
    void Set(DWORD type, const std::string& bytes) {
        RegSetValueExA(Key(), ToAnsi(kSdkRootValue).c_str(), 0, type,
                       reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    }
    void SetText(const std::string& text, DWORD type = REG_SZ) {
        Set(type, text + std::string(1, '\0'));
    }
    // Through the wide function: every character as it is.
    void SetText(const std::wstring& text) {
        RegSetValueExW(Key(), std::wstring(kSdkRootValue).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    // The key and everything below it go; a later Set makes it anew.
    void Remove() {
        m_key.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, m_path.c_str());
    }

  private:
    static inline int s_count = 0;
    std::string m_path;
    UniqueRegKey m_key;
};

// The handles this process holds, from the system's list of every open handle
// (GetProcessHandleCount answers 0 under Wine).
// What the count may grow by without a handle of Tolvar's: Wine's thread pool keeps an event for
// each thread it starts, one for the waits on commands and one for the background readings, from
// their first use until they have been idle a while (seen as up to two Event handles).
inline constexpr std::size_t kWineHandleNoise = 2;

inline std::size_t OpenHandleCount() {
    constexpr ULONG kSystemHandleInformation = 16;
    struct Entry {
        ULONG process;
        BYTE type, flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<std::uint8_t> buffer(1 << 20);
    ULONG needed = 0;
    while (query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &needed) != 0) {
        if (buffer.size() >= (1u << 28)) return 0;
        buffer.resize(buffer.size() * 4);
    }
    const auto& table = *reinterpret_cast<const Table*>(buffer.data());
    std::size_t count = 0;
    for (ULONG i = 0; i < table.count; ++i) {
        count += table.entries[i].process == GetCurrentProcessId();
    }
    return count;
}

struct WindowSearch {
    DWORD process;
    HWND window;
};

inline BOOL CALLBACK FindVisibleWindowOf(HWND hwnd, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search.process || !IsWindowVisible(hwnd)) return TRUE;
    search.window = hwnd;
    return FALSE;
}

// The first visible top-level window of a process, once the process waits for input.
inline HWND MainWindowOf(const PROCESS_INFORMATION& process) {
    // The window is made and shown before the program's message loop first waits.
    WaitForInputIdle(process.hProcess, kWaitMs);
    WindowSearch search{process.dwProcessId, nullptr};
    EnumWindows(&FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

// Waits until the file holds the expected text, or a while has passed; returns what it holds.
// Started programs run on their own and Tolvar keeps no handle to them, so the wait is on the
// file's directory: each change wakes it to look again.
inline std::string WaitForFile(const fs::path& path, const std::string& expected) {
    const UniqueChangeNotification change(FindFirstChangeNotificationW(
        path.parent_path().c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE));
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    for (;;) {
        std::string text = ReadFile(path);
        const ULONGLONG now = GetTickCount64();
        if (text == expected || now >= deadline || !change) return text;
        // Messages are served meanwhile: the window under test may be the one working.
        const HANDLE handle = change.get();
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(deadline - now),
                                      QS_ALLINPUT) == WAIT_OBJECT_0) {
            FindNextChangeNotification(change.get());
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
}

}  // namespace tolvar::testing
