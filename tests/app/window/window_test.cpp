// The real window, driven through its messages.
#include "window_fixture.h"

#include <shlobj.h>

#include <cstring>
#include <thread>

#include "command_line.h"
#include "design.h"
#include "dpi.h"
#include "elevation.h"
#include "layout.h"
#include "message_loop.h"

namespace tolvar::testing {
namespace {

RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The status bar runs along the whole bottom edge, and the list ends the design's 105 twips
// above it.
void ExpectListEndsAboveTheStatusBar(frmTolvar& form, int dpi) {
    RECT client{};
    GetClientRect(form.Window(), &client);
    const RECT status = ChildRect(form.StatusBar());
    EXPECT_EQ(status.left, 0);
    EXPECT_EQ(status.right, client.right);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_GT(status.bottom - status.top, 0);
    EXPECT_EQ(ChildRect(form.ControlWindow(kHistoryList)).bottom,
              status.top - TwipsToPixels(105, dpi));
}

// The columns fill the list but for room for a vertical scroll bar, so there is no horizontal one.
void ExpectColumnsFit(HWND list, int dpi) {
    RECT client{};
    GetClientRect(list, &client);
    int columns = 0;
    for (int i = 0; i < 3; ++i) columns += ListView_GetColumnWidth(list, i);
    EXPECT_EQ(columns + SystemMetricForDpi(SM_CXVSCROLL, dpi), client.right);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
}

// The window tests also run at other system DPIs (see the high-DPI test): every expectation is
// in twips, converted at the window's DPI.
TEST_F(WindowTest, OpensAtTheDesignSizeWithControlsInTwips) {
    Open();
    const int dpi = Form().Dpi();
    if (const char* expected = getenv("TOLVAR_EXPECT_DPI")) {
        ASSERT_EQ(dpi, atoi(expected));
    }
    const auto Px = [dpi](float twips) { return TwipsToPixels(twips, dpi); };
    RECT client{};
    GetClientRect(m_hwnd, &client);
    EXPECT_EQ(client.right, Px(6360));
    EXPECT_EQ(client.bottom, Px(3840));
    char caption[32] = {};
    GetWindowTextA(m_hwnd, caption, sizeof caption);
    // Wine runs every program of its administrator user elevated.
    EXPECT_STREQ(caption, RunsElevated() ? "Administrator: Tolvar" : "Tolvar");

    // Controls the rule does not touch stay exactly as designed.
    const RECT fileLabel = ChildRect(Ctl(kFileLabel));
    EXPECT_EQ(fileLabel.left, Px(90));
    EXPECT_EQ(fileLabel.top, Px(120));
    EXPECT_EQ(fileLabel.right, Px(90 + 1305));
    EXPECT_GE(fileLabel.bottom, Px(120 + 195));
    EXPECT_EQ(ChildRect(Ctl(kHistoryLabel)).top, Px(1110));
    EXPECT_EQ(ChildRect(Ctl(kFileBox)).left, Px(90));
    EXPECT_EQ(ChildRect(Ctl(kFileBox)).top, Px(390));
    EXPECT_EQ(ChildRect(Ctl(kFileBox)).bottom, Px(690));
    EXPECT_EQ(ChildRect(Ctl(kBrowseButton)).top, Px(390));
    EXPECT_EQ(ChildRect(Ctl(kRegisterButton)).top, Px(780));
    EXPECT_EQ(ChildRect(Ctl(kRegisterButton)).bottom, Px(780 + 285));
    EXPECT_EQ(ChildRect(Ctl(kUnregisterButton)).top, Px(780));
    EXPECT_EQ(ChildRect(Ctl(kHistoryList)).top, Px(1350));
    EXPECT_EQ(ChildRect(Ctl(kHistoryList)).left, Px(90));

    // The list: report view, no sorting, full rows; FileName and Result at their design widths,
    // and Path in what they leave, so that the columns fit without a horizontal scroll bar.
    const HWND list = Ctl(kHistoryList);
    const LONG style = GetWindowLongA(list, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_FALSE(style & (LVS_SORTASCENDING | LVS_SORTDESCENDING | LVS_EDITLABELS));
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), Px(1800));
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), Px(1500));
    ExpectColumnsFit(list, dpi);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 3);
    ExpectListEndsAboveTheStatusBar(Form(), dpi);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT);

    // Focus starts in the list; no button is a default button; every control has the
    // system's message font.
    EXPECT_EQ(GetFocus(), list);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    for (std::size_t c = 0; c < kControlCount; ++c) {
        const HWND control = Ctl(Control(c));
        const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << c;
        LOGFONTA face{};
        GetObjectA(font, sizeof face, &face);
        EXPECT_STREQ(face.lfFaceName, metrics.lfMessageFont.lfFaceName) << c;
        EXPECT_EQ(face.lfHeight, metrics.lfMessageFont.lfHeight) << c;
        char text[64] = {};
        GetWindowTextA(control, text, sizeof text);
        EXPECT_EQ(strchr(text, '&'), nullptr) << "no access keys";
    }
    for (Control b : {kBrowseButton, kRegisterButton, kUnregisterButton}) {
        EXPECT_FALSE(GetWindowLongA(Ctl(b), GWL_STYLE) & BS_DEFPUSHBUTTON);
    }
}

