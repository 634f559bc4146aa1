#include <windows.h>
#include <commctrl.h>
#include <cderr.h>
#include <commdlg.h>

#include "frmTolvar.h"

#include "frmTolvar_detail.h"
#include "instance_handoff.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "command_line.h"
#include "design.h"
#include "dpi.h"
#include "error_log.h"
#include "module_path.h"
#include "null_cut.h"
#include "resource.h"
#include "system_function.h"

namespace tolvar {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// Files dropped from the shell make the target.
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW | WS_EX_ACCEPTFILES;
// The messages a drop from a program with lower rights needs through the message filter.
// WM_COPYGLOBALDATA is not in the SDK headers. WM_COPYDATA stays filtered: it carries requests
// to register, which a program with lower rights must not make of an elevated Tolvar.
constexpr UINT kCopyGlobalData = 0x0049;
constexpr UINT kDropMessages[] = {WM_DROPFILES, kCopyGlobalData};

using namespace window_detail;

// A typed path is read once the typing pauses, so that typing stays instant.
constexpr UINT_PTR kTypingPauseTimer = 1;
constexpr UINT kTypingPauseMs = 400;

// The status bar's target part is as wide as its text, up to this share of the bar; the outcome
// part has the rest.
constexpr double kTargetPartLargestShare = 0.5;

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc:
// the window has no default or cancel button.
constexpr int kFirstControlId = 100;
int ControlId(Control c) {
    return kFirstControlId + static_cast<int>(c);
}
constexpr int kStatusBarId = kFirstControlId + kControlCount;

// The list's columns, left to right, with their designed widths.
struct ListColumn {
    std::wstring_view header;
    float widthTwips;
};
constexpr ListColumn kListColumns[] = {{kFileNameColumn, kFileNameColumnTwips},
                                       {kPathColumn, kPathColumnTwips},
                                       {kResultColumn, kResultColumnTwips}};
constexpr int kFileNameColumnIndex = 0, kPathColumnIndex = 1, kResultColumnIndex = 2;
// The narrowest the Path column becomes when the window is made small.
constexpr float kPathColumnLeastTwips = 600;

// The Path column takes what the other two leave of the list, less room for a vertical scroll
// bar, so that the columns fit and a long list adds no horizontal one.
int PathColumnWidth(int listWidth, int fileNameWidth, int resultWidth, int dpi) {
    const int frame =
        2 * SystemMetricForDpi(SM_CXEDGE, dpi) + SystemMetricForDpi(SM_CXVSCROLL, dpi);
    return std::max(TwipsToPixels(kPathColumnLeastTwips, dpi),
                    listWidth - frame - fileNameWidth - resultWidth);
}

// The outer size that gives the window its designed client area at a DPI.
SIZE DesignedWindowSize(int dpi) {
    RECT rect{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    AdjustWindowRectForDpi(&rect, kWindowStyle, kWindowExStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// Made where the layout puts it and with its font, so nothing is laid out twice at start-up.
// The controls are Unicode windows: a path the ANSI code page cannot hold stays exact in them.
HWND CreateChild(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                 DWORD exStyle, Control id, const PixelRect& at, HFONT font) {
    const HWND child =
        CreateWindowExW(exStyle, className, std::wstring(text).c_str(),
                        WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.width, at.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(id))),
                        GetModuleHandleW(nullptr), nullptr);
    if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// Measured in a memory DC, which has the screen's metrics: a window's DC costs about 1 ms of the
// start-up under Wine.
int TextHeight(HFONT font) {
    int height = 0;
    if (const UniqueMemoryDC dc{CreateCompatibleDC(nullptr)}) {
        const HGDIOBJ old = SelectObject(dc.get(), font);
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(dc.get(), &metrics)) height = metrics.tmHeight;
        SelectObject(dc.get(), old);
    }
    return height;
}

int TextWidth(HFONT font, const std::wstring& text) {
    SIZE size{};
    if (const UniqueMemoryDC dc{CreateCompatibleDC(nullptr)}) {
        const HGDIOBJ old = SelectObject(dc.get(), font);
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc.get(), old);
    }
    return size.cx;
}

// The file dialog's hook: each change of the selection makes room for it in the buffer, so that a
// selection of any size fits, where the dialog would otherwise refuse it and open again empty.
UINT_PTR CALLBACK GrowSelection(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY) return 0;
    const auto& notify = *reinterpret_cast<const OFNOTIFYW*>(lParam);
    if (notify.hdr.code != CDN_SELCHANGE || !notify.lpOFN) return 0;
    const HWND dialog = GetParent(hook);
    const LRESULT folder = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT names = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
    if (folder < 0 || names < 0) return 0;
    // The folder and each name, each ended by a code-0 character, and one more: never more than
    // the folder and the quoted, blank-separated names the box shows.
    const std::size_t needed =
        static_cast<std::size_t>(folder) + static_cast<std::size_t>(names) + 2;
    OPENFILENAMEW& dialogData = *notify.lpOFN;
    if (needed <= dialogData.nMaxFile) return 0;
    auto& selection = *reinterpret_cast<std::wstring*>(dialogData.lCustData);
    selection.resize(needed * 2, L'\0');
    dialogData.lpstrFile = selection.data();
    dialogData.nMaxFile = static_cast<DWORD>(selection.size());
    return 0;
}

}  // namespace

