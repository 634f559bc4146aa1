#include "command_runner.h"

#include <utility>

#include "error_log.h"
#include "registration_scan.h"
#include "system_paths.h"

namespace tolvar {

namespace {

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

CommandRunner::CommandRunner(HWND window, UINT endedMessage, UINT countedMessage,
                             ProcessStarter start, KeyFold fold, Listener& listener)
    : m_start(std::move(start)),
      m_listener(listener),
      m_watcher(window, endedMessage),
      m_count(window, countedMessage),
      m_runs(fold) {
    if (!m_start) m_start = &StartProcess;
}

void CommandRunner::Replace(std::vector<RunQueue::Target> targets, bool registering) {
    // A new command is the news: the count for the one before is no longer wanted.
    m_count.Cancel();
    for (const RunQueue::Target& target : targets) m_listener.ResultChanged(target.path, L"", L"");
    m_runs.Replace(std::move(targets), registering);
    Continue();
}

void CommandRunner::Enqueue(std::vector<RunQueue::Target> targets, bool registering,
                            std::vector<std::wstring> refused) {
    m_count.Cancel();
    for (const RunQueue::Target& target : targets) m_listener.ResultChanged(target.path, L"", L"");
    m_runs.Enqueue(std::move(targets), registering, std::move(refused), GetTickCount64());
    Continue();
}

void CommandRunner::Hold(bool held) {
    m_held = held;
    Continue();
}

// Starts the command minimized without waiting and watches it; false, with its entry and the
// status line saying why, when it could not start.
bool CommandRunner::Start(const RunQueue::Command& queued) {
    const RunQueue::Target& target = queued.target;
    const RegisterCommand command =
        BuildRegisterCommand(target.path, target.title, queued.registering ? 0 : 1, queued.quiet);
    std::optional<std::wstring> program;
    if (command.kind == TargetKind::Dll) {
        program = SystemDirectory() + L"\\" + std::wstring(kRegsvr32Program);
    }
    StartedProcess started;
    try {
        started = m_start(program, command.commandLine, SW_SHOWMINIMIZED);
    } catch (...) {
        // The history still records the target, as after a start that reported failure.
        LogCaughtException("starting the register command");
    }
    std::optional<CommandId> id;
    if (started.process) id = m_watcher.Watch(std::move(started.process));
    if (!id) {
        const std::wstring line =
            NotStartedLine(target.title, started.error ? SystemMessage(started.error) : L"");
        m_listener.ResultChanged(target.path, std::wstring(kNotStartedResult), line);
        m_listener.StatusChanged(line);
        m_runs.Ended(queued, line);
        return false;
    }
    m_running[*id] = {queued, command.kind};
    m_listener.ResultChanged(target.path, std::wstring(kRunningResult), L"");
    return true;
}

void CommandRunner::Continue() {
    while (!m_held) {
        if (const auto finished = m_runs.TakeFinished()) {
            // A single command's own line, said at its end, stands.
            if (!finished->single) m_listener.StatusChanged(finished->summary);
            continue;
        }
        const std::optional<RunQueue::Command> next = m_runs.NextToStart();
        if (!next) return;
        if (Start(*next)) {
            m_listener.StatusChanged(m_runs.RunningLine());
            return;
        }
    }
}

// A command ended: its outcome in words in its entry's Result and, while its run is the one
// under way, on the status bar; after a single command's success, what the registry holds of the
// file is counted off the UI thread. The run goes on to its next target.
void CommandRunner::OnCommandEnded(CommandId id) {
    const std::optional<DWORD> code = m_watcher.Finish(id);
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
        m_listener.ResultChanged(target.path, std::wstring(kUnknownOutcomeResult), line);
        failure = line;
    } else {
        outcome = CommandOutcome{command.kind, command.command.registering, *code};
        const bool wantsText = command.kind == TargetKind::Other && IsFailureHResult(*code);
        line = OutcomeLine(target.title, *outcome, wantsText ? SystemMessage(*code) : L"",
                           m_listener.LoadDetail(target.path));
        m_listener.ResultChanged(target.path, ResultText(*outcome), line);
        if (!Succeeded(*outcome)) failure = line;
    }
    m_runs.Ended(command.command, failure);
    // A replaced run's command ends into its own entry only.
    if (current && m_runs.CurrentIsSingle()) {
        m_listener.StatusChanged(line);
        if (outcome && Succeeded(*outcome)) {
            m_counted = command;
            const ServerKey key = command.kind == TargetKind::Dll ? ServerKey::InprocServer32
                                                                  : ServerKey::LocalServer32;
            m_count.Start([path = target.path, key](std::stop_token stop) {
                return CountRegistrations(path, key, stop);
            });
        }
    }
    Continue();
}

void CommandRunner::OnCounted(WPARAM job) {
    if (const auto count = m_count.Take(job)) {
        m_listener.StatusChanged(RegistrationLine(m_counted.command.target.title,
                                                  m_counted.command.registering, *count));
    }
}

}  // namespace tolvar
