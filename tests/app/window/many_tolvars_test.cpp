// Several real Tolvar.exe processes open on one history file at the same time.
#include <windows.h>

#include <gtest/gtest.h>

#include "window_fixture.h"

namespace tolvar::testing {
namespace {

constexpr char kRegisterSwitch[] = " /Regserver";

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
    // Started without arguments, each opens a window of its own.
    const std::wstring tolvar = L"\"" + (dir.path() / "Tolvar.exe").wstring() + L"\"";
    const RunningTolvar first(tolvar), second(tolvar);
    ASSERT_TRUE(first.window && second.window);
    first.TypeAndRegister(servers[0].wstring());
    second.TypeAndRegister(servers[1].wstring());
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
