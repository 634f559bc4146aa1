// The window's commands: Register and Unregister on one target or several in turn, their ends,
// the registry count after them, the command line's run, and the Explorer menu entries.
#include <windows.h>

#include "frmTolvar.h"

#include <utility>

#include "error_log.h"
#include "frmTolvar_detail.h"
#include "registration_scan.h"
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

// The system's text for an error code or a failure HRESULT (one of Win32's by its code), without
// the line end it comes with; empty when the system has none.
std::wstring SystemMessage(DWORD code) {
    constexpr DWORD kWin32Facility = 7;
    if (IsFailureHResult(code) && HRESULT_FACILITY(code) == kWin32Facility) {
        code = HRESULT_CODE(code);
    }
    constexpr DWORD kMessageChars = 512;
    wchar_t text[kMessageChars] = {};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, kMessageChars, nullptr);
    std::wstring message(text, n < kMessageChars ? n : 0);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

// Register (index 0) or Unregister: start the command minimized without waiting, move the target
// to the top of the history, and watch for the command's end. Several targets run in turn. The
// run under way starts nothing more.
void frmTolvar::cmdReg_Click(std::int16_t index) {
    const bool registering = index == 0;
    const std::wstring typed = Text();
    const std::vector<std::wstring> paths = ParseTargets(typed);
    if (paths.empty()) {
        SetStatus(NoFileLine(registering));
        return;
    }
    // A pasted path loses the blanks and quotation marks around it; the box shows what runs.
    if (paths.size() == 1 && paths.front() != typed) SetText(paths.front());
    // A new command is the news: the count for the one before is no longer wanted.
    m_scan->Cancel();
    std::vector<RunQueue::Target> targets;
    for (const std::wstring& path : paths) {
        targets.push_back({path, paths.size() == 1 ? m_tag : std::wstring(TitleOfPath(path))});
    }
    PutOnTop(paths);
    for (const RunQueue::Target& target : targets) SetResult(target.path, L"");
    m_runs.Replace(std::move(targets), registering);
    ContinueRuns();
    ShowHistory();
}

bool frmTolvar::StartCommand(const RunQueue::Command& queued) {
    const RunQueue::Target& target = queued.target;
    const RegisterCommand command =
        BuildRegisterCommand(target.path, target.title, queued.registering ? 0 : 1, queued.quiet);
    std::optional<std::wstring> program;
    if (command.kind == TargetKind::Dll) {
        program = SystemDirectory() + L"\\" + std::wstring(kRegsvr32Program);
    }
    StartedProcess started;
    try {
        started = m_options.startProcess(program, command.commandLine, SW_SHOWMINIMIZED);
    } catch (...) {
        // The history still records the target, as after a start that reported failure.
        LogCaughtException("starting the register command");
    }
    std::optional<CommandId> id;
    if (started.process) id = m_watcher->Watch(std::move(started.process));
    if (!id) {
        const std::wstring line =
            NotStartedLine(target.title, started.error ? SystemMessage(started.error) : L"");
        SetResult(target.path, std::wstring(kNotStartedResult), line);
        SetStatus(line);
        m_runs.Ended(queued, line);
        return false;
    }
    m_running[*id] = {queued, command.kind};
    SetResult(target.path, std::wstring(kRunningResult));
    return true;
}

void frmTolvar::PutOnTop(const std::vector<std::wstring>& paths) {
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        const std::wstring title = paths.size() == 1 ? m_tag : std::wstring(TitleOfPath(*path));
        m_history.PutOnTop(*path, title);
    }
}

void frmTolvar::ContinueRuns() {
    for (;;) {
        if (const auto finished = m_runs.TakeFinished()) {
            // A single command's own line, said at its end, stands.
            if (!finished->single) SetStatus(finished->summary);
            continue;
        }
        const std::optional<RunQueue::Command> next = m_runs.NextToStart();
        if (!next) return;
        if (StartCommand(*next)) {
            SetStatus(m_runs.RunningLine());
            return;
        }
    }
}

// A command ended: its outcome in words in its entry's Result and, while its run is the one
// under way, on the status bar; after a single command's success, what the registry holds of the
// file is counted off the UI thread. The run goes on to its next target.
void frmTolvar::OnCommandEnded(CommandId id) {
    const std::optional<DWORD> code = m_watcher->Finish(id);
    const auto found = m_running.find(id);
    if (found == m_running.end()) return;
    const RunningCommand command = std::move(found->second);
    m_running.erase(found);
    const RunQueue::Target& target = command.command.target;
    const bool current = m_runs.IsCurrent(command.command.run);
    std::optional<std::wstring> failure;
    std::optional<CommandOutcome> outcome;
    std::wstring line;
    if (!code) {
        LogFailure("reading a command's exit code", "GetExitCodeProcess");
        line = UnknownOutcomeLine(target.title);
        SetResult(target.path, std::wstring(kUnknownOutcomeResult), line);
        failure = line;
    } else {
        outcome = CommandOutcome{command.kind, command.command.registering, *code};
        const bool wantsText = command.kind == TargetKind::Other && IsFailureHResult(*code);
        // regsvr32 says "could not load" alike for every cause; what was read of the file tells
        // which.
        const bool known =
            m_facts && FoldWithSystemCase(m_inspected) == FoldWithSystemCase(target.path);
        line = OutcomeLine(target.title, *outcome, wantsText ? SystemMessage(*code) : L"",
                           known ? LoadFailureDetail(*m_facts) : L"");
        SetResult(target.path, ResultText(*outcome), line);
        if (!Succeeded(*outcome)) failure = line;
    }
    m_runs.Ended(command.command, failure);
    // A replaced run's command ends into its own entry only.
    if (current && m_runs.CurrentIsSingle()) {
        SetStatus(line);
        if (outcome && Succeeded(*outcome)) {
            m_scanned = command;
            const ServerKey key = command.kind == TargetKind::Dll ? ServerKey::InprocServer32
                                                                  : ServerKey::LocalServer32;
            m_scan->Start([path = target.path, key](std::stop_token stop) {
                return CountRegistrations(path, key, stop);
            });
        }
    }
    ContinueRuns();
}

void frmTolvar::OnRegistrationsCounted(WPARAM job) {
    if (const auto count = m_scan->Take(job)) {
        SetStatus(RegistrationLine(m_scanned.command.target.title, m_scanned.command.registering,
                                   *count));
    }
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
    QueueRequest(std::move(found), request.action == CommandLineRequest::Action::Register);
    m_commandLineWaits = true;
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
        QueueRequest(std::move(found), request.action == CommandLineRequest::Action::Register);
        if (!m_commandLineWaits) ContinueRuns();
    }
    // The sender let this window come forward.
    if (IsIconic(m_hwnd)) ShowWindow(m_hwnd, SW_RESTORE);
    SetForegroundWindow(m_hwnd);
    return true;
}

// Queued behind what runs; each file gets its entry at once, in the order given.
void frmTolvar::QueueRequest(FoundFiles files, bool registering) {
    if (files.paths.empty() && files.refused.empty()) return;
    if (!files.paths.empty()) SetTargets(files.paths);
    PutOnTop(files.paths);
    std::vector<RunQueue::Target> targets;
    for (const std::wstring& path : files.paths) {
        SetResult(path, L"");
        targets.push_back({path, std::wstring(TitleOfPath(path))});
    }
    m_runs.Enqueue(std::move(targets), registering, std::move(files.refused), GetTickCount64());
    ShowHistory();
}

void frmTolvar::OnRunCommandLine() {
    m_commandLineWaits = false;
    ContinueRuns();
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
