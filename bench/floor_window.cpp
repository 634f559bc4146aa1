// The start-up benchmark's floor: a bare window with the same kinds of controls, fonts, resources
// and system libraries as Tolvar, and nothing else (no history, no registry, no handlers). Whatever
// Tolvar takes beyond this program's start-up time is Tolvar's own doing.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <memory>
#include <type_traits>

#include "resource.h"

namespace {

constexpr char kClassName[] = "TolvarFloorWindow";
constexpr char kCaption[] = "Tolvar";
constexpr char kFileLabel[] = "Target file : ";
constexpr char kHistoryLabel[] = "History : ";
constexpr char kBrowse[] = "...";
constexpr char kRegister[] = "Register";
constexpr char kUnregister[] = "Unregister";
constexpr char kFileNameColumn[] = "FileName";
constexpr char kPathColumn[] = "Path";

// Client area and controls in pixels at 96 DPI (the designed twips divided by 15).
constexpr int kDesignDpi = 96;
constexpr int kClientWidth = 424;
constexpr int kClientHeight = 256;
constexpr int kFileNameColumnWidth = 120;
constexpr int kPathColumnWidth = 267;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct ControlSpec {
    const char* className;
    const char* text;
    DWORD style;
    int left, top, width, height;
};

// In tab order (creation order): the list first, as the focus starts there.
constexpr ControlSpec kControls[] = {
    {WC_LISTVIEWA, "", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 6,
     90, 409, 159},
    {"EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 6, 26, 390, 20},
    {"BUTTON", kBrowse, WS_TABSTOP | BS_PUSHBUTTON, 396, 26, 19, 20},
    {"BUTTON", kRegister, WS_TABSTOP | BS_PUSHBUTTON, 242, 52, 83, 19},
    {"BUTTON", kUnregister, WS_TABSTOP | BS_PUSHBUTTON, 332, 52, 83, 19},
    {"STATIC", kFileLabel, SS_LEFT, 6, 8, 87, 13},
    {"STATIC", kHistoryLabel, SS_LEFT, 6, 74, 75, 13},
};

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

UniqueFont CreateMessageFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return nullptr;
    }
    return UniqueFont(CreateFontIndirectA(&metrics.lfMessageFont));
}

UniqueIcon LoadAppIcon(HINSTANCE instance, int metric) {
    const int size = GetSystemMetrics(metric);
    return UniqueIcon(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_TOLVAR), IMAGE_ICON, size, size, 0)));
}

void AddColumn(HWND list, int index, const char* text, int width) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(text);
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

// Tolvar uses the file dialog and the registry; referencing one function of each (never called)
// makes the loader map the same system DLLs here. External linkage keeps the table from being
// dropped.
extern const void* const tolvarFloorSameImports[];
const void* const tolvarFloorSameImports[] = {
    reinterpret_cast<const void*>(&GetOpenFileNameA),
    reinterpret_cast<const void*>(&RegCloseKey),
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    const UniqueIcon bigIcon = LoadAppIcon(instance, SM_CXICON);
    const UniqueIcon smallIcon = LoadAppIcon(instance, SM_CXSMICON);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = bigIcon.get();
    wc.hIconSm = smallIcon.get();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExA(&wc)) return 1;

    const int dpi = ScreenDpi();
    const auto px = [dpi](int designPixels) { return MulDiv(designPixels, dpi, kDesignDpi); };

    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, px(kClientWidth), px(kClientHeight)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const HWND window = CreateWindowExA(
        0, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;

    const UniqueFont font = CreateMessageFont();
    HWND list = nullptr;
    for (const ControlSpec& spec : kControls) {
        const HWND control = CreateWindowExA(
            0, spec.className, spec.text, WS_CHILD | WS_VISIBLE | spec.style, px(spec.left),
            px(spec.top), px(spec.width), px(spec.height), window, nullptr, instance, nullptr);
        if (!control) return 1;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        if (!list) list = control;
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumn(list, 0, kFileNameColumn, px(kFileNameColumnWidth));
    AddColumn(list, 1, kPathColumn, px(kPathColumnWidth));

    ShowWindow(window, showCommand);
    SetFocus(list);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