std::wstring window_detail::FoldWithSystemCase(std::wstring_view key) {
    std::wstring folded(key);
    if (folded.empty()) return folded;
    const int n = static_cast<int>(std::min<std::size_t>(folded.size(), INT_MAX));
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.data(), n, folded.data(), n);
    return folded;
}

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
    if (!CreateControls()) return false;
    AllowDropsFromLowerRights();
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
    // The status bar is made first, so that the list is made where it ends above it, and then
    // goes to the end of the z-order, where a screen reader takes it last.
    m_statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                  WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS, 0, 0, 0,
                                  0, m_hwnd, reinterpret_cast<HMENU>(INT_PTR{kStatusBarId}),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!m_statusBar) return false;
    SendMessageW(m_statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    LayOutStatusBar();
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
    make(kRegisterButton, L"BUTTON", kRegisterCaption, kButton, 0);
    make(kUnregisterButton, L"BUTTON", kUnregisterCaption, kButton, 0);
    if (std::find(m_controls.begin(), m_controls.end(), nullptr) != m_controls.end()) return false;
    SetWindowPos(m_statusBar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    const HWND list = m_controls[kHistoryList];
    ListView_SetExtendedListViewStyle(
        list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    // Each column is made at its width: setting the widths afterwards costs start-up time.
    const auto designed = [this](int index) {
        return TwipsToPixels(kListColumns[index].widthTwips, m_dpi);
    };
    for (int index = 0; index < static_cast<int>(std::size(kListColumns)); ++index) {
        std::wstring text(kListColumns[index].header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT | LVCF_WIDTH;
        column.fmt = LVCFMT_LEFT;
        column.cx = index == kPathColumnIndex
                        ? PathColumnWidth(at[kHistoryList].width, designed(kFileNameColumnIndex),
                                          designed(kResultColumnIndex), m_dpi)
                        : designed(index);
        column.pszText = text.data();
        column.iSubItem = index;
        if (SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)) < 0) {
            return false;
        }
    }
    return true;
}

void frmTolvar::ApplyFont() {
    UniqueFont font = CreateMessageFont(m_dpi);
    for (HWND control : m_controls) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    SendMessageW(m_statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    m_font = std::move(font);  // the old font is freed only once no control uses it
    m_textHeight = TextHeight(m_font.get());
    MeasureTargetPart();
    LayOutStatusBar();
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

void frmTolvar::SetColumnWidths() {
    const HWND list = m_controls[kHistoryList];
    for (int index = 0; index < static_cast<int>(std::size(kListColumns)); ++index) {
        if (index == kPathColumnIndex) continue;
        ListView_SetColumnWidth(list, index, TwipsToPixels(kListColumns[index].widthTwips, m_dpi));
    }
    FitColumns();
}

// The other two keep the widths the user gave them.
void frmTolvar::FitColumns() {
    const HWND list = m_controls[kHistoryList];
    RECT rect{};
    GetWindowRect(list, &rect);
    const int width =
        PathColumnWidth(rect.right - rect.left, ListView_GetColumnWidth(list, kFileNameColumnIndex),
                        ListView_GetColumnWidth(list, kResultColumnIndex), m_dpi);
    if (ListView_GetColumnWidth(list, kPathColumnIndex) != width) {
        ListView_SetColumnWidth(list, kPathColumnIndex, width);
    }
}

void frmTolvar::LayOutStatusBar() {
    // The status bar places itself along the window's bottom at its font's height.
    SendMessageW(m_statusBar, WM_SIZE, 0, 0);
    RECT rect{};
    GetWindowRect(m_statusBar, &rect);
    m_statusHeight = rect.bottom - rect.top;
    const int width = rect.right - rect.left;
    const int target =
        std::min(m_targetPartWidth, static_cast<int>(width * kTargetPartLargestShare));
    const int edges[] = {width - target, -1};
    SendMessageW(m_statusBar, SB_SETPARTS, std::size(edges), reinterpret_cast<LPARAM>(edges));
}

void frmTolvar::MeasureTargetPart() {
    m_targetPartWidth = 0;
    if (const std::wstring& text = m_status[static_cast<std::size_t>(StatusPart::Target)];
        !text.empty()) {
        // The text with the part's borders and the size grip beside it.
        int borders[3] = {};
        SendMessageW(m_statusBar, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
        const int grip = SystemMetricForDpi(SM_CXVSCROLL, m_dpi);
        m_targetPartWidth = TextWidth(m_font.get(), text) + 2 * borders[0] + borders[2] + grip;
    }
}

void frmTolvar::SetStatus(const std::wstring& text, StatusPart part) {
    const auto index = static_cast<std::size_t>(part);
    m_status[index] = text;
    // Set as text, not drawn, so that screen readers read it; the tip shows a cut text whole.
    SendMessageW(m_statusBar, SB_SETTEXTW, index, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(m_statusBar, SB_SETTIPTEXTW, index, reinterpret_cast<LPARAM>(text.c_str()));
    if (part == StatusPart::Target) {
        MeasureTargetPart();
        LayOutStatusBar();
    }
}

std::wstring frmTolvar::StatusText(StatusPart part) const {
    return m_status[static_cast<std::size_t>(part)];
}

void frmTolvar::SetResult(const std::wstring& path, std::wstring result, std::wstring outcome) {
    if (const auto position = m_history.Find(path)) {
        m_history.SetResult(*position, std::move(result));
        m_outcomes[FoldWithSystemCase(path)] = std::move(outcome);
        InvalidateRect(m_controls[kHistoryList], nullptr, FALSE);
    }
}

std::wstring frmTolvar::OutcomeOf(const std::wstring& path) const {
    const auto found = m_outcomes.find(FoldWithSystemCase(path));
    return found != m_outcomes.end() ? found->second : std::wstring();
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
        ShowHistory();
    }
}

// The layout rule, from the window's outer size in twips; every control is placed at the
// current DPI, so a DPI change moves the fixed ones too.
void frmTolvar::Form_Resize() {
    if (!m_controls[0] || IsIconic(m_hwnd)) return;  // not yet made, or minimized
    LayOutStatusBar();
    const std::array<PixelRect, kControlCount> at = ControlRects();
    HDWP batch = BeginDeferWindowPos(kControlCount);
    for (std::size_t c = 0; c < kControlCount && batch; ++c) {
        batch = DeferWindowPos(batch, m_controls[c], nullptr, at[c].left, at[c].top, at[c].width,
                               at[c].height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
    FitColumns();
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
        client.bottom - m_statusHeight - TwipsToPixels(kListBottomMarginTwips, m_dpi);
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
    SetColumnWidths();
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

// Tolvar usually runs with higher rights than the shell, whose drops the system then filters out.
void frmTolvar::AllowDropsFromLowerRights() {
    using Allow = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const auto allow = User32Function<Allow>("ChangeWindowMessageFilterEx");
    if (!allow) return;
    for (const UINT message : kDropMessages) allow(m_hwnd, message, MSGFLT_ALLOW, nullptr);
}

// The first dropped file that is not a directory becomes the target, as a pick in the file
// dialog would make it; nothing is registered. The shell's drop functions are loaded only here,
// so that start-up does without shell32.
void frmTolvar::OnDropFiles(HDROP drop) {
    using QueryFile = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using Finish = void(WINAPI*)(HDROP);
    const UniqueModule shell(LoadLibraryW(L"shell32.dll"));
    const auto query = SystemFunction<QueryFile>(shell.get(), "DragQueryFileW");
    const auto finish = SystemFunction<Finish>(shell.get(), "DragFinish");
    if (!query || !finish) {
        LogFailure("reading a drop", "the shell's drop functions are missing");
        return;
    }
    constexpr UINT kCountFiles = 0xFFFFFFFF;
    const UINT count = query(drop, kCountFiles, nullptr, 0);
    std::vector<std::wstring> files;
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(query(drop, i, nullptr, 0), L'\0');
        path.resize(query(drop, i, path.data(), static_cast<UINT>(path.size() + 1)));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (path.empty() ||
            (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
            continue;
        }
        files.push_back(std::move(path));
    }
    finish(drop);
    if (!files.empty()) SetTargets(files);
}

// A request handed over by another Tolvar; TRUE when this window takes it.
LRESULT frmTolvar::OnCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData != kRequestCopyData || !data.lpData || data.cbData % sizeof(wchar_t) != 0) {
        return FALSE;
    }
    std::wstring text(data.cbData / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.lpData, data.cbData);
    const std::optional<HandedRequest> request = DecodeRequest(text);
    return request && TakeRequest(*request);
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
    if (header.hwndFrom != m_controls[kHistoryList]) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& item =
                const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iItem >= 0 &&
                static_cast<std::size_t>(item.iItem) < m_history.Count()) {
                const HistoryEntry& entry =
                    m_history.Item(static_cast<std::size_t>(item.iItem) + 1);
                const std::wstring& text = item.iSubItem == 0   ? entry.Text
                                           : item.iSubItem == 1 ? entry.SubItem1
                                                                : entry.Result;
                const std::size_t n =
                    std::min(text.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
                std::copy_n(text.data(), n, item.pszText);
                item.pszText[n] = '\0';
            }
            return 0;
        }
        case LVN_GETINFOTIPW:
            OnGetInfoTip(
                const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header)));
            return 0;
        case LVN_ODFINDITEMW:
            return FindItem(reinterpret_cast<const NMLVFINDITEMW&>(header));
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (m_showingHistory || !(change.uChanged & LVIF_STATE)) return 0;
            const bool was = change.uOldState & LVIS_SELECTED,
                       is = change.uNewState & LVIS_SELECTED;
            if (change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= m_history.Count()) {
                if (!is && was) {
                    if (auto sel = m_history.SelectedPosition()) m_history.SetSelected(*sel, false);
                }
                return 0;
            }
            const std::size_t position = static_cast<std::size_t>(change.iItem) + 1;
            if (is && !was) {
                // A selection the user made, with the mouse or the keyboard.
                m_history.SetSelected(position, true);
                lstHistory_ItemClick(position);
            } else if (was && !is) {
                m_history.SetSelected(position, false);
            }
            return 0;
        }
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
                lstHistory_DeleteSelected();
            }
            return 0;
        case NM_CLICK: {
            // A click on the entry that is already selected copies it again.
            const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (click.iItem >= 0 && static_cast<std::size_t>(click.iItem) < m_history.Count()) {
                lstHistory_ItemClick(static_cast<std::size_t>(click.iItem) + 1);
            }
            return 0;
        }
    }
    return 0;
}

