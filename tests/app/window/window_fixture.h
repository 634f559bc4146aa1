// A real frmTolvar window in the test process, with the process start captured.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ansi.h"
#include "frmTolvar.h"
#include "test_support.h"

namespace tolvar::testing {

// How often a wait for the window looks again.
inline constexpr DWORD kPollMs = 10;

// The real Tolvar.exe, started with a command line, and its window's controls.
inline std::wstring WideTextOf(HWND hwnd) {
    wchar_t text[MAX_PATH * 2] = {};
    SendMessageW(hwnd, WM_GETTEXT, MAX_PATH * 2, reinterpret_cast<LPARAM>(text));
    return text;
}

inline std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

class RunningTolvar {
  public:
    explicit RunningTolvar(std::wstring commandLine) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process)) {
            m_thread.reset(process.hThread);
            m_process.reset(process.hProcess);
            window = MainWindowOf(process);
        }
        box = FindWindowExW(window, nullptr, L"Edit", nullptr);
        list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
        registerButton = FindWindowExW(window, nullptr, L"Button", L"Register");
    }
    // One left running by a failed check goes, so that its folder can.
    ~RunningTolvar() {
        if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.get(), 1);
            WaitForSingleObject(m_process.get(), kWaitMs);
        }
    }
    RunningTolvar(const RunningTolvar&) = delete;
    RunningTolvar& operator=(const RunningTolvar&) = delete;

    // Types into the box and presses Register as the user would: every step is posted, so they
    // arrive in order.
    void TypeAndRegister(const std::wstring& text) const {
        for (const wchar_t c : text) PostMessageW(box, WM_CHAR, c, 0);
        PostMessageW(registerButton, BM_CLICK, 0, 0);
    }
    // True when the program ended after the close.
    bool Close() const {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitForSingleObject(m_process.get(), kWaitMs) == WAIT_OBJECT_0;
    }

    HWND window = nullptr, box = nullptr, list = nullptr, registerButton = nullptr;

  private:
    UniqueHandle m_thread, m_process;
};

struct StartedCommand {
    std::optional<std::wstring> program;
    std::wstring commandLine;
    int showCommand;
};

// A captured command that runs until the window closes: a handle that never signals.
inline StartedProcess StillRunning() {
    return {UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)), ERROR_SUCCESS};
}

// Serves what is queued as the program's own loop would, Unicode and with the dialog manager.
inline void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (!top || !IsDialogMessageW(top, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{
            sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override {
        if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        PumpMessages();
    }

    // Creates and shows the window; `capture` false starts processes for real.
    frmTolvar& Open(bool capture = true) {
        frmTolvar::Options options;
        options.historyFile = m_dir.file("Tolvar.ini");
        options.sdkRoot = m_sdk.Source();
        options.quitOnDestroy = false;
        if (m_configure) m_configure(options);
        if (capture) {
            options.startProcess = [this](const std::optional<std::wstring>& program,
                                          const std::wstring& line, int show) {
                m_started.push_back({program, line, show});
                return StillRunning();
            };
        }
        m_hwnd = frmTolvar::Create(GetModuleHandleA(nullptr), std::move(options));
        if (!m_hwnd) throw std::runtime_error("the window could not be created");
        ShowWindow(m_hwnd, SW_SHOWNORMAL);
        UpdateWindow(m_hwnd);
        PumpMessages();
        return *frmTolvar::FromWindow(m_hwnd);
    }

    frmTolvar& Form() { return *frmTolvar::FromWindow(m_hwnd); }
    HWND Ctl(Control c) { return Form().ControlWindow(c); }

    // Types over the box's whole text, one character at a time, as the keyboard would: each
    // character is posted to the box and reaches it through the message queue.
    void Type(const std::wstring& text) {
        SendMessageW(Ctl(kFileBox), EM_SETSEL, 0, -1);
        SendMessageW(Ctl(kFileBox), WM_CLEAR, 0, 0);
        for (const wchar_t c : text) PostMessageW(Ctl(kFileBox), WM_CHAR, c, 0);
        PumpMessages();
    }
    // Closes the window as the user would, which saves the history.
    void Close() {
        SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
        PumpMessages();
        EXPECT_FALSE(IsWindow(m_hwnd));
    }
    void Press(Control button) {
        SendMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Ctl(button)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(Ctl(button)));
        PumpMessages();
    }
    // A target as the browse button leaves it, then Register or Unregister.
    void Register(const std::wstring& path, const std::wstring& title,
                  Control button = kRegisterButton) {
        Form().SetTarget(path, title);
        Press(button);
    }

    // Serves messages until every command has ended, the registry count after it and what the
    // target is are shown, or a while has passed.
    void WaitUntilSettled() {
        const ULONGLONG deadline = GetTickCount64() + kWaitMs;
        for (;;) {
            PumpMessages();
            if (Form().RunningCommands() == 0 && !Form().Counting() && !Form().Inspecting()) {
                return;
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                      QS_ALLINPUT);
        }
    }

    // Serves messages until no command runs, or a while has passed; the most that ran at once.
    std::size_t MostRunningUntilNoneRuns() {
        std::size_t most = 0;
        const ULONGLONG deadline = GetTickCount64() + kWaitMs;
        do {
            most = std::max(most, Form().RunningCommands());
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
            PumpMessages();
        } while (Form().RunningCommands() > 0 && GetTickCount64() < deadline);
        return most;
    }

    std::wstring ListText(int item, int column) {
        wchar_t buffer[512] = {};
        LVITEMW lv{};
        lv.iSubItem = column;
        lv.pszText = buffer;
        lv.cchTextMax = static_cast<int>(std::size(buffer));
        SendMessageW(Ctl(kHistoryList), LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
        return buffer;
    }

    TempDir m_dir;
    ScratchSdkKey m_sdk;
    HWND m_hwnd = nullptr;
    std::vector<StartedCommand> m_started;
    // Changes a test makes to the window's options before it opens.
    std::function<void(frmTolvar::Options&)> m_configure;
};

}  // namespace tolvar::testing
