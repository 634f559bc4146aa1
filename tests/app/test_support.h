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

namespace tolvar::testing {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    explicit TempDir(const std::string& name = "tolvar") {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        m_path = fs::path(base) / (name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount64()) + "-" +
                                   std::to_string(s_count++));
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
            RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &m_key, nullptr);
        }
        return m_key;
    }
    void Set(DWORD type, const std::string& bytes) {
        RegSetValueExA(Key(), ToAnsi(kSdkRootValue).c_str(), 0, type,
                       reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    }
    void SetText(const std::string& text, DWORD type = REG_SZ) {
        Set(type, text + std::string(1, '\0'));
    }
    // The key and everything below it go; a later Set makes it anew.
    void Remove() {
        if (m_key) RegCloseKey(std::exchange(m_key, nullptr));
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, m_path.c_str());
    }

  private:
    static inline int s_count = 0;
    std::string m_path;
    HKEY m_key = nullptr;
};

// The first visible top-level window of a process, once the process waits for input.
inline HWND MainWindowOf(const PROCESS_INFORMATION& process) {
    struct Search {
        DWORD process;
        HWND window;
    } search{process.dwProcessId, nullptr};
    const auto visit = [](HWND hwnd, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s.process || !IsWindowVisible(hwnd)) return TRUE;
        s.window = hwnd;
        return FALSE;
    };
    // The window is made and shown before the program's message loop first waits.
    WaitForInputIdle(process.hProcess, 10000);
    EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

}  // namespace tolvar::testing
