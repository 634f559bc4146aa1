// The start-up benchmark's floor: a bare window with the same kinds of controls (the status bar
// and the list's three columns among them), styles, fonts, resources and system libraries as
// Tolvar, and nothing else (no history, no registry, no handlers). Whatever Tolvar takes beyond
// this program's start-up time is Tolvar's own doing.
//
// With --history=<file> it also does, with the profile and registry functions called straight,
// the reads Tolvar's load does (the SDK key's TargetDir, the section names, one FileName per
// section, each through a fresh 200,000-byte buffer) before the window shows, and at close the
// writes Tolvar's save does (every section read deleted, then the first --keep=<n> sections
// written back, default all, and the file flushed). The history benchmark's floor for the old
// save.
//
// With --history-bytes=<source> --save-to=<file> it reads the source's bytes before the window
// shows, and at close writes them to "<file>.new", flushes it and moves it onto the file: the
// least a save that replaces the whole file in one step can do, in a process that starts and ends
// as Tolvar does. The history benchmark's floor for the new save.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ansi.h"
#include "resource.h"
#include "system_function.h"
#include "whole_file.h"
#include "win32_handles.h"

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
constexpr char kResultColumn[] = "Result";

constexpr std::string_view kHistoryFlag = "--history=";
constexpr std::string_view kKeepFlag = "--keep=";
constexpr std::string_view kBytesFlag = "--history-bytes=";
constexpr std::string_view kSaveToFlag = "--save-to=";
constexpr char kNewFileSuffix[] = ".new";
constexpr char kSdkKeyName[] = "Software\\ZelvoSDK";
constexpr char kSdkRootValue[] = "TargetDir";
constexpr char kTitleKey[] = "FileName";
constexpr std::size_t kProfileBufferChars = 200000;
constexpr DWORD kProfileCapacity = kProfileBufferChars - 1;

// Client area and controls in pixels at 96 DPI (the designed twips divided by 15).
constexpr int kDesignDpi = 96;
constexpr int kClientWidth = 424;
constexpr int kClientHeight = 256;
constexpr int kFileNameColumnWidth = 120;
constexpr int kPathColumnWidth = 267;
constexpr int kResultColumnWidth = 100;
// Below the list, as designed, before the window's bottom edge; the list keeps it above the status
// bar.
constexpr int kListBottomMargin = 7;

using tolvar::UniqueFile;
using tolvar::UniqueFont;
using tolvar::UniqueIcon;
using tolvar::UniqueRegKey;

struct ControlDesign {
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;
};

// Tolvar's styles and creation order: each label directly before the control it names.
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr ControlDesign kControls[] = {
    {"STATIC", kHistoryLabel, kLabel, 0, 6, 74, 75, 13},
    {WC_LISTVIEWA, "", WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
     WS_EX_CLIENTEDGE, 6, 90, 409, 159},
    {"STATIC", kFileLabel, kLabel, 0, 6, 8, 87, 13},
    {"EDIT", "", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 6, 26, 390, 20},
    {"BUTTON", kBrowse, kButton, 0, 396, 26, 19, 20},
    {"BUTTON", kRegister, kButton, 0, 242, 52, 83, 19},
    {"BUTTON", kUnregister, kButton, 0, 332, 52, 83, 19},
};
constexpr std::size_t kListIndex = 1;

// The system's DPI as Tolvar reads it: without a screen DC (about 1 ms under Wine) where the
// system can tell it.
int ScreenDpi() {
    using GetDpiForSystem = UINT(WINAPI*)();
    if (const auto forSystem = tolvar::User32Function<GetDpiForSystem>("GetDpiForSystem")) {
        if (const UINT dpi = forSystem()) return static_cast<int>(dpi);
    }
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

// The history file as the floor read it: the file's name and its sections in file order.
struct RawHistory {
    std::string file;
    std::vector<std::string> sections;
    std::vector<std::string> titles;
    std::size_t keep = 0;
};
std::optional<RawHistory> g_history;

std::string ReadProfileText(const char* section, const char* key, const std::string& file) {
    std::string buffer(kProfileBufferChars, '\0');
    GetPrivateProfileStringA(section, key, nullptr, buffer.data(), kProfileCapacity, file.c_str());
    return buffer;
}

// The size query and the read, as a registry value of unknown size is read.
void ReadSdkRoot() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kSdkKeyName, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return;
    }
    const UniqueRegKey key(opened);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), kSdkRootValue, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return;
    }
    std::string value(size, '\0');
    RegQueryValueExA(key.get(), kSdkRootValue, nullptr, &type,
                     reinterpret_cast<BYTE*>(value.data()), &size);
}

void ReadHistory(RawHistory& history) {
    ReadSdkRoot();
    {
        const std::string names = ReadProfileText(nullptr, nullptr, history.file);
        for (const char* name = names.c_str(); *name != '\0'; name += std::strlen(name) + 1) {
            history.sections.emplace_back(name);
        }
    }
    for (const std::string& section : history.sections) {
        history.titles.emplace_back(
            ReadProfileText(section.c_str(), kTitleKey, history.file).c_str());
    }
}