TEST_F(WindowTest, TabFollowsTheDesignOrderAndLabelsPrecedeTheirControls) {
    Open();
    const std::vector<Control> order{kHistoryList,    kFileBox,          kBrowseButton,
                                     kRegisterButton, kUnregisterButton, kHistoryList};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(m_hwnd, Ctl(order[i]), FALSE), Ctl(order[i + 1])) << i;
    }
    // Screen readers name a control after the label just before it.
    EXPECT_EQ(GetWindow(Ctl(kHistoryLabel), GW_HWNDNEXT), Ctl(kHistoryList));
    EXPECT_EQ(GetWindow(Ctl(kFileLabel), GW_HWNDNEXT), Ctl(kFileBox));
}

TEST_F(WindowTest, LayoutRuleHoldsAtSeveralSizesAndNotBelowIt) {
    Open();
    const int dpi = Form().Dpi();
    const auto Px = [dpi](float twips) { return TwipsToPixels(twips, dpi); };
    // Outer sizes in whole pixels at 96 and at 144 DPI, and where the rule puts the edges.
    struct Case {
        int width, height;
        int boxRight, browseLeft, registerLeft, unregisterLeft, listRight;
    };
    for (const Case& c : {Case{9000, 6000, 8490, 8490, 6180, 7530, 8790},
                          Case{15000, 10500, 14490, 14490, 12180, 13530, 14790},
                          Case{4500, 3000, 3990, 3990, 1680, 3030, 4290}}) {
        SetWindowPos(m_hwnd, nullptr, 0, 0, Px(c.width), Px(c.height), SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages();
        EXPECT_EQ(ChildRect(Ctl(kFileBox)).right, Px(c.boxRight)) << c.width;
        EXPECT_EQ(ChildRect(Ctl(kBrowseButton)).left, Px(c.browseLeft)) << c.width;
        EXPECT_EQ(ChildRect(Ctl(kRegisterButton)).left, Px(c.registerLeft)) << c.width;
        EXPECT_EQ(ChildRect(Ctl(kUnregisterButton)).left, Px(c.unregisterLeft)) << c.width;
        EXPECT_EQ(ChildRect(Ctl(kHistoryList)).right, Px(c.listRight)) << c.width;
        ExpectListEndsAboveTheStatusBar(Form(), dpi);
    }
    // The window cannot be made smaller than the rule's limits.
    MINMAXINFO info{};
    SendMessageA(m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_GE(PixelsToTwips(info.ptMinTrackSize.x, dpi), 600);
    EXPECT_GE(PixelsToTwips(info.ptMinTrackSize.y, dpi), 1970);
    // Minimizing leaves the layout alone.
    const RECT before = ChildRect(Ctl(kHistoryList));
    ShowWindow(m_hwnd, SW_MINIMIZE);
    PumpMessages();
    const RECT after = ChildRect(Ctl(kHistoryList));
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(WindowTest, ControlsScaleWhenTheWindowsDpiChanges) {
    Open();
    const int dpi = Form().Dpi() + 48;
    const auto Px = [dpi](float twips) { return TwipsToPixels(twips, dpi); };
    RECT suggested{};
    GetWindowRect(m_hwnd, &suggested);
    suggested.right = suggested.left + Px(6600);
    suggested.bottom = suggested.top + Px(4200);
    SendMessageA(m_hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    PumpMessages();
    EXPECT_EQ(Form().Dpi(), dpi);
    EXPECT_EQ(ChildRect(Ctl(kFileLabel)).left, Px(90));
    EXPECT_EQ(ChildRect(Ctl(kFileLabel)).top, Px(120));
    EXPECT_EQ(ChildRect(Ctl(kRegisterButton)).top, Px(780));
    EXPECT_EQ(ChildRect(Ctl(kHistoryList)).top, Px(1350));
    EXPECT_EQ(ListView_GetColumnWidth(Ctl(kHistoryList), 0), Px(1800));
    ExpectColumnsFit(Ctl(kHistoryList), dpi);
    // The suggested outer size, 6600 x 4200 twips, laid out by the rule.
    EXPECT_EQ(ChildRect(Ctl(kBrowseButton)).left, Px(6090));
    EXPECT_EQ(ChildRect(Ctl(kFileBox)).right, Px(6090));
    ExpectListEndsAboveTheStatusBar(Form(), dpi);
}

TEST_F(WindowTest, RegisterStartsTheRightCommandMinimizedAndMovesTheTargetToTheTop) {
    Open();
    Register(L"C:\\x\\one.dll", L"one.dll");
    Register(L"C:\\x\\two.ocx", L"two.ocx");
    Register(L"C:\\Program Files\\three.exe", L"three.exe", kUnregisterButton);
    ASSERT_EQ(m_started.size(), 3u);
    EXPECT_EQ(m_started[0].commandLine, L"Regsvr32 C:\\x\\one.dll");
    ASSERT_TRUE(m_started[0].program);
    EXPECT_EQ(m_started[0].program->substr(m_started[0].program->size() - 13), L"\\regsvr32.exe");
    EXPECT_EQ(m_started[0].showCommand, SW_SHOWMINIMIZED);
    EXPECT_EQ(m_started[1].commandLine, L"Regsvr32 C:\\x\\two.ocx");
    EXPECT_TRUE(m_started[1].program);
    EXPECT_FALSE(m_started[2].program);
    EXPECT_EQ(m_started[2].commandLine, L"\"C:\\Program Files\\three.exe\" /Unregserver");

    // The list view shows the model: newest first, title and path columns.
    EXPECT_EQ(ListView_GetItemCount(Ctl(kHistoryList)), 3);
    EXPECT_EQ(ListText(0, 0), L"three.exe");
    EXPECT_EQ(ListText(0, 1), L"C:\\Program Files\\three.exe");
    EXPECT_EQ(ListText(2, 0), L"one.dll");

    // Pick the third entry and register it: it moves to the top with its title; the box keeps
    // what it held.
    Form().lstHistory_ItemClick(3);
    EXPECT_EQ(Form().Text(), L"C:\\x\\one.dll");
    EXPECT_EQ(Form().Tag(), L"one.dll");
    Press(kRegisterButton);
    EXPECT_EQ(ListView_GetItemCount(Ctl(kHistoryList)), 3);
    EXPECT_EQ(ListText(0, 1), L"C:\\x\\one.dll");
    EXPECT_EQ(ListText(1, 0), L"three.exe");
    EXPECT_EQ(ListText(2, 0), L"two.ocx");
    EXPECT_EQ(Form().Text(), L"C:\\x\\one.dll");
    // A different letter case is the same file: still one entry.
    Register(L"c:\\X\\ONE.DLL", L"ONE.DLL");
    EXPECT_EQ(ListView_GetItemCount(Ctl(kHistoryList)), 3);
    EXPECT_EQ(ListText(0, 0), L"ONE.DLL");
}

TEST_F(WindowTest, StartFailuresAndEmptyPathsAreQuiet) {
    Open(false);  // the real start: nothing by this name exists
    Register(L"C:\\no\\such\\server.exe", L"server.exe");
    EXPECT_EQ(Form().History().Count(), 1u) << "the target moves to the top all the same";
    // An empty box starts the attempt but makes no entry.
    Form().SetTarget(L"", L"");
    Press(kRegisterButton);
    EXPECT_EQ(Form().History().Count(), 1u);
}

TEST_F(WindowTest, TypingMakesTheTitleFollowAndAUserPickCopiesTheEntry) {
    Open();
    // A first start: a typed DLL path goes to regsvr32 with its own title.
    Type(L"C:\\x\\first.dll");
    EXPECT_EQ(Form().Tag(), L"first.dll");
    Press(kRegisterButton);
    EXPECT_EQ(m_started.back().commandLine, L"Regsvr32 C:\\x\\first.dll");
    EXPECT_EQ(Form().History().Item(1).Text, L"first.dll");
    // After a pick, typing another path takes that path's title, whatever the edit.
    Register(L"C:\\a\\second.dll", L"second.dll");
    Type(L"C:\\typed/thing.exe");
    EXPECT_EQ(Form().Tag(), L"thing.exe");
    Press(kRegisterButton);
    EXPECT_EQ(m_started.back().commandLine, L"C:\\typed/thing.exe /Regserver");
    EXPECT_EQ(Form().History().Item(1).Text, L"thing.exe");
    PostMessageW(Ctl(kFileBox), WM_CHAR, VK_BACK, 0);
    PumpMessages();
    EXPECT_EQ(Form().Tag(), L"thing.ex");

    // A selection made with the keyboard counts as a click on the entry.
    Type(L"C:\\typed\\again.dll");
    const HWND list = Ctl(kHistoryList);
    SetFocus(list);
    SendMessageA(list, WM_KEYDOWN, VK_END, 0);
    SendMessageA(list, WM_KEYUP, VK_END, 0);
    PumpMessages();
    EXPECT_EQ(Form().Text(), L"C:\\x\\first.dll");
    EXPECT_EQ(Form().Tag(), L"first.dll");
    EXPECT_TRUE(Form().History().Selected(3));

    // Changes the program makes to the list never rewrite the box.
    Type(L"C:\\kept.exe");
    Form().SetTarget(L"C:\\kept.exe", L"kept.exe");
    Press(kRegisterButton);
    EXPECT_EQ(Form().Text(), L"C:\\kept.exe");

    // A path pasted as Explorer copies it, in quotation marks and with a line end: the kind and
    // the title are the file's, and the command, the entry and the box hold the clean path.
    Type(L" \"C:\\Program Files\\pasted.dll\"\r\n");
    EXPECT_EQ(Form().Tag(), L"pasted.dll");
    Press(kRegisterButton);
    EXPECT_EQ(m_started.back().commandLine, L"Regsvr32 \"C:\\Program Files\\pasted.dll\"");
    EXPECT_EQ(Form().History().Item(1).Key, L"C:\\Program Files\\pasted.dll");
    EXPECT_EQ(Form().History().Item(1).Text, L"pasted.dll");
    EXPECT_EQ(Form().Text(), L"C:\\Program Files\\pasted.dll");
}

// Another thread's characters (a keyboard layout, the touch keyboard, an input method) reach the
// box through the program's own message loop; none of them may pass through the ANSI code page.
TEST_F(WindowTest, CharactersPostedFromAnotherThreadReachTheBoxExactly) {
    Open();
    const std::wstring path = L"C:\\\x0418\x0432\x0430\x043D\\\x5DE5\x5177 \xD83D\xDE00\\x.dll";
    const HWND box = Ctl(kFileBox), window = m_hwnd;
    const DWORD loopThread = GetCurrentThreadId();
    std::thread keyboard([&] {
        for (const wchar_t c : path) PostMessageW(box, WM_CHAR, c, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Ctl(kRegisterButton)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(Ctl(kRegisterButton)));
        PostThreadMessageW(loopThread, WM_QUIT, 0, 0);
    });
    RunMessageLoop(m_hwnd);
    keyboard.join();
    EXPECT_EQ(Form().Text(), path);
    ASSERT_EQ(m_started.size(), 1u);
    EXPECT_EQ(m_started[0].commandLine, L"Regsvr32 \"" + path + L"\"");
}

// A drop as the shell makes it, in this process: a DROPFILES header, then the wide paths, each
// ended by a zero and the list by one more.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const auto& path : paths) list += path + L'\0';
    list += L'\0';
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(files + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(WindowTest, DroppedFilesBecomeTheTargetsAndNothingStarts) {
    Open();
    const fs::path control = m_dir.path() / "dropped.ocx";
    Touch(control);
    // A directory alone changes nothing; every file is taken, as a pick would take it.
    SendMessageW(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({m_dir.path()})), 0);
    EXPECT_EQ(Form().Text(), L"");
    EXPECT_EQ(Form().Tag(), L"");
    SendMessageW(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({m_dir.path(), control})),
                 0);
    EXPECT_EQ(Form().Text(), control.wstring());
    EXPECT_EQ(Form().Tag(), L"dropped.ocx");
    SendMessageW(m_hwnd, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({m_dir.path(), control, L"C:\\second.dll"})), 0);
    EXPECT_EQ(Form().Text(), L"\"" + control.wstring() + L"\" \"C:\\second.dll\"");
    EXPECT_TRUE(m_started.empty());
    EXPECT_EQ(Form().History().Count(), 0u);
}

TEST_F(WindowTest, CloseIsNeverRefused) {
    Open();
    Close();
}

}  // namespace
}  // namespace tolvar::testing
