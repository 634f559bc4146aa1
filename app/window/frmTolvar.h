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
#include <vector>

#include "background_job.h"
#include "command_line.h"
#include "command_runner.h"
#include "command_watcher.h"
#include "explorer_entries.h"
#include "handoff_message.h"
#include "history_list.h"
#include "history_store.h"
#include "history_view.h"
#include "layout.h"
#include "outcome.h"
#include "run_queue.h"
#include "status_bar.h"
#include "target_facts.h"
#include "target_list.h"
#include "target_reader.h"
#include "way_menus.h"
#include "win32_handles.h"

namespace tolvar {

class frmTolvar final : private CommandRunner::Listener {
  public:
    struct Options {
        std::wstring historyFile;  // empty: "Tolvar.ini" beside the executable
        SdkRootSource sdkRoot = DefaultSdkRootSource();
        ProcessStarter startProcess;  // empty: StartProcess
        bool quitOnDestroy = true;    // the program ends with its only window
        ExplorerLocation explorer;    // where the Explorer menu entries go: the user's own
        std::wstring program;         // what they start; empty: this executable
    };

    // The window class, by which another Tolvar finds this one to hand it a request.
    static constexpr wchar_t kWindowClass[] = L"TolvarMainWindow";

    // The system menu's item that adds or removes the Explorer menu entries (WM_SYSCOMMAND ids
    // leave their low four bits to the system).
    static constexpr UINT kExplorerMenuCommand = 0x0010;

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
    // Register or unregister the box's targets in that way; a .reg file is asked for here.
    void RunTargets(bool registering, RegisterWay way);
    void RunCommand(bool registering, RegisterWay way, std::wstring regFile = {});

    // History file procedures.
    void ReadIniFile();
    void WriteIniFile();
    static bool FileExist(const std::wstring& strFileName);

    const HistoryList& History() const { return m_history; }
    HWND Window() const { return m_hwnd; }
    HWND ControlWindow(Control control) const { return m_controls[control]; }
    std::wstring Text() const;  // the target box's Text: the path
    const std::wstring& Tag() const { return m_tag; }
    // Text and Tag together, as a pick in the file dialog or in the list sets them. Several
    // targets stand in the box each in quotation marks, with no Tag.
    void SetTarget(const std::wstring& text, const std::wstring& tag);
    void SetTargets(const std::vector<std::wstring>& paths);
    // The files of the command line become the targets, as a pick would set them; a file that
    // does not exist is refused by its name. With /register or /unregister, the command runs on
    // them once the window shows, as the buttons would run it.
    void OpenWith(const CommandLineRequest& request);
    // A request another Tolvar handed over: its files, named relative to its current folder,
    // join what runs here. False when it is not for this window (another history file) or the
    // window is closing.
    bool TakeRequest(const HandedRequest& request);
    int Dpi() const { return m_dpi; }
    HWND StatusBar() const { return m_statusBar.Window(); }
    // The status bar's two parts: what the last command did, and what the target is.
    using StatusPart = tolvar::StatusBar::Part;
    std::wstring StatusText(StatusPart part = StatusPart::Outcome) const;
    std::size_t RunningCommands() const { return m_runner ? m_runner->Running() : 0; }
    // The full outcome of the last command on an entry this session (the Result column's tip).
    std::wstring OutcomeOf(const std::wstring& path) const { return m_view.OutcomeOf(path); }
    // True while the registry is being read for the last command.
    bool Counting() const { return m_runner && m_runner->Counting(); }
    // True while the target is being read.
    bool Inspecting() const { return m_target && m_target->Busy(); }
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
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
    void OnTargetInspected(WPARAM job);
    void OnTimer(UINT_PTR id);
    void OnRunCommandLine();
    void OnInitMenuPopup(HMENU menu, bool systemMenu);
    // The ways' menus: a split button's drop-down, the list's context menu, and the reason a
    // greyed item gives while it is highlighted.
    void ShowDropDown(Control button);
    void AddSplitButtonKeys();
    void ShowRights();
    LRESULT OnDropDown(const NMHDR& header);
    void OnContextMenu(HWND from, POINT at);
    void OnMenuSelect(UINT id, UINT flags);
    void OnExitMenuLoop();
    MenuCommand ShowMenu(std::vector<MenuItem> items, POINT at, UINT flags);
    WayTarget WayTargetOf(const std::wstring& path, const std::wstring& title) const;
    void RunOnEntry(std::size_t position, MenuCommand command);
    // The split buttons' drop-downs open from the keyboard too: Alt+Down or F4.
    static LRESULT CALLBACK SplitButtonKeys(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR form);
    // False when the command is the system's own.
    bool OnSysCommand(WPARAM command);
    // Says what the box's targets are: one is read off the UI thread, and a new target cancels
    // the reading before it.
    void ShowWhatTheTargetsAre(const std::wstring& text);
    // What the runner tells: the window shows it.
    void StatusChanged(const std::wstring& line) override;
    void ResultChanged(const std::wstring& path, const std::wstring& result,
                       const std::wstring& outcome) override;
    std::wstring LoadDetail(const std::wstring& path) override;
    // The files of a command line or a request: those that exist, and a note on each refused.
    struct FoundFiles {
        std::vector<std::wstring> paths, refused;
    };
    static FoundFiles FindFiles(const std::vector<std::wstring>& files, const std::wstring& folder);
    void QueueRequest(FoundFiles files, bool registering, RegisterWay way = RegisterWay::Usual,
                      std::wstring regFile = {});
    // Moves the targets to the top of the history, in their order, the first on top.
    void PutOnTop(const std::vector<std::wstring>& paths);

    bool CreateControls();
    void ApplyFont();
    void LoadIcons();
    void SetStatus(const std::wstring& text, StatusPart part = StatusPart::Outcome);
    // Where the layout rule puts every control at the window's outer size and DPI, in pixels.
    std::array<PixelRect, kControlCount> ControlRects() const;
    void SetText(const std::wstring& text);

    Options m_options;
    HWND m_hwnd = nullptr;
    std::array<HWND, kControlCount> m_controls{};
    HWND m_focus = nullptr;  // the control that had the focus when the window was deactivated
    int m_dpi = USER_DEFAULT_SCREEN_DPI;
    UniqueFont m_font;
    int m_textHeight = 0;  // of the message font, in pixels
    UniqueIcon m_bigIcon, m_smallIcon;
    bool m_elevated = false;                         // Tolvar runs with administrator rights
    UniqueBitmap m_shield;                           // made when a menu first needs it
    std::vector<MenuItem> m_menuItems;               // of the menu open
    std::optional<std::wstring> m_statusBeforeMenu;  // while a greyed item's reason shows
    HistoryList m_history;
    std::wstring m_tag;          // the target's title, not shown
    std::wstring m_dialogFile;   // the file last chosen in the dialog, where it opens next
    bool m_settingText = false;  // a change of the box made by the program, not an edit
    bool m_unloaded = false;

    HistoryView m_view{m_history};
    tolvar::StatusBar m_statusBar;
    // What the target file is, and for which path; the latest inspection's.
    std::unique_ptr<TargetReader> m_target;
    std::unique_ptr<CommandRunner> m_runner;
};

}  // namespace tolvar