void WriteHistory(const RawHistory& history) {
    const char* file = history.file.c_str();
    for (const std::string& section : history.sections) {
        WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file);
    }
    for (std::size_t i = 0; i < history.keep && i < history.sections.size(); ++i) {
        WritePrivateProfileStringA(history.sections[i].c_str(), kTitleKey,
                                   history.titles[i].c_str(), file);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
}

// --history=<file> [--keep=<n>]; nothing when the history mode is off.
std::optional<RawHistory> HistoryArguments(int argc, char** argv) {
    std::optional<RawHistory> history;
    std::optional<std::size_t> keep;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with(kHistoryFlag)) {
            history.emplace();
            history->file = arg.substr(kHistoryFlag.size());
        } else if (arg.starts_with(kKeepFlag)) {
            keep = static_cast<std::size_t>(std::strtoul(argv[i] + kKeepFlag.size(), nullptr, 10));
        }
    }
    if (history) history->keep = keep.value_or(SIZE_MAX);
    return history;
}

// The bytes a close puts in place of the file, in one step.
struct BytesSave {
    std::string bytes;
    std::string file;
};
std::optional<BytesSave> g_bytesSave;

void SaveBytes(const BytesSave& save) {
    const std::string newFile = save.file + kNewFileSuffix;
    {
        const UniqueFile file(CreateFileA(newFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        if (!WriteFile(file.get(), save.bytes.data(), static_cast<DWORD>(save.bytes.size()),
                       &written, nullptr) ||
            written != save.bytes.size() || !FlushFileBuffers(file.get())) {
            return;
        }
    }  // closed before it moves
    MoveFileExA(newFile.c_str(), save.file.c_str(),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// --history-bytes=<source> --save-to=<file>; nothing when the mode is off or the source cannot
// be read (the floor then ends before showing, which the benchmark reports).
std::optional<BytesSave> BytesSaveArguments(int argc, char** argv, bool& failed) {
    std::optional<std::string> source, target;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with(kBytesFlag)) source = arg.substr(kBytesFlag.size());
        if (arg.starts_with(kSaveToFlag)) target = arg.substr(kSaveToFlag.size());
    }
    if (!source && !target) return std::nullopt;
    std::optional<std::string> bytes =
        source && target ? tolvar::ReadWholeFile(tolvar::FromAnsi(*source)) : std::nullopt;
    if (!bytes) {
        failed = true;
        return std::nullopt;
    }
    return BytesSave{std::move(*bytes), std::move(*target)};
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (g_history) WriteHistory(*g_history);
            if (g_bytesSave) SaveBytes(*g_bytesSave);
            DestroyWindow(hwnd);
            return 0;
        case WM_NOTIFYFORMAT:
            return NFR_ANSI;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

// Tolvar uses the file dialog, the registry and the variant conversions (for registry values);
// referencing one function of each (never called) makes the loader map the same system DLLs
// here. External linkage keeps the table from being dropped.
extern const void* const tolvarFloorSameImports[];
const void* const tolvarFloorSameImports[] = {
    reinterpret_cast<const void*>(&GetOpenFileNameA),
    reinterpret_cast<const void*>(&RegCloseKey),
    reinterpret_cast<const void*>(&SysFreeString),
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    g_history = HistoryArguments(__argc, __argv);
    bool badBytesSave = false;
    g_bytesSave = BytesSaveArguments(__argc, __argv, badBytesSave);
    if (badBytesSave) return 1;
    INITCOMMONCONTROLSEX icc{sizeof icc,
                             ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
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
    constexpr DWORD kExStyle = WS_EX_APPWINDOW;
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const HWND window = CreateWindowExA(
        kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;

    const UniqueFont font = CreateMessageFont();
    // Tolvar's status bar: made first, sized by itself along the bottom at its font's height,
    // the list ending above it, and then moved to the end of the z-order.
    const HWND statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "",
                                           WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS,
                                           0, 0, 0, 0, window, nullptr, instance, nullptr);
    if (!statusBar) return 1;
    SendMessageA(statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    SendMessageA(statusBar, WM_SIZE, 0, 0);
    RECT statusRect{};
    GetWindowRect(statusBar, &statusRect);
    RECT client{};
    GetClientRect(window, &client);
    const int listBottom =
        client.bottom - (statusRect.bottom - statusRect.top) - px(kListBottomMargin);
    HWND list = nullptr;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlDesign& design = kControls[i];
        int height = px(design.height);
        if (i == kListIndex) height = std::max(0, std::min(height, listBottom - px(design.top)));
        const HWND control =
            CreateWindowExA(design.exStyle, design.className, design.text,
                            WS_CHILD | WS_VISIBLE | design.style, px(design.left), px(design.top),
                            px(design.width), height, window, nullptr, instance, nullptr);
        if (!control) return 1;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        if (i == kListIndex) list = control;
    }
    SetWindowPos(statusBar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    constexpr DWORD kListExStyle = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExStyle, kListExStyle);
    AddColumn(list, 0, kFileNameColumn, px(kFileNameColumnWidth));
    AddColumn(list, 1, kPathColumn, px(kPathColumnWidth));
    AddColumn(list, 2, kResultColumn, px(kResultColumnWidth));
    if (g_history) ReadHistory(*g_history);

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
