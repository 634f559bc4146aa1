// Register and Unregister starting real programs: Wine's regsvr32 on a small COM server, and an
// EXE server that records its command line. Also the real file dialog.
#include "window_fixture.h"

#include <fstream>

#include "../../fixtures/fixture_file.h"
#include "design.h"
#include "elevation.h"
#include "explorer_verbs.h"
#include "pe_builder.h"
#include "target_list.h"
#include "win32_handles.h"

namespace tolvar::testing {
namespace {

class EndToEndTest : public WindowTest {
  protected:
    // The test server's class goes, whatever a test left registered.
    void TearDown() override {
        WindowTest::TearDown();
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            RegDeleteKeyExW(HKEY_CURRENT_USER,
                            (std::wstring(fixture::kTestClassKey) + fixture::kServerSubKey).c_str(),
                            view, 0);
            RegDeleteKeyExW(HKEY_CURRENT_USER, fixture::kTestClassKey, view, 0);
        }
    }
    // The fixtures copied into a fresh directory, whose name may hold a blank.
    fs::path Stage(const std::string& directoryName) {
        const fs::path dir = m_dir.path() / directoryName;
        fs::create_directories(dir);
        for (auto name : {"testcom.dll", "record_args.exe"}) {
            fs::copy_file(TestDirectory() / name, dir / name);
        }
        return dir;
    }
};

TEST_F(EndToEndTest, RegsvrRegistersAndUnregistersADll) {
    Open(false);
    for (auto name : {"plain", "with blank"}) {
        const fs::path dll = Stage(name) / "testcom.dll";
        const fs::path log = dll.string() + ".log";
        Register(dll.wstring(), L"testcom.dll");
        EXPECT_EQ(WaitForFile(log, "register\n"), "register\n") << name;
        Register(dll.wstring(), L"testcom.DLL", kUnregisterButton);
        EXPECT_EQ(WaitForFile(log, "register\nunregister\n"), "register\nunregister\n") << name;
        EXPECT_EQ(Form().History().Item(1).Key, dll.wstring());
        EXPECT_EQ(Form().History().Item(1).Text, L"testcom.DLL");
    }
    EXPECT_EQ(Form().History().Count(), 2u);
}

// The status line for each kind of outcome, from the real regsvr32 and a real EXE server.
TEST_F(EndToEndTest, TheStatusBarSaysWhatEachCommandDid) {
    const fs::path dir = Stage("outcome");
    const fs::path dll = dir / "testcom.dll", exe = dir / "record_args.exe";
    fs::copy_file(TestDirectory() / "noexport.dll", dir / "noexport.dll");
    WriteFile(dir / "text.dll", "This is no program.\r\n");
    Open(false);
    const auto run = [&](const fs::path& file, Control button = kRegisterButton) {
        Register(file.wstring(), file.filename().wstring(), button);
        WaitUntilSettled();
        return Form().StatusText();
    };
    // The start of a line whose end depends on the system: the registry views, the system's text.
    const auto start = [](const std::wstring& line, std::wstring_view expected) {
        return line.substr(0, expected.size());
    };
    EXPECT_EQ(start(run(dll), L"testcom.dll registered for you only: 1 class ("),
              L"testcom.dll registered for you only: 1 class (");
    EXPECT_EQ(ListText(0, 2), L"Registered");
    EXPECT_EQ(run(dll, kUnregisterButton), L"testcom.dll unregistered: no class names it any more");
    // The file and the cause lead; the exit code ends the line.
    const auto ends = [](const std::wstring& line, std::wstring_view expected) {
        return line.ends_with(expected);
    };
    const std::wstring text = run(dir / "text.dll");
    EXPECT_EQ(start(text, L"text.dll: "), L"text.dll: ");
    EXPECT_TRUE(ends(text, L" (exit code 3)")) << text;
    EXPECT_EQ(ListText(0, 2), L"Failed (3)");
    EXPECT_EQ(run(dir / "noexport.dll"),
              L"noexport.dll: it has no DllRegisterServer (exit code 4)");
    Touch(dll.wstring() + fixture::kFailSuffix);
    // Run without administrator rights, the failure names the ways out; Wine runs every program
    // of its administrator user elevated.
    const bool elevated = RunsElevated();
    EXPECT_EQ(run(dll), std::wstring(L"testcom.dll: its own registration failed (exit code 5)") +
                            (elevated ? L"" : L"; try For me only, or As administrator"));
    Touch(exe.wstring() + fixture::kFailSuffix);
    const std::wstring failed = run(exe);
    EXPECT_EQ(start(failed, L"record_args.exe: "), L"record_args.exe: ");
    EXPECT_TRUE(ends(failed, std::wstring(L" (exit code 0x80070005)") +
                                 (elevated ? L"" : L"; try As administrator")))
        << failed;
    EXPECT_GT(failed.size(), 48u) << "the system's text for the HRESULT stands between";
    EXPECT_EQ(ListText(0, 2), L"Failed (0x80070005)");
}

// Commands on different files run side by side; a close while they run waits for none and
// leaves no handle open.
TEST_F(EndToEndTest, ACloseWhileCommandsRunIsPromptAndLeavesNothingOpen) {
    const fs::path dir = Stage("slow");
    constexpr std::size_t kCommands = 20;
    std::vector<fs::path> servers;
    for (std::size_t i = 0; i < kCommands; ++i) {
        servers.push_back(dir / ("s" + std::to_string(i) + ".exe"));
        fs::copy_file(dir / "record_args.exe", servers.back());
        Touch(servers.back().wstring() + fixture::kWaitSuffix);
    }
    Open(false);
    const std::size_t handles = OpenHandleCount();
    for (const fs::path& exe : servers) Register(exe.wstring(), exe.filename().wstring());
    EXPECT_EQ(Form().RunningCommands(), kCommands);
    EXPECT_EQ(ListText(0, 2), L"Running\u2026");
    EXPECT_EQ(Form().StatusText(), L"Registering s19.exe\u2026");
    const ULONGLONG start = GetTickCount64();
    Close();
    EXPECT_LT(GetTickCount64() - start, 2000u);
    EXPECT_LE(OpenHandleCount(), handles + kWineHandleNoise);
    for (const fs::path& exe : servers) fs::remove(exe.wstring() + fixture::kWaitSuffix);
}

// What a file is shows before anything runs, and tells why regsvr32 could not load it.
TEST_F(EndToEndTest, TheTargetIsReadBeforeItRuns) {
    const fs::path dir = Stage("inspect");
    testing::PeBuilder crafted;
    crafted.machine = sizeof(void*) == 8 ? pe::kMachineX64 : pe::kMachineX86;
    crafted.pe32Plus = sizeof(void*) == 8;
    crafted.exports = {{"DllRegisterServer", ""}};
    crafted.imports = {"tolvar-nowhere.dll"};
    const std::vector<std::uint8_t> image = crafted.Build();
    WriteFile(dir / "needs.dll", std::string(image.begin(), image.end()));
    WriteFile(dir / "text.dll", "This is no program.\r\n");
    // A crafted file that needs 200 DLLs of 400-character names found nowhere.
    crafted.imports.clear();
    for (int i = 0; i < 200; ++i)
        crafted.imports.push_back(std::to_string(1000 + i) + std::string(396, 'x'));
    const std::vector<std::uint8_t> greedy = crafted.Build();
    WriteFile(dir / "greedy.dll", std::string(greedy.begin(), greedy.end()));
    Open(false);
    const std::wstring bits = sizeof(void*) == 8 ? L"64-bit" : L"32-bit";
    const auto inspect = [&](const fs::path& file) {
        Form().SetTarget(file.wstring(), file.filename().wstring());
        WaitUntilSettled();
        return Form().StatusText(frmTolvar::StatusPart::Target);
    };
    EXPECT_EQ(inspect(dir / "testcom.dll"), bits + L" DLL \u00B7 registers itself");
    EXPECT_EQ(inspect(dir / "text.dll"), L"not a program file");
    // The window survives it, naming a few and counting the rest.
    const std::wstring greedyLine = inspect(dir / "greedy.dll");
    EXPECT_TRUE(greedyLine.ends_with(L"x and 197 more (" + bits + L") \u00B7 " + bits +
                                     L" DLL \u00B7 registers itself"))
        << greedyLine.substr(0, 80);
    EXPECT_LT(greedyLine.size(), 1300u);
    EXPECT_EQ(inspect(dir / "needs.dll"), L"missing: tolvar-nowhere.dll (" + bits + L") \u00B7 " +
                                              bits + L" DLL \u00B7 registers itself");
    Press(kRegisterButton);
    WaitUntilSettled();
    EXPECT_EQ(Form().StatusText(), L"needs.dll: missing tolvar-nowhere.dll (exit code 3)");
}

TEST_F(EndToEndTest, TypedPathsAndOcxControlsReachRegsvr32) {
    const fs::path dir = Stage("typed");
    const fs::path dll = dir / "testcom.dll", ocx = dir / "testctl.ocx";
    fs::copy_file(dll, ocx);
    Open(false);
    // A first start: nothing picked, a path typed.
    Type(dll.wstring());
    Press(kRegisterButton);
    EXPECT_EQ(WaitForFile(dll.string() + ".log", "register\n"), "register\n");
    // After a pick of an EXE entry, a DLL path typed over it.
    Register((dir / "record_args.exe").wstring(), L"record_args.exe");
    Form().lstHistory_ItemClick(1);
    Type(dll.wstring());
    Press(kUnregisterButton);
    EXPECT_EQ(WaitForFile(dll.string() + ".log", "register\nunregister\n"),
              "register\nunregister\n");
    // An OCX control is an in-process server too.
    Type(ocx.wstring());
    Press(kRegisterButton);
    EXPECT_EQ(WaitForFile(ocx.string() + ".log", "register\n"), "register\n");
    Press(kUnregisterButton);
    EXPECT_EQ(WaitForFile(ocx.string() + ".log", "register\nunregister\n"),
              "register\nunregister\n");
}

TEST_F(EndToEndTest, PathsOutsideTheAnsiCodePageAreRegisteredAndKeptExactly) {
    const fs::path plain = Stage("plain") / "testcom.dll";
    std::vector<fs::path> servers;
    for (const wchar_t* folder : {L"\x041A\x0438\x0440\x0438\x043B\x043B\x0438\x0446\x0430",
                                  L"\x4E2D\x6587 \x76EE\x5F55"}) {
        const fs::path dir = m_dir.path() / folder;
        if (!MakeFolders(dir)) GTEST_SKIP() << kNoUnicodeNames;
        fs::copy_file(plain, dir / "testcom.dll");
        servers.push_back(dir / "testcom.dll");
    }
    const fs::path ini = m_dir.path() / "Tolvar.ini";
    Open(false);
    Type(plain.wstring());
    Press(kRegisterButton);
    Close();
    EXPECT_FALSE(ReadFile(ini).starts_with("\xFF\xFE")) << "ANSI while every entry fits";

    Open(false);
    for (const fs::path& server : servers) {
        Type(server.wstring());
        Press(kRegisterButton);
        EXPECT_EQ(WaitForFile(server.wstring() + L".log", "register\n"), "register\n");
    }
    Close();
    Open(false);
    EXPECT_EQ(
        Keys(Form().History()),
        (std::vector<std::wstring>{servers[1].wstring(), servers[0].wstring(), plain.wstring()}));
    EXPECT_EQ(Form().Text(), servers[1].wstring());
}

TEST_F(EndToEndTest, AnExeServerReceivesItsSwitchAsOneQuotedPath) {
    Open(false);
    for (auto name : {"plain", "with blank"}) {
        const fs::path exe = Stage(name) / "record_args.exe";
        const fs::path record = exe.string() + ".cmdline";
        const std::string quoted =
            std::string(name) == "plain" ? exe.string() : "\"" + exe.string() + "\"";
        Register(exe.wstring(), L"record_args.exe");
        EXPECT_EQ(WaitForFile(record, quoted + " /Regserver"), quoted + " /Regserver");
        fs::remove(record);
        Register(exe.wstring(), L"record_args.exe", kUnregisterButton);
        EXPECT_EQ(WaitForFile(record, quoted + " /Unregserver"), quoted + " /Unregserver");
    }
}

TEST_F(EndToEndTest, APlantedRegsvr32InTheCurrentDirectoryNeverRuns) {
    const fs::path dir = Stage("planted");
    fs::copy_file(dir / "record_args.exe", dir / "regsvr32.exe");
    fs::copy_file(dir / "record_args.exe", dir / "Regsvr32.exe.exe");
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(dir.string().c_str());
    Open(false);
    Register((dir / "testcom.dll").wstring(), L"testcom.dll");
    EXPECT_EQ(WaitForFile(dir / "testcom.dll.log", "register\n"), "register\n");
    SetCurrentDirectoryA(previous);
    EXPECT_FALSE(fs::exists(dir / "regsvr32.exe.cmdline"));
}

// The file dialog, answered from a timer that runs inside its modal loop.
struct DialogScript {
    std::string fileToChoose;  // empty: cancel
    bool selectAll = false;    // every file in the list instead, as Ctrl+A selects them
    std::string title;
    std::vector<std::string> filters;
    bool done = false;
};
DialogScript* g_script = nullptr;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA("#32770", nullptr);
    if (!dialog || !g_script || g_script->done) return;
    g_script->done = true;
    KillTimer(nullptr, timer);
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    g_script->title = title;
    constexpr int kFileTypes = 0x470, kFileNameCombo = 0x47c, kFileNameEdit = 0x480;
    HWND types = GetDlgItem(dialog, kFileTypes);
    for (int i = 0, n = int(SendMessageA(types, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        char item[128] = {};
        SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        g_script->filters.push_back(item);
    }
    if (SendMessageA(types, CB_GETCURSEL, 0, 0) != 0) g_script->filters.push_back("not first");
    if (g_script->selectAll) {
        const HWND view = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
        const HWND files = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
        ListView_SetItemState(files, -1, LVIS_SELECTED, LVIS_SELECTED);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return;
    }
    if (g_script->fileToChoose.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SetDlgItemTextA(dialog, kFileNameCombo, g_script->fileToChoose.c_str());
    SetDlgItemTextA(dialog, kFileNameEdit, g_script->fileToChoose.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(EndToEndTest, BrowsePutsTheChosenPathAndTitleInTheBoxAndCancelChangesNothing) {
    const fs::path dll = Stage("browse") / "testcom.dll";
    Open();
    DialogScript script;
    script.fileToChoose = dll.string();
    g_script = &script;
    SetTimer(nullptr, 0, 50, &AnswerDialog);
    Press(kBrowseButton);
    EXPECT_EQ(script.title, "Open File");
    EXPECT_EQ(script.filters, (std::vector<std::string>{"Exe Files (*.exe)", "DLL Files (*.dll)"}));
    EXPECT_EQ(Form().Text(), dll.wstring());
    EXPECT_EQ(Form().Tag(), L"testcom.dll");

    Type(L"C:\\typed.exe");
    DialogScript cancel;
    g_script = &cancel;
    SetTimer(nullptr, 0, 50, &AnswerDialog);
    Press(kBrowseButton);
    g_script = nullptr;
    EXPECT_TRUE(cancel.done);
    EXPECT_EQ(Form().Text(), L"C:\\typed.exe");
    EXPECT_EQ(Form().Tag(), L"typed.exe");
}

std::string WindowTextOf(HWND hwnd) {
    char text[MAX_PATH * 2] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(EndToEndTest, TolvarExeStartsWithItsPrunedHistoryAndSavesItAtClose) {
    const fs::path dir = Stage("app dir");
    fs::copy_file(TestDirectory() / "Tolvar.exe", dir / "Tolvar.exe");
    std::ofstream(dir / "present.exe") << "not a program";
    fs::create_directories(dir / "folder.ocx");
    const std::string dll = (dir / "testcom.dll").string(), exe = (dir / "present.exe").string();
    std::ofstream(dir / "Tolvar.ini", std::ios::binary)
        << "[" << (dir / "gone.dll").string() << "]\r\nFileName=gone.dll\r\n"
        << "[" << dll << "]\r\nFileName=testcom.dll\r\n"
        << "[" << (dir / "folder.ocx").string() << "]\r\nFileName=folder.ocx\r\n"
        << "[" << exe << "]\r\nFileName=present.exe\r\n";

    const RunningTolvar tolvar(Quoted(dir / "Tolvar.exe"));
    ASSERT_NE(tolvar.window, nullptr);
    EXPECT_EQ(WindowTextOf(tolvar.box), dll) << "the top entry left after pruning";
    EXPECT_EQ(SendMessageA(tolvar.list, LVM_GETITEMCOUNT, 0, 0), 2);

    SendMessageA(tolvar.registerButton, BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForFile(dll + ".log", "register\n"), "register\n");
    // The last entry, picked with the keyboard, then registered: it moves to the top.
    SendMessageA(tolvar.list, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(WindowTextOf(tolvar.box), exe);
    SendMessageA(tolvar.registerButton, BM_CLICK, 0, 0);

    ASSERT_TRUE(tolvar.Close());
    EXPECT_EQ(ReadFile(dir / "Tolvar.ini"),
              "[" + exe + "]\r\nFileName=present.exe\r\n[" + dll + "]\r\nFileName=testcom.dll\r\n");
}

// Installed in a folder the ANSI code page cannot name, Tolvar keeps its history beside itself.
TEST_F(EndToEndTest, TolvarExeInAFolderOutsideTheAnsiCodePageKeepsItsHistory) {
    const fs::path dir = m_dir.path() / L"\x0418\x0432\x0430\x043D \x5DE5\x5177";
    if (!MakeFolders(dir)) GTEST_SKIP() << kNoUnicodeNames;
    for (auto name : {"Tolvar.exe", "testcom.dll"}) {
        fs::copy_file(TestDirectory() / name, dir / name);
    }
    const fs::path dll = dir / "testcom.dll";
    {
        const RunningTolvar tolvar(Quoted(dir / "Tolvar.exe"));
        ASSERT_NE(tolvar.window, nullptr);
        tolvar.TypeAndRegister(dll.wstring());
        EXPECT_EQ(WaitForFile(dll.wstring() + L".log", "register\n"), "register\n");
        ASSERT_TRUE(tolvar.Close());
    }
    EXPECT_TRUE(fs::exists(dir / "Tolvar.ini"));
    const RunningTolvar again(Quoted(dir / "Tolvar.exe"));
    EXPECT_EQ(WideTextOf(again.box), dll.wstring());
    EXPECT_TRUE(again.Close());
}

// A selection longer than the dialog's buffer is kept whole: the buffer grows as the user
// selects, rather than the dialog opening again empty.
TEST_F(EndToEndTest, ASelectionLongerThanTheDialogsBufferIsKept) {
    const fs::path dir = m_dir.path() / "many";
    fs::create_directories(dir);
    constexpr std::size_t kFiles = 180;
    const std::string stem(180, 'x');
    for (std::size_t i = 0; i < kFiles; ++i) {
        WriteFile(dir / (stem + std::to_string(1000 + i) + ".exe"), "");
    }
    ASSERT_GT(kFiles * (stem.size() + 10), kDialogSelectionChars);
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.c_str());  // where the dialog opens
    Open(false);
    DialogScript script;
    script.selectAll = true;
    g_script = &script;
    SetTimer(nullptr, 0, 50, &AnswerDialog);
    Press(kBrowseButton);
    g_script = nullptr;
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(ParseTargets(Form().Text()).size(), kFiles);
}

// A run of several targets picked together in the dialog: each starts once the one before has
// ended, each gets its entry in the order given, and the summary names the one that failed.
TEST_F(EndToEndTest, SeveralPickedTogetherRegisterInTurn) {
    const fs::path dir = Stage("batch");
    for (auto name : {"a.dll", "b.dll", "c.dll"}) fs::copy_file(dir / "testcom.dll", dir / name);
    Touch(dir / "b.dll.fail");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.c_str());  // where the dialog opens
    Open(false);
    DialogScript script;
    script.fileToChoose = "\"a.dll\" \"b.dll\" \"c.dll\"";
    g_script = &script;
    SetTimer(nullptr, 0, 50, &AnswerDialog);
    Press(kBrowseButton);
    g_script = nullptr;
    SetCurrentDirectoryW(previous);
    const std::vector<std::wstring> picked{(dir / "a.dll").wstring(), (dir / "b.dll").wstring(),
                                           (dir / "c.dll").wstring()};
    EXPECT_EQ(Form().Text(), JoinTargets(picked));

    Press(kRegisterButton);
    EXPECT_EQ(MostRunningUntilNoneRuns(), 1u) << "one command at a time";
    EXPECT_EQ(Form().StatusText(),
              L"b.dll: its own registration failed (exit code 5); 2 of 3 registered");
    EXPECT_EQ(ReadFile(dir / "a.dll.log"), "register\n");
    EXPECT_EQ(ReadFile(dir / "c.dll.log"), "register\n");
    EXPECT_EQ(Keys(Form().History()), picked);
    EXPECT_EQ(ListText(1, 2), L"Failed (5)");
    EXPECT_EQ(ListText(2, 2), L"Registered");
}

// A run replaced while it runs, by a single command and by another run: its remaining targets
// never start, the commands on one file never overlap, and the summary is the new run's.
TEST_F(EndToEndTest, AReplacedRunStartsNothingMoreAndNoFileRunsTwiceAtOnce) {
    const fs::path dir = Stage("replaced");
    const fs::path s1 = dir / "s1.exe", s2 = dir / "s2.exe";
    fs::copy_file(dir / "record_args.exe", s1);
    fs::copy_file(dir / "record_args.exe", s2);
    const auto recorded = [](const fs::path& server) {
        return ReadFile(server.wstring() + L".cmdline");
    };
    Open(false);
    // Both registered, then the replacing command while s1's register still runs.
    const auto replace = [&](const std::vector<std::wstring>& second) {
        fs::remove(s1.wstring() + L".cmdline");
        fs::remove(s2.wstring() + L".cmdline");
        const std::wstring wait = s1.wstring() + fixture::kWaitSuffix;
        Touch(wait);
        Form().SetTargets({s1.wstring(), s2.wstring()});
        Press(kRegisterButton);
        Form().SetTargets(second);
        Press(kUnregisterButton);
        const std::size_t before = Form().RunningCommands();
        fs::remove(wait);
        const std::size_t together = std::max(before, MostRunningUntilNoneRuns());
        WaitUntilSettled();
        return together;
    };
    EXPECT_EQ(replace({s1.wstring()}), 1u) << "s1's unregister waited for its register";
    EXPECT_TRUE(recorded(s1).ends_with(" /Unregserver")) << recorded(s1);
    EXPECT_EQ(recorded(s2), "") << "the replaced run's s2 never started";
    EXPECT_TRUE(Form().StatusText().starts_with(L"s1.exe unregistered")) << Form().StatusText();

    EXPECT_EQ(replace({s1.wstring(), s2.wstring()}), 1u);
    EXPECT_TRUE(recorded(s2).ends_with(" /Unregserver")) << recorded(s2);
    EXPECT_EQ(Form().StatusText(), L"2 of 2 unregistered");
}

// Explorer starts one Tolvar per selected file: starts in quick succession hand their files to
// the first one's window, which registers them one after another with one summary.
TEST_F(EndToEndTest, StartsInQuickSuccessionBecomeOneRunInOneWindow) {
    const fs::path dir = Stage("three starts");
    fs::copy_file(TestDirectory() / "Tolvar.exe", dir / "Tolvar.exe");
    const std::vector<std::string> names{"a.dll", "b.dll", "c.dll"};
    for (const auto& name : names) fs::copy_file(dir / "testcom.dll", dir / name);
    std::vector<UniqueHandle> processes;
    for (const auto& name : names) {
        std::wstring line = Quoted(dir / "Tolvar.exe") + L" /register " + Quoted(dir / name);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        CloseHandle(process.hThread);
        processes.emplace_back(process.hProcess);
    }
    for (const auto& name : names) {
        EXPECT_EQ(WaitForFile(dir / (name + ".log"), "register\n"), "register\n") << name;
    }
    // Two handed their files over and ended; one window shows the run.
    std::vector<HANDLE> running;
    for (const UniqueHandle& process : processes) {
        DWORD code = STILL_ACTIVE;
        const bool ended = WaitForSingleObject(process.get(), kWaitMs / 4) == WAIT_OBJECT_0;
        if (ended) {
            GetExitCodeProcess(process.get(), &code);
            EXPECT_EQ(code, 0u);
        } else {
            running.push_back(process.get());
        }
    }
    ASSERT_EQ(running.size(), 1u);
    WindowSearch search{GetProcessId(running.front()), nullptr};
    EnumWindows(&FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    ASSERT_NE(search.window, nullptr);
    const HWND status = FindWindowExW(search.window, nullptr, STATUSCLASSNAMEW, nullptr);
    std::wstring summary;
    for (const ULONGLONG deadline = GetTickCount64() + kWaitMs; GetTickCount64() < deadline;
         Sleep(20)) {
        summary = WideTextOf(status);
        if (summary == L"3 of 3 registered") break;
    }
    EXPECT_EQ(summary, L"3 of 3 registered");
    PostMessageW(search.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(running.front(), kWaitMs), WAIT_OBJECT_0);
}

TEST_F(EndToEndTest, TolvarExeRegistersTheFilesOfItsCommandLine) {
    const fs::path dir = Stage("command line");
    fs::copy_file(TestDirectory() / "Tolvar.exe", dir / "Tolvar.exe");
    for (auto name : {"a.dll", "b.dll"}) fs::copy_file(dir / "testcom.dll", dir / name);
    const RunningTolvar tolvar(Quoted(dir / "Tolvar.exe") + L" /register " + Quoted(dir / "a.dll") +
                               L" " + Quoted(dir / "b.dll"));
    ASSERT_NE(tolvar.window, nullptr);
    EXPECT_EQ(WaitForFile(dir / "a.dll.log", "register\n"), "register\n");
    EXPECT_EQ(WaitForFile(dir / "b.dll.log", "register\n"), "register\n");
    EXPECT_TRUE(IsWindow(tolvar.window)) << "the window stays open, showing the outcome";
    EXPECT_TRUE(tolvar.Close());
}

// The system menu's item: its verb's command line, read back with the file in place of %1, runs
// Tolvar and registers the file; turned off, nothing of it is left.
TEST_F(EndToEndTest, TheExplorerEntriesRegisterAFileAndLeaveNothingWhenOff) {
    const fs::path dir = Stage("explorer 50%1"), sendTo = dir / "SendTo";
    fs::copy_file(TestDirectory() / "Tolvar.exe", dir / "Tolvar.exe");
    fs::create_directories(sendTo);
    ScratchSdkKey scratch;
    const std::wstring classes = scratch.Source().keyPath + L"\\Classes";
    m_configure = [&](frmTolvar::Options& options) {
        options.explorer = {HKEY_CURRENT_USER, classes, sendTo.wstring()};
        options.program = (dir / "Tolvar.exe").wstring();
    };
    Open();
    const auto checked = [this] {
        const HMENU menu = GetSystemMenu(m_hwnd, FALSE);
        SendMessageW(m_hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
        return (GetMenuState(menu, frmTolvar::kExplorerMenuCommand, MF_BYCOMMAND) & MF_CHECKED) !=
               0;
    };
    EXPECT_FALSE(checked());
    SendMessageW(m_hwnd, WM_SYSCOMMAND, frmTolvar::kExplorerMenuCommand, 0);
    EXPECT_TRUE(checked());

    const std::wstring verb =
        classes + L"\\" + std::wstring(kFileTypeVerbsKey) + L"\\.dll\\" + std::wstring(kShellKey) +
        L"\\" + std::wstring(kExplorerVerbs[0].key) + L"\\" + std::wstring(kCommandKey);
    wchar_t command[1024] = {};
    DWORD bytes = sizeof command;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, verb.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                           command, &bytes),
              ERROR_SUCCESS);
    // Expanded as the shell expands it, left to right: %% is a %, %1 the file.
    std::wstring line;
    for (const wchar_t* c = command; *c; ++c) {
        if (c[0] == L'%' && c[1] == L'%') {
            line += L'%';
            ++c;
        } else if (c[0] == L'%' && c[1] == L'1') {
            line += (dir / "testcom.dll").wstring();
            ++c;
        } else {
            line += *c;
        }
    }
    ASSERT_NE(line, command);
    {
        const RunningTolvar started(line);
        EXPECT_EQ(WaitForFile(dir / "testcom.dll.log", "register\n"), "register\n");
        EXPECT_TRUE(started.Close());
    }

    SendMessageW(m_hwnd, WM_SYSCOMMAND, frmTolvar::kExplorerMenuCommand, 0);
    EXPECT_FALSE(checked());
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, classes.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
        const UniqueRegKey left(opened);
        DWORD keys = 1, values = 1;
        RegQueryInfoKeyW(left.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(keys + values, 0u) << "nothing left under the classes key";
    }
    EXPECT_TRUE(fs::is_empty(sendTo)) << "no shortcut left";
}

}  // namespace
}  // namespace tolvar::testing
