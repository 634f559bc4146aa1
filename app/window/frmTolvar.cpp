#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "frmTolvar.h"

#include "frmTolvar_detail.h"
#include "instance_handoff.h"

#include <algorithm>
#include <utility>

#include "command_line.h"
#include "controls.h"
#include "design.h"
#include "dpi.h"
#include "error_log.h"
#include "file_pick.h"
#include "module_path.h"
#include "resource.h"
#include "system_paths.h"
#include "system_function.h"
#include "text_metrics.h"

namespace tolvar {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// Files dropped from the shell make the target.
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW | WS_EX_ACCEPTFILES;

using namespace window_detail;

// A typed path is read once the typing pauses, so that typing stays instant.
constexpr UINT_PTR kTypingPauseTimer = 1;
constexpr UINT kTypingPauseMs = 400;

// The outer size that gives the window its designed client area at a DPI.
SIZE DesignedWindowSize(int dpi) {
    RECT rect{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    AdjustWindowRectForDpi(&rect, kWindowStyle, kWindowExStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

frmTolvar::frmTolvar(Options options)
    : m_options(std::move(options)), m_history(&FoldWithSystemCase) {
    if (m_options.historyFile.empty()) {
        m_options.historyFile = ExecutableDirectory() + std::wstring(kHistoryFileName);
    }
    if (!m_options.startProcess) m_options.startProcess = &StartProcess;
    if (m_options.program.empty()) m_options.program = ExecutablePath();
}

frmTolvar::~frmTolvar() = default;

HWND frmTolvar::Create(HINSTANCE instance, Options options) {
    static const ATOM atom = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &frmTolvar::WndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        // The system-DPI icons; a window on a monitor of another DPI loads its own.
        const auto icon = [instance](int x, int y) {
            return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TOLVAR), IMAGE_ICON,
                                                 GetSystemMetrics(x), GetSystemMetrics(y),
                                                 LR_SHARED));
        };
        wc.hIcon = icon(SM_CXICON, SM_CYICON);
        wc.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc);
    }();
    if (!atom) return nullptr;
    // The window takes ownership when it receives WM_NCCREATE and frees it on WM_NCDESTROY.
    auto form = std::make_unique<frmTolvar>(std::move(options));
    // Made at its size for the system's DPI, so that it is not made once more at another size.
    const SIZE size = DesignedWindowSize(SystemDpi());
    return CreateWindowExW(kWindowExStyle, kWindowClass, std::wstring(kCaption).c_str(),
                           kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr,
                           nullptr, instance, &form);
}

frmTolvar* frmTolvar::FromWindow(HWND hwnd) {
    return reinterpret_cast<frmTolvar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK frmTolvar::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    frmTolvar* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* holder = static_cast<std::unique_ptr<frmTolvar>*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self = holder->release();
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = FromWindow(hwnd);
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        const std::unique_ptr<frmTolvar> dying(self);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT frmTolvar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) Form_Resize();
            return 0;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETNONCLIENTMETRICS) {
                ApplyFont();
                Form_Resize();  // the labels follow the font's height
            }
            break;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_NOTIFYFORMAT:
            return NFR_UNICODE;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_COPYDATA:
            return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case kCommandEndedMessage:
            m_runner->OnCommandEnded(static_cast<CommandId>(wParam));
            return 0;
        case kTargetInspectedMessage:
            OnTargetInspected(wParam);
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case kRunCommandLineMessage:
            OnRunCommandLine();
            return 0;
        case kOpenDropDownMessage:
            ShowDropDown(static_cast<Control>(wParam));
            return 0;
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wParam),
                          {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_MENUSELECT:
            OnMenuSelect(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_EXITMENULOOP:
            OnExitMenuLoop();
            return 0;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), HIWORD(lParam) != FALSE);
            return 0;
        case WM_SYSCOMMAND:
            if (OnSysCommand(wParam)) return 0;
            break;
        case kRegistrationsCountedMessage:
            m_runner->OnCounted(wParam);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The system ends the process after this message: save as a close would.
            if (wParam) Form_QueryUnload();
            return 0;
        case WM_DESTROY:
            if (m_options.quitOnDestroy) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

