// Bad input to the running window: damaged history files, every kind of SDK root, strange
// targets. The window must open, answer, close, and save again every entry it could load.
#include "window_fixture.h"

#include <random>

namespace tolvar::testing {
namespace {

class BadInputTest : public WindowTest {
  protected:
    fs::path Ini() const { return m_dir.path() / "Tolvar.ini"; }
    std::string Good(const std::string& name) {
        const fs::path file = m_dir.path() / name;
        std::ofstream(file) << "x";
        return "[" + file.string() + "]\r\nFileName=" + name + "\r\n";
    }
    std::wstring GoodKey(const std::string& name) { return (m_dir.path() / name).wstring(); }

    // Opens, checks the window shows what it loaded, closes (saving), opens again: what the first
    // load found must come back, in the same order. Returns what was loaded.
    std::vector<std::wstring> RoundTrip() {
        Open();
        const auto first = Keys(Form().History());
        EXPECT_EQ(ListView_GetItemCount(Ctl(kHistoryList)), static_cast<int>(first.size()));
        EXPECT_EQ(Form().Text(), first.empty() ? L"" : first.front());
        Close();
        Open();
        EXPECT_EQ(Keys(Form().History()), first);
        DestroyWindow(m_hwnd);
        PumpMessages();
        return first;
    }
};

TEST_F(BadInputTest, DamagedHistoryFilesLoseNothingTheyCouldLoad) {
    std::mt19937 random(20261208);
    std::string noise(32 * 1024, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    const std::string longName = "[" + std::string(300000, 'n') + "]\r\nFileName=long\r\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> expected;  // entries that must load
    };
    const std::vector<Case> cases{
        {"random bytes", Good("a.dll") + noise + "\r\n" + Good("b.dll"), {"a.dll", "b.dll"}},
        {"NUL inside names and values",
         Good("a.dll") + "[C:\\x\0y.dll]\r\nFileName=x\0y\r\n" + Good("b.dll"),
         {"a.dll"}},
        // What follows a name longer than the read buffer can never be listed.
        {"a 300,000-character section name", Good("a.dll") + longName + Good("b.dll"), {"a.dll"}},
        {"unterminated [ lines",
         Good("a.dll") + "[C:\\open.dll\r\nFileName=x\r\n[\r\n" + Good("b.dll"),
         {"a.dll", "b.dll"}},
        {"keys before the first section",
         "FileName=orphan\r\nOther=1\r\n" + Good("a.dll"),
         {"a.dll"}},
        {"CR alone ends lines", Good("a.dll") + "[C:\\cr.dll]\rFileName=cr\r", {"a.dll"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(Ini(), std::ios::binary) << c.text;
        const auto loaded = RoundTrip();
        for (const auto& name : c.expected) {
            EXPECT_NE(std::find(loaded.begin(), loaded.end(), GoodKey(name)), loaded.end()) << name;
        }
    }
}

TEST_F(BadInputTest, AUtf16HistoryFileRoundTrips) {
    const std::string text = Good("a.dll") + Good("b.exe");
    std::wstring wide(text.begin(), text.end());
    std::ofstream out(Ini(), std::ios::binary);
    out.write("\xff\xfe", 2);
    out.write(reinterpret_cast<const char*>(wide.data()), std::streamsize(wide.size() * 2));
    out.close();
    EXPECT_EQ(RoundTrip(), (std::vector<std::wstring>{GoodKey("a.dll"), GoodKey("b.exe")}));
}

TEST_F(BadInputTest, AHistoryFileThatCannotBeOpenedOrWrittenStaysAsItWas) {
    // A directory in its place.
    fs::create_directories(Ini());
    EXPECT_TRUE(RoundTrip().empty());
    fs::remove(Ini());

    // Read-only: whatever the save does, it loses nothing.
    const std::string text = Good("a.dll") + Good("b.dll");
    std::ofstream(Ini(), std::ios::binary) << text;
    SetFileAttributesA(Ini().string().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RoundTrip().size(), 2u);
    SetFileAttributesA(Ini().string().c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held open without sharing by another program: nothing loads, nothing is written.
    std::ofstream(Ini(), std::ios::binary) << text;
    {
        const UniqueFile held(CreateFileA(Ini().string().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        RoundTrip();
    }
    EXPECT_EQ(ReadFile(Ini()), text);
}

TEST_F(BadInputTest, EveryKindOfSdkRootStillLoadsTheRest) {
    SetEnvironmentVariableA("TOLVAR_SELF", "%TOLVAR_SELF%x");
    const std::vector<std::pair<DWORD, std::string>> roots{
        {REG_SZ, std::string(64 * 1024, 'r') + '\0'},
        {REG_EXPAND_SZ, std::string("%TOLVAR_NO_SUCH_VARIABLE%\\") + '\0'},
        {REG_EXPAND_SZ, std::string("%TOLVAR_SELF%\\") + '\0'},
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {REG_BINARY, std::string("\1\2\3", 3)},
        {REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8)},
        {REG_NONE, ""},
        {REG_DWORD, std::string("\xff\xff\xff\xff", 4)},
    };
    std::ofstream(Ini(), std::ios::binary) << "[<Zelvo_ROOT>\\sdk.dll]\r\nFileName=sdk.dll\r\n"
                                           << Good("a.dll");
    for (const auto& [type, data] : roots) {
        SCOPED_TRACE(type);
        m_sdk.Set(type, data);
        Open();
        EXPECT_EQ(Keys(Form().History()).back(), GoodKey("a.dll"));
        DestroyWindow(m_hwnd);
        PumpMessages();
        m_sdk.Remove();
    }
    // A key that may not be read: the root is empty.
    m_sdk.Set(REG_SZ, std::string("C:\\") + '\0');
    SECURITY_DESCRIPTOR denyAll{};
    InitializeSecurityDescriptor(&denyAll, SECURITY_DESCRIPTOR_REVISION);
    ACL emptyAcl{};
    InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
    SetSecurityDescriptorDacl(&denyAll, TRUE, &emptyAcl, FALSE);
    RegSetKeySecurity(m_sdk.Key(), DACL_SECURITY_INFORMATION, &denyAll);
    Open();
    EXPECT_EQ(Keys(Form().History()).back(), GoodKey("a.dll"));
    SetSecurityDescriptorDacl(&denyAll, FALSE, nullptr, FALSE);
    RegSetKeySecurity(m_sdk.Key(), DACL_SECURITY_INFORMATION, &denyAll);
}

TEST_F(BadInputTest, StrangeTargetsAreStartedAsTypedAndKeptOncePerPath) {
    Open();
    // Each path as typed, and the command line it must start, exactly.
    const std::vector<std::pair<std::wstring, std::wstring>> cases{
        {L"C:\\with \"quotes\" inside.exe", L"\"C:\\with \"quotes\" inside.exe\" /Regserver"},
        {L"\"C:\\enclosed path.exe\"", L"\"C:\\enclosed path.exe\" /Regserver"},
        {L"C:\\a&b|c<d>e^f%PATH%.dll", L"Regsvr32 C:\\a&b|c<d>e^f%PATH%.dll"},
        {L"C:\\\x4E2D\x6587.dll", L"Regsvr32 C:\\\x4E2D\x6587.dll"},
        {L"  \r\n\"\"", L""},  // no path: nothing starts
        {std::wstring(259, L'p'), std::wstring(259, L'p') + L" /Regserver"},
        {std::wstring(260, L'p'), std::wstring(260, L'p') + L" /Regserver"},
        {std::wstring(32767, L'p'), std::wstring(32767, L'p') + L" /Regserver"},
        {std::wstring(40000, L'p'), std::wstring(40000, L'p') + L" /Regserver"}};
    for (const auto& [path, expected] : cases) {
        const std::size_t started = m_started.size();
        SetWindowTextW(Ctl(kFileBox), path.c_str());
        Press(kRegisterButton);
        ASSERT_EQ(m_started.size(), started + !expected.empty());
        if (!expected.empty()) {
            EXPECT_EQ(m_started.back().commandLine, expected);
        }
        if (!expected.empty()) {
            EXPECT_EQ(Form().History().Item(1).Key, Form().Text());
        }
    }
    EXPECT_EQ(Form().History().Count(), cases.size() - 1) << "blanks alone name no file";
    PumpMessages();
    // The list view shows even the longest path without trouble.
    char text[300] = {};
    ListView_GetItemText(Ctl(kHistoryList), 0, 1, text, sizeof text);
    EXPECT_EQ(strlen(text), sizeof text - 1);
    Close();
    Open();
}

// Each command's end is reported, and nothing stays open behind it: a handle kept per command
// would run out over a long session. Each waits for the one before on the same file to end.
TEST_F(BadInputTest, FiftyRealStartsInARowLeaveNoHandleOpen) {
    Open(false);
    const fs::path exe = TestDirectory() / "record_args.exe";
    const std::size_t before = OpenHandleCount();
    for (int i = 0; i < 50; ++i) {
        Register(exe.wstring(), L"record_args.exe", i % 2 ? kUnregisterButton : kRegisterButton);
        WaitUntilSettled();
    }
    EXPECT_EQ(Form().History().Count(), 1u);
    WaitUntilSettled();
    EXPECT_EQ(Form().RunningCommands(), 0u) << "every end was reported";
    EXPECT_LE(OpenHandleCount(), before + kWineHandleNoise);
}

}  // namespace
}  // namespace tolvar::testing
