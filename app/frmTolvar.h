// The main window: a target box with a browse button, Register and Unregister, and the history
// list. Its handlers carry the names of the events that raise them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "history_list.h"
#include "history_store.h"
#include "layout.h"
#include "win32_handles.h"

namespace tolvar {

// Starts a command line as a separate process with a show state and returns at once; keeps
// nothing of the process. `program` names the executable to start; when absent the system takes
// the command line's first word. False when the start failed.
using ProcessStarter = std::function<bool(const std::optional<std::wstring>& program,
                                          const std::wstring& commandLine, int showCommand)>;

bool StartProcessNoWait(const std::optional<std::wstring>& program, const std::wstring& commandLine,
                        int showCommand);

class frmTolvar {
  public:
    struct Options {
        std::wstring historyFile;  // empty: "Tolvar.ini" beside the executable
        SdkRootSource sdkRoot = DefaultSdkRootSource();
        ProcessStarter startProcess;  // empty: StartProcessNoWait
        bool quitOnDestroy = true;    // the program ends with its only window
    };

    // Creates the window, hidden, and runs its Load handler. Null when the window cannot be made.
    static HWND Create(HINSTANCE instance, Options options);
    static frmTolvar* FromWindow(HWND hwnd);

    explicit frmTolvar(Options options);
    frmTolvar(const frmTolvar&) = delete;
    frmTolvar& operator=(const frmTolvar&) = delete;
    ~frmTolvar();

    // Handlers.
    void Form_Load();
    void Form_Resize();
    void Form_QueryUnload();
    void cmdPath_Click();
    void cmdReg_Click(std::int16_t index);
    void lstHistory_ItemClick(std::size_t position);
    // An edit of the box by the user: the title follows the typed path.
    void txtFile_Change();
    // The Delete key on the list: the selected entry goes.
    void lstHistory_DeleteSelected();

    // History file procedures.
    void ReadIniFile();
    void WriteIniFile();
    static bool FileExist(const std::wstring& strFileName);

    const HistoryList& History() const { return m_history; }
    HWND Window() const { return m_hwnd; }
    HWND ControlWindow(Control control) const { return m_controls[control]; }
    std::wstring Text() const;  // the target box's Text: the path
    const std::wstring& Tag() const { return m_tag; }
    // Text and Tag together, as a pick in the file dialog or in the list sets them.
    void SetTarget(const std::wstring& text, const std::wstring& tag);
    int Dpi() const { return m_dpi; }
    const std::wstring& HistoryFile() const { return m_options.historyFile; }

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);
    void OnGetMinMaxInfo(MINMAXINFO* info) const;
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnActivate(bool active);
    void OnClose();
    void OnDropFiles(HDROP drop);
    void AllowDropsFromLowerRights();

    bool CreateControls();
    void ApplyFont();
    void LoadIcons();
    void SetColumnWidths();
    // Where the layout rule puts every control at the window's outer size and DPI, in pixels.
    std::array<PixelRect, kControlCount> ControlRects() const;
    void SetText(const std::wstring& text);
    // Shows the model in the list view: its length and its selection.
    void ShowHistory();
    int FindItem(const NMLVFINDITEMW& find) const;

    Options m_options;
    HWND m_hwnd = nullptr;
    std::array<HWND, kControlCount> m_controls{};
    HWND m_focus = nullptr;  // the control that had the focus when the window was deactivated
    int m_dpi = USER_DEFAULT_SCREEN_DPI;
    UniqueFont m_font;
    int m_textHeight = 0;  // of the message font, in pixels
    UniqueIcon m_bigIcon, m_smallIcon;
    HistoryList m_history;
    std::wstring m_tag;             // the target's title, not shown
    std::wstring m_dialogFile;      // the dialog's FileName, kept between uses
    bool m_showingHistory = false;  // list view changes made by the program, not the user
    bool m_settingText = false;     // a change of the box made by the program, not an edit
    bool m_unloaded = false;
};

}  // namespace tolvar