// Type-ahead in the list: the next title that begins with the typed text, without regard to case.
int frmTolvar::FindItem(const NMLVFINDITEMW& find) const {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    const std::wstring wanted = FoldWithSystemCase(find.lvfi.psz);
    const std::size_t count = m_history.Count();
    if (count == 0) return -1;
    const std::size_t start = find.iStart >= 0 ? static_cast<std::size_t>(find.iStart) % count : 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = (start + k) % count;
        if (!(find.lvfi.flags & LVFI_WRAP) && i < start) break;
        const std::wstring title = FoldWithSystemCase(m_history.Item(i + 1).Text);
        const bool match =
            (find.lvfi.flags & LVFI_PARTIAL) ? title.rfind(wanted, 0) == 0 : title == wanted;
        if (match) return static_cast<int>(i);
    }
    return -1;
}

// An entry's tip: the whole outcome of its last command, of which the Result column shows a word.
void frmTolvar::OnGetInfoTip(NMLVGETINFOTIPW& tip) const {
    if (!tip.pszText || tip.cchTextMax <= 0 || tip.iItem < 0 ||
        static_cast<std::size_t>(tip.iItem) >= m_history.Count()) {
        return;
    }
    const std::wstring outcome =
        OutcomeOf(m_history.Item(static_cast<std::size_t>(tip.iItem) + 1).Key);
    if (outcome.empty()) return;  // the list's own tip, if any, stays
    const std::size_t n = std::min(outcome.size(), static_cast<std::size_t>(tip.cchTextMax) - 1);
    std::copy_n(outcome.data(), n, tip.pszText);
    tip.pszText[n] = L'\0';
}

