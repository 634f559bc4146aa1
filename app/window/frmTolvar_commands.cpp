// The window's commands: Register and Unregister handed to the runner, the command line's and
// other Tolvars' requests, what the runner tells, and the Explorer menu entries.
#include <windows.h>

#include "frmTolvar.h"

#include <utility>

#include "error_log.h"
#include "file_pick.h"
#include "instance_handoff.h"
#include "frmTolvar_detail.h"
#include "system_paths.h"

namespace tolvar {

using namespace window_detail;

namespace {

constexpr std::wstring_view kExplorerMenuCaption = L"Explorer menu entries";
constexpr std::wstring_view kEntriesAdded = L"Explorer menu entries added";
constexpr std::wstring_view kEntriesRemoved = L"Explorer menu entries removed";
constexpr std::wstring_view kEntriesNotWritten = L"The Explorer menu entries could not be written";
constexpr std::wstring_view kEntriesNotRemoved =
    L"The Explorer menu entries could not all be removed";
constexpr std::wstring_view kNotFound = L" not found";
constexpr std::wstring_view kNotAFile = L" is a folder, not a file";

// What was refused of a command line that names files alone.
std::wstring RefusedLine(const std::vector<std::wstring>& refused) {
    std::wstring line;
    for (const std::wstring& note : refused) line.append(line.empty() ? L"" : L"; ").append(note);
    return line;
}

}  // namespace

// Register (index 0) or Unregister: start the command minimized without waiting, move the target
// to the top of the history, and watch for the command's end. Several targets run in turn. The
// run under way starts nothing more.
void frmTolvar::cmdReg_Click(std::int16_t index) {
    RunCommand(index == 0, RegisterWay::Usual);
}

void frmTolvar::RunCommand(bool registering, RegisterWay way, std::wstring regFile) {
    const std::wstring typed = Text();
    const std::vector<std::wstring> paths = ParseTargets(typed);
    if (paths.empty()) {
        SetStatus(NoFileLine(registering));
        return;
    }
    // A pasted path loses the blanks and quotation marks around it; the box shows what runs.
    if (paths.size() == 1 && paths.front() != typed) SetText(paths.front());
    std::vector<RunQueue::Target> targets;
    for (const std::wstring& path : paths) {
        targets.push_back({path, paths.size() == 1 ? m_tag : std::wstring(TitleOfPath(path))});
    }
    PutOnTop(paths);
    m_runner->Replace(std::move(targets), registering, way, std::move(regFile));
    m_view.Show();
}

void frmTolvar::PutOnTop(const std::vector<std::wstring>& paths) {
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        const std::wstring title = paths.size() == 1 ? m_tag : std::wstring(TitleOfPath(*path));
        m_history.PutOnTop(*path, title);
    }
}

void frmTolvar::StatusChanged(const std::wstring& line) {
    SetStatus(line);
}

void frmTolvar::ResultChanged(const std::wstring& path, const std::wstring& result,
                              const std::wstring& outcome) {
    m_view.SetResult(path, result, outcome);
}

// regsvr32 says "could not load" alike for every cause; what was read of the file tells which.
std::wstring frmTolvar::LoadDetail(const std::wstring& path) {
    return m_target->LoadDetail(path);
}

frmTolvar::FoundFiles frmTolvar::FindFiles(const std::vector<std::wstring>& files,
                                           const std::wstring& folder) {
    FoundFiles found;
    for (const std::wstring& file : files) {
        if (file.empty()) continue;  // an empty argument names nothing
        std::wstring path = FullPathOf(InFolder(folder, file));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            found.refused.push_back(std::wstring(TitleOfPath(path)) + std::wstring(kNotFound));
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            found.refused.push_back(std::wstring(TitleOfPath(path)) + std::wstring(kNotAFile));
        } else {
            found.paths.push_back(std::move(path));
        }
    }
    return found;
}