bool frmTolvar::OnCreate() {
    m_dpi = WindowDpi(m_hwnd);
    m_font = CreateMessageFont(m_dpi);
    m_textHeight = TextHeight(m_font.get());

    // Client area as designed, at the window's DPI; the position stays the system's default.
    // Only a window on a monitor of another DPI than the system's changes size here.
    const SIZE size = DesignedWindowSize(m_dpi);
    RECT outer{};
    GetWindowRect(m_hwnd, &outer);
    if (outer.right - outer.left != size.cx || outer.bottom - outer.top != size.cy) {
        SetWindowPos(m_hwnd, nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    m_runner = std::make_unique<CommandRunner>(
        m_hwnd, kCommandEndedMessage, kRegistrationsCountedMessage, m_options.startProcess,
        &FoldWithSystemCase, static_cast<CommandRunner::Listener&>(*this));
    m_target = std::make_unique<TargetReader>(m_hwnd, kTargetInspectedMessage);
    ShowRights();
    if (!CreateControls()) return false;
    AddSplitButtonKeys();
    AllowDropsFromLowerRights(m_hwnd);
    AddExplorerMenuItem(m_hwnd);
    m_focus = m_controls[kHistoryList];
    Form_Load();
    return true;
}

bool frmTolvar::CreateControls() {
    // Creation order is z-order: each label directly before the control it names, and the tab
    // stops in the order lstHistory, txtFile, cmdPath, Register, Unregister.
    constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
    constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
    // Register and Unregister offer the other ways on their drop-downs.
    constexpr DWORD kSplitButton = WS_TABSTOP | BS_SPLITBUTTON;
    // The status bar is made first, so that the list is made where it ends above it, and then
    // goes to the end of the z-order, where a screen reader takes it last.
    if (!m_statusBar.Create(m_hwnd, kStatusBarId, m_font.get(), m_dpi)) return false;
    const std::array<PixelRect, kControlCount> at = ControlRects();
    const HFONT font = m_font.get();
    const auto make = [&](Control c, const wchar_t* className, std::wstring_view text, DWORD style,
                          DWORD exStyle) {
        m_controls[c] = CreateChild(m_hwnd, className, text, style, exStyle, c, at[c], font);
    };
    make(kHistoryLabel, L"STATIC", kHistoryLabelCaption, kLabel, 0);
    make(kHistoryList, WC_LISTVIEWW, L"",
         WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
         WS_EX_CLIENTEDGE);
    make(kFileLabel, L"STATIC", kFileLabelCaption, kLabel, 0);
    make(kFileBox, L"EDIT", L"", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    make(kBrowseButton, L"BUTTON", kBrowseCaption, kButton, 0);
    make(kRegisterButton, L"BUTTON", kRegisterCaption, kSplitButton, 0);
    make(kUnregisterButton, L"BUTTON", kUnregisterCaption, kSplitButton, 0);
    if (std::find(m_controls.begin(), m_controls.end(), nullptr) != m_controls.end()) return false;
    SetWindowPos(m_statusBar.Window(), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    return m_view.Attach(m_controls[kHistoryList], at[kHistoryList].width, m_dpi);
}

void frmTolvar::ApplyFont() {
    UniqueFont font = CreateMessageFont(m_dpi);
    for (HWND control : m_controls) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    m_statusBar.SetFont(font.get(), m_dpi);
    m_font = std::move(font);  // the old font is freed only once no control uses it
    m_textHeight = TextHeight(m_font.get());
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void frmTolvar::LoadIcons() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [&](int metricX, int metricY) {
        return UniqueIcon(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(IDI_TOLVAR), IMAGE_ICON,
                       SystemMetricForDpi(metricX, m_dpi), SystemMetricForDpi(metricY, m_dpi), 0)));
    };
    UniqueIcon big = load(SM_CXICON, SM_CYICON), small = load(SM_CXSMICON, SM_CYSMICON);
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    m_bigIcon = std::move(big);
    m_smallIcon = std::move(small);
}

void frmTolvar::SetStatus(const std::wstring& text, StatusPart part) {
    m_statusBar.Set(part, text);
}

std::wstring frmTolvar::StatusText(StatusPart part) const {
    return m_statusBar.Text(part);
}

// Load: the stored history, pruned, with its top entry selected and copied into the box.
void frmTolvar::Form_Load() {
    try {
        ReadIniFile();
    } catch (...) {
        // Whatever was loaded stays; nothing is shown to the user.
        LogCaughtException("ReadIniFile");
    }
    PruneHistory(m_history, [](const std::wstring& path) { return FileExist(path); });
    // An empty history leaves the list as it was made: telling it so costs about 1 ms under Wine.
    if (m_history.Count() > 0) {
        m_history.SetSelected(1, true);
        lstHistory_ItemClick(1);
        m_view.Show();
    }
}

// The layout rule, from the window's outer size in twips; every control is placed at the
// current DPI, so a DPI change moves the fixed ones too.
void frmTolvar::Form_Resize() {
    if (!m_controls[0] || IsIconic(m_hwnd)) return;  // not yet made, or minimized
    m_statusBar.LayOut();
    const std::array<PixelRect, kControlCount> at = ControlRects();
    HDWP batch = BeginDeferWindowPos(kControlCount);
    for (std::size_t c = 0; c < kControlCount && batch; ++c) {
        batch = DeferWindowPos(batch, m_controls[c], nullptr, at[c].left, at[c].top, at[c].width,
                               at[c].height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
    m_view.FitColumns(m_dpi);
}

std::array<PixelRect, kControlCount> frmTolvar::ControlRects() const {
    RECT outer{};
    GetWindowRect(m_hwnd, &outer);
    const Layout layout = ApplyLayoutRule(PixelsToTwips(outer.right - outer.left, m_dpi),
                                          PixelsToTwips(outer.bottom - outer.top, m_dpi));
    std::array<PixelRect, kControlCount> at{};
    for (std::size_t c = 0; c < kControlCount; ++c) at[c] = ToPixels(layout[c], m_dpi);
    // A label is never lower than its text, so the message font of any system fits.
    for (Control label : {kHistoryLabel, kFileLabel}) {
        at[label].height = std::max(at[label].height, m_textHeight);
    }
    // The list ends above the status bar, with the design's margin between them.
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const int listBottom =
        client.bottom - m_statusBar.Height() - TwipsToPixels(kListBottomMarginTwips, m_dpi);
    PixelRect& list = at[kHistoryList];
    list.height = std::max(0, std::min(list.height, listBottom - list.top));
    return at;
}

void frmTolvar::Form_QueryUnload() {
    // The close is never refused; a failed save is lost without a message.
    if (m_unloaded) return;
    m_unloaded = true;
    try {
        WriteIniFile();
    } catch (...) {
        LogCaughtException("WriteIniFile");
    }
}

void frmTolvar::OnClose() {
    Form_QueryUnload();
    DestroyWindow(m_hwnd);
}

void frmTolvar::OnGetMinMaxInfo(MINMAXINFO* info) const {
    // Not smaller than the size from which the layout rule holds.
    const int dpi = WindowDpi(m_hwnd);
    const auto atLeast = [dpi](float twips) {
        const int px = TwipsToPixels(twips, dpi);
        return PixelsToTwips(px, dpi) < twips ? px + 1 : px;
    };
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, atLeast(kMinOuterWidthTwips));
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, atLeast(kMinOuterHeightTwips));
}

void frmTolvar::OnDpiChanged(int dpi, const RECT& suggested) {
    m_dpi = dpi;
    ApplyFont();
    LoadIcons();
    m_view.SetColumnWidths(m_dpi);
    SetWindowPos(m_hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Form_Resize();
}

void frmTolvar::OnActivate(bool active) {
    // Give the focus back to the control that had it, the list when first shown.
    if (!active) {
        if (HWND focus = GetFocus(); focus && IsChild(m_hwnd, focus)) m_focus = focus;
    } else if (m_focus) {
        SetFocus(m_focus);
    }
}

void frmTolvar::OnCommand(int id, int code) {
    if (id == ControlId(kFileBox)) {
        if (code == EN_CHANGE && !m_settingText) txtFile_Change();
        return;
    }
    if (code != BN_CLICKED) return;
    if (id == ControlId(kBrowseButton)) {
        cmdPath_Click();
    } else if (id == ControlId(kRegisterButton)) {
        cmdReg_Click(0);
    } else if (id == ControlId(kUnregisterButton)) {
        cmdReg_Click(1);
    }
}

LRESULT frmTolvar::OnNotify(const NMHDR& header) {
    if (header.code == BCN_DROPDOWN) return OnDropDown(header);
    if (header.hwndFrom != m_controls[kHistoryList]) return 0;
    HistoryView::Request request;
    const LRESULT result = m_view.Notify(header, request);
    if (request.kind == HistoryView::Request::Kind::Pick) {
        lstHistory_ItemClick(request.position);
    } else if (request.kind == HistoryView::Request::Kind::DeleteSelected) {
        lstHistory_DeleteSelected();
    }
    return result;
}

std::wstring frmTolvar::Text() const {
    return WindowText(m_controls[kFileBox]);
}

void frmTolvar::SetText(const std::wstring& text) {
    m_settingText = true;
    SetWindowTextW(m_controls[kFileBox], text.c_str());
    m_settingText = false;
}

// Whatever the edit, typing, pasting or deleting, the title is the one the file dialog would
// give for the path now in the box, so the kind and the history's title belong to that path.
void frmTolvar::txtFile_Change() {
    m_tag = TitleOfPath(CleanTypedPath(Text()));
    SetTimer(m_hwnd, kTypingPauseTimer, kTypingPauseMs, nullptr);
}

void frmTolvar::OnTimer(UINT_PTR id) {
    if (id != kTypingPauseTimer) return;
    KillTimer(m_hwnd, kTypingPauseTimer);
    ShowWhatTheTargetsAre(Text());
}

void frmTolvar::ShowWhatTheTargetsAre(const std::wstring& text) {
    if (const auto line = m_target->Read(text)) SetStatus(*line, StatusPart::Target);
}

void frmTolvar::OnTargetInspected(WPARAM job) {
    if (const auto line = m_target->Take(job)) SetStatus(*line, StatusPart::Target);
}

// The entry that takes the removed one's place (or the new last one) is selected; the box keeps
// what it holds. The file on disk is not touched, and the change is saved at close.
void frmTolvar::lstHistory_DeleteSelected() {
    const auto selected = m_history.SelectedPosition();
    if (!selected) return;
    const std::wstring key = m_history.Item(*selected).Key;
    m_history.Forget(key);
    if (m_history.Count() > 0) m_history.SetSelected(std::min(*selected, m_history.Count()), true);
    m_view.Show();
}

// Browse: the chosen file's path and title into the box. Cancel or any failure of the dialog
// leaves the box as it was.
void frmTolvar::cmdPath_Click() {
    const std::vector<std::wstring> paths = PickFiles(m_hwnd, m_dialogFile);
    if (paths.empty()) return;
    m_dialogFile = paths.front();  // where the dialog opens next
    SetTargets(paths);
}

void frmTolvar::SetTarget(const std::wstring& text, const std::wstring& tag) {
    SetText(text);
    m_tag = tag;
    // The first target, at start-up, is read once the window shows: the start waits for nothing.
    if (!IsWindowVisible(m_hwnd)) {
        SetTimer(m_hwnd, kTypingPauseTimer, USER_TIMER_MINIMUM, nullptr);
        return;
    }
    KillTimer(m_hwnd, kTypingPauseTimer);
    ShowWhatTheTargetsAre(text);
}

void frmTolvar::SetTargets(const std::vector<std::wstring>& paths) {
    SetTarget(JoinTargets(paths),
              paths.size() == 1 ? std::wstring(TitleOfPath(paths.front())) : std::wstring());
}

void frmTolvar::lstHistory_ItemClick(std::size_t position) {
    const HistoryEntry& entry = m_history.Item(position);
    SetTarget(entry.SubItem1, entry.Text);
}

}  // namespace tolvar