void frmTolvar::ShowHistory() {
    const HWND list = m_controls[kHistoryList];
    m_showingHistory = true;
    ListView_SetItemCountEx(list, static_cast<int>(m_history.Count()), LVSICF_NOSCROLL);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (const auto selected = m_history.SelectedPosition()) {
        const int item = static_cast<int>(*selected) - 1;
        ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, item, FALSE);
    }
    InvalidateRect(list, nullptr, FALSE);
    m_showingHistory = false;
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
    ShowHistory();
}

// Browse: the chosen file's path and title into the box. Cancel or any failure of the dialog
// leaves the box as it was.
void frmTolvar::cmdPath_Click() {
    const std::wstring filter = DialogFilterForSystem(kDialogFilter);
    const std::wstring title(kDialogTitle);
    // Room for a selection of many files, grown while the user selects; the dialog opens at the
    // last file chosen.
    std::wstring selection(std::max(kDialogSelectionChars, m_dialogFile.size() + 1), L'\0');
    std::copy(m_dialogFile.begin(), m_dialogFile.end(), selection.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hwnd;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrFile = selection.data();
    dialog.nMaxFile = static_cast<DWORD>(selection.size());
    dialog.lpfnHook = &GrowSelection;
    dialog.lCustData = reinterpret_cast<LPARAM>(&selection);
    // The program's current directory stays where it was, whatever folder the user browses.
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) {
        // A typed list longer than the buffer (the hook grows it only for a selection) is lost.
        if (CommDlgExtendedError() != 0) LogFailure("the file dialog", "GetOpenFileNameW");
        return;
    }
    const std::vector<std::wstring> paths = ParseDialogSelection(selection);
    if (paths.empty()) return;
    m_dialogFile = paths.front();
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
