// Several real Tolvar.exe processes open on one history file at the same time.
#include <windows.h>

#include <gtest/gtest.h>

#include "test_support.h"

namespace tolvar::testing {
namespace {

constexpr wchar_t kRegisterCaption[] = L"Register";
constexpr char kRegisterSwitch[] = " /Regserver";

// Tolvar.exe started without arguments, so that it opens a window of its own, and driven as the
// user would drive it.
class StartedTolvar {
  public:
    explicit StartedTolvar(const fs::path& exe) {
        std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process)) {
            m_thread.reset(process.hThread);
            m_process.reset(process.hProcess);
            m_window = MainWindowOf(process);
        }
    }
    // One left running by a failed check goes, so that its folder can.
    ~StartedTolvar() {
        if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.get(), 1);
            WaitForSingleObject(m_process.get(), kWaitMs);
        }
    }
    StartedTolvar(const StartedTolvar&) = delete;
    StartedTolvar& operator=(const StartedTolvar&) = delete;

    bool Shown() const { return m_window != nullptr; }
    // Types the path into the box and presses Register: every step is posted, so they arrive in
    // order.
    void Register(const fs::path& path) const {
        const HWND box = FindWindowExW(m_window, nullptr, L"Edit", nullptr);
        for (const wchar_t c : path.wstring()) PostMessageW(box, WM_CHAR, c, 0);
        PostMessageW(FindWindowExW(m_window, nullptr, L"Button", kRegisterCaption), BM_CLICK, 0, 0);
    }
    // True when the program ended after the close.
    bool Close() const {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        return WaitForSingleObject(m_process.get(), kWaitMs) == WAIT_OBJECT_0;
    }

  private:
    UniqueHandle m_thread, m_process;
    HWND m_window = nullptr;
};

// Two Tolvars of one folder, each registering an EXE server of its own (the fixture that records
// its command line), then closed one after the other: the history holds both, the last one's on
// top.
TEST(ManyTolvars, EachCloseKeepsWhatTheOtherSaved) {
    const TempDir dir;
    const fs::path servers[] = {dir.path() / "first.exe", dir.path() / "second.exe"};
    fs::copy_file(TestDirectory() / "Tolvar.exe", dir.path() / "Tolvar.exe");
    for (const fs::path& server : servers) {
        fs::copy_file(TestDirectory() / "record_args.exe", server);
    }
    const StartedTolvar first(dir.path() / "Tolvar.exe"), second(dir.path() / "Tolvar.exe");
    ASSERT_TRUE(first.Shown() && second.Shown());
    first.Register(servers[0]);
    second.Register(servers[1]);
    for (const fs::path& server : servers) {
        const std::string started = server.string() + kRegisterSwitch;
        EXPECT_EQ(WaitForFile(server.string() + ".cmdline", started), started);
    }
    ASSERT_TRUE(second.Close());
    ASSERT_TRUE(first.Close());

    HistoryList saved;
    LoadHistory((dir.path() / "Tolvar.ini").wstring(), ScratchSdkKey().Source(), saved);
    EXPECT_EQ(Keys(saved), (std::vector<std::wstring>{servers[0].wstring(), servers[1].wstring()}));
}

}  // namespace
}  // namespace tolvar::testing