void frmTolvar::OpenWith(const CommandLineRequest& request) {
    FoundFiles found = FindFiles(request.files, {});
    if (request.action == CommandLineRequest::Action::None) {
        if (!found.paths.empty()) SetTargets(found.paths);
        if (!found.refused.empty()) SetStatus(RefusedLine(found.refused));
        return;
    }
    // The command runs once the window shows, as the buttons would run it.
    m_runner->Hold(true);
    QueueRequest(std::move(found), request.action == CommandLineRequest::Action::Register,
                 request.way, request.regFile.empty() ? L"" : FullPathOf(request.regFile));
    PostMessageW(m_hwnd, kRunCommandLineMessage, 0, 0);
}

bool frmTolvar::TakeRequest(const HandedRequest& request) {
    if (m_unloaded ||
        !SameFileText(FullPathOf(request.historyFile), FullPathOf(m_options.historyFile))) {
        return false;
    }
    FoundFiles found = FindFiles(request.files, request.currentFolder);
    if (request.action == CommandLineRequest::Action::None) {
        if (!found.paths.empty()) SetTargets(found.paths);
        if (!found.refused.empty()) SetStatus(RefusedLine(found.refused));
    } else {
        QueueRequest(
            std::move(found), request.action == CommandLineRequest::Action::Register, request.way,
            request.regFile.empty() ? L""
                                    : FullPathOf(InFolder(request.currentFolder, request.regFile)));
    }
    // The sender let this window come forward.
    if (IsIconic(m_hwnd)) ShowWindow(m_hwnd, SW_RESTORE);
    SetForegroundWindow(m_hwnd);
    return true;
}

// Queued behind what runs; each file gets its entry at once, in the order given.
void frmTolvar::QueueRequest(FoundFiles files, bool registering, RegisterWay way,
                             std::wstring regFile) {
    if (files.paths.empty() && files.refused.empty()) return;
    if (!files.paths.empty()) SetTargets(files.paths);
    PutOnTop(files.paths);
    std::vector<RunQueue::Target> targets;
    for (const std::wstring& path : files.paths) {
        targets.push_back({path, std::wstring(TitleOfPath(path))});
    }
    m_runner->Enqueue(std::move(targets), registering, std::move(files.refused), way,
                      std::move(regFile));
    m_view.Show();
}

// The dropped files become the targets, as a pick in the file dialog would make them; nothing is
// registered.
void frmTolvar::OnDropFiles(HDROP drop) {
    if (const std::vector<std::wstring> files = DroppedFiles(drop); !files.empty()) {
        SetTargets(files);
    }
}

// A request handed over by another Tolvar; TRUE when this window takes it.
LRESULT frmTolvar::OnCopyData(const COPYDATASTRUCT& data) {
    const std::optional<HandedRequest> request = ReceivedRequest(data);
    return request && TakeRequest(*request);
}

void frmTolvar::OnRunCommandLine() {
    m_runner->Hold(false);
}

void frmTolvar::OnInitMenuPopup(HMENU menu, bool systemMenu) {
    if (!systemMenu) return;
    const bool on = ExplorerEntriesPointAt(m_options.explorer, m_options.program);
    CheckMenuItem(menu, kExplorerMenuCommand, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// The item adds the entries for this copy of Tolvar (or points them here from another copy), and
// removes them when they are here.
bool frmTolvar::OnSysCommand(WPARAM command) {
    constexpr WPARAM kSystemBits = 0xFFF0;
    if ((command & kSystemBits) != kExplorerMenuCommand) return false;
    if (ExplorerEntriesPointAt(m_options.explorer, m_options.program)) {
        SetStatus(std::wstring(RemoveExplorerEntries(m_options.explorer) ? kEntriesRemoved
                                                                         : kEntriesNotRemoved));
    } else {
        SetStatus(std::wstring(AddExplorerEntries(m_options.explorer, m_options.program)
                                   ? kEntriesAdded
                                   : kEntriesNotWritten));
    }
    return true;
}

void window_detail::AddExplorerMenuItem(HWND hwnd) {
    const HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu || !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) ||
        !AppendMenuW(menu, MF_STRING, frmTolvar::kExplorerMenuCommand,
                     std::wstring(kExplorerMenuCaption).c_str())) {
        LogFailure("adding the Explorer menu item", "the system menu");
    }
}

}  // namespace tolvar
