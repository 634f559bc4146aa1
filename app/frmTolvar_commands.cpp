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
constexpr std::wstring_view kNotFoundList = L"Not found: ";

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
// to the top of the history, and watch for the command's end. Several targets run in turn.
void frmTolvar::cmdReg_Click(std::int16_t index) {
    const bool registering = index == 0;
    const std::wstring typed = Text();
    const std::vector<std::wstring> targets = ParseTargets(typed);
    if (targets.empty()) {
        SetStatus(NoFileLine(registering));
        return;
    }
    if (targets.size() > 1) {
        StartBatch(targets, index, {});
        return;
    }
    // A pasted path loses the blanks and quotation marks around it; the box shows what runs.
    const std::wstring& path = targets.front();
    if (path != typed) SetText(path);
    // A new command is the news: the count for the one before is no longer wanted.
    m_scan->Cancel();
    PutOnTop(targets);
    if (StartCommand(path, m_tag, index, 0)) {
        SetResult(path, std::wstring(kRunningResult));
        SetStatus(RunningLine(m_tag, registering));
    }
    ShowHistory();
}

std::optional<CommandId> frmTolvar::StartCommand(const std::wstring& path,
                                                 const std::wstring& title, std::int16_t index,
                                                 std::uint32_t batch) {
    const RegisterCommand command = BuildRegisterCommand(path, title, index);
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
    if (!started.process) {
        SetResult(path, std::wstring(kNotStartedResult));
        SetStatus(NotStartedLine(title, started.error ? SystemMessage(started.error) : L""));
        return std::nullopt;
    }
    const std::optional<CommandId> id = m_watcher->Watch(std::move(started.process));
    if (id) m_running[*id] = {path, title, command.kind, index == 0, batch};
    return id;
}

void frmTolvar::PutOnTop(const std::vector<std::wstring>& paths) {
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        const std::wstring title = paths.size() == 1 ? m_tag : std::wstring(TitleOfPath(*path));
        m_history.PutOnTop(*path, title);
    }
}

// Each target gets its entry at once, in the order given; the commands start one after the
// other, each once the one before has ended.
void frmTolvar::StartBatch(const std::vector<std::wstring>& paths, std::int16_t index,
                           std::vector<std::wstring> refused) {
    m_scan->Cancel();
    PutOnTop(paths);
    for (const std::wstring& path : paths) SetResult(path, L"");
    m_batch.emplace(paths, index == 0, std::move(refused));
    ++m_batchNumber;
    ContinueBatch();
    ShowHistory();
}

void frmTolvar::ContinueBatch() {
    while (m_batch) {
        const std::optional<std::size_t> next = m_batch->Next();
        if (!next) {
            SetStatus(m_batch->SummaryLine());
            m_batch.reset();
            return;
        }
        const std::wstring& path = m_batch->Paths()[*next];
        const std::wstring title(TitleOfPath(path));
        if (StartCommand(path, title, m_batch->Registering() ? 0 : 1, m_batchNumber)) {
            SetResult(path, std::wstring(kRunningResult));
            SetStatus(m_batch->RunningLine());
            return;
        }
        m_batch->Failed(NotStartedLine(title, L""));
    }
}

// A command ended: its outcome in words on the status bar and in its entry's Result; after a
// success, what the registry holds of the file is counted off the UI thread. A batch's command
// goes on to the next target instead.
void frmTolvar::OnCommandEnded(CommandId id) {
    const std::optional<DWORD> code = m_watcher->Finish(id);
    const auto found = m_running.find(id);
    if (found == m_running.end()) return;
    const RunningCommand command = std::move(found->second);
    m_running.erase(found);
    const bool inBatch = m_batch && command.batch == m_batchNumber;
    if (!code) {
        LogFailure("reading a command's exit code", "GetExitCodeProcess");
        SetResult(command.path, L"");
        if (inBatch) {
            m_batch->Failed(command.title + L" ended without an exit code");
            ContinueBatch();
        }
        return;
    }
    const CommandOutcome outcome{command.kind, command.registering, *code};
    const bool wantsText = command.kind == TargetKind::Other && IsFailureHResult(*code);
    const std::wstring systemText = wantsText ? SystemMessage(*code) : L"";
    SetResult(command.path, ResultText(outcome));
    if (command.batch != 0) {
        if (!inBatch) return;  // a batch that a newer one replaced: its entry says it all
        if (Succeeded(outcome)) {
            m_batch->Succeeded();
        } else {
            m_batch->Failed(FailureNote(command.title, outcome, systemText));
        }
        ContinueBatch();
        return;
    }
    // regsvr32 says "could not load" alike for every cause; what was read of the file tells which.
    const bool known =
        m_facts && FoldWithSystemCase(m_inspected) == FoldWithSystemCase(command.path);
    SetStatus(
        OutcomeLine(command.title, outcome, systemText, known ? LoadFailureDetail(*m_facts) : L""));
    if (!Succeeded(outcome)) return;
    m_scanned = command;
    const ServerKey key =
        command.kind == TargetKind::Dll ? ServerKey::InprocServer32 : ServerKey::LocalServer32;
    m_scan->Start([path = command.path, key](std::stop_token stop) {
        return CountRegistrations(path, key, stop);
    });
}

void frmTolvar::OnRegistrationsCounted(WPARAM job) {
    if (const auto count = m_scan->Take(job)) {
        SetStatus(RegistrationLine(m_scanned.title, m_scanned.registering, *count));
    }
}

void frmTolvar::OpenWith(const CommandLineRequest& request) {
    std::vector<std::wstring> found, refused;
    std::wstring notFound;
    for (const std::wstring& file : request.files) {
        std::wstring path = FullPathOf(file);
        if (FileExist(path)) {
            found.push_back(std::move(path));
            continue;
        }
        const std::wstring title(TitleOfPath(path));
        refused.push_back(title + std::wstring(kNotFound));
        notFound += (notFound.empty() ? std::wstring(kNotFoundList) : L", ") + title;
    }
    if (!found.empty()) SetTargets(found);
    if (request.action == CommandLineRequest::Action::None || found.empty()) {
        if (!notFound.empty()) SetStatus(notFound);
        return;
    }
    const std::int16_t index = request.action == CommandLineRequest::Action::Register ? 0 : 1;
    m_commandLine = CommandLineRun{std::move(found), std::move(refused), index};
    PostMessageW(m_hwnd, kRunCommandLineMessage, 0, 0);
}

// The command line's command runs once the window shows, as the buttons would run it.
void frmTolvar::OnRunCommandLine() {
    if (!m_commandLine) return;
    CommandLineRun run = std::move(*m_commandLine);
    m_commandLine.reset();
    if (run.paths.size() == 1 && run.refused.empty()) {
        cmdReg_Click(run.index);
    } else {
        StartBatch(run.paths, run.index, std::move(run.refused));
    }
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
