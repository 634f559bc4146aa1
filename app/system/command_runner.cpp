#include "command_runner.h"

#include <utility>

#include "elevation.h"
#include "error_log.h"
#include "host_command.h"
#include "module_path.h"
#include "reg_file.h"
#include "registration_scan.h"
#include "registry_snapshot.h"
#include "system_paths.h"
#include "target_inspection.h"
#include "win32_handles.h"

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

// Where runs into .reg files keep what the registration writes until it is saved: a key of the
// user's own, where no registry view redirects, and which the host can write without rights.
constexpr wchar_t kExportKeys[] = L"Software\\Tolvar\\Export";
// The roots the host maps, by the name of each one's subkey.
constexpr std::wstring_view kMappedRoots[] = {host::kMappedClassesRoot, host::kMappedLocalMachine,
                                              host::kMappedCurrentUser};

bool IsAccessDenied(const CommandOutcome& outcome, bool elevated) {
    constexpr std::uint32_t kRegsvr32ServerFailed = 5;
    return outcome.exitCode == static_cast<std::uint32_t>(E_ACCESSDENIED) ||
           outcome.exitCode == static_cast<std::uint32_t>(TYPE_E_REGISTRYACCESS) ||
           (!elevated && outcome.kind == TargetKind::Dll && !outcome.hosted &&
            outcome.exitCode == kRegsvr32ServerFailed);
}

}  // namespace

CommandRunner::~CommandRunner() {
    for (const auto& [run, exported] : m_exports) DeleteTree(HKEY_CURRENT_USER, exported.key);
}

CommandRunner::CommandRunner(HWND window, UINT endedMessage, UINT countedMessage,
                             ProcessStarter start, KeyFold fold, Listener& listener)
    : m_start(std::move(start)),
      m_listener(listener),
      m_watcher(window, endedMessage),
      m_count(window, countedMessage),
      m_runs(fold) {
    if (!m_start) m_start = &StartProcess;
}

void CommandRunner::Replace(std::vector<RunQueue::Target> targets, bool registering,
                            RegisterWay way, std::wstring regFile) {
    // A new command is the news: the count for the one before is no longer wanted.
    m_count.Cancel();
    for (const RunQueue::Target& target : targets) m_listener.ResultChanged(target.path, L"", L"");
    const RunQueue::RunId run = m_runs.Replace(std::move(targets), registering, way);
    if (way == RegisterWay::ToRegFile) NewExport(run, std::move(regFile));
    DropAbandonedExports();
    Continue();
}

void CommandRunner::Enqueue(std::vector<RunQueue::Target> targets, bool registering,
                            std::vector<std::wstring> refused, RegisterWay way,
                            std::wstring regFile) {
    m_count.Cancel();
    for (const RunQueue::Target& target : targets) m_listener.ResultChanged(target.path, L"", L"");
    const RunQueue::RunId run =
        m_runs.Enqueue(std::move(targets), registering, std::move(refused), GetTickCount64(), way);
    if (way == RegisterWay::ToRegFile && !m_exports.count(run)) NewExport(run, std::move(regFile));
    Continue();
}

// Named after the process and the run, so that two Tolvars never share one.
void CommandRunner::NewExport(RunQueue::RunId run, std::wstring file) {
    std::wstring key = std::wstring(kExportKeys) + L"\\" + std::to_wstring(GetCurrentProcessId()) +
                       L"-" + std::to_wstring(run);
    // Made here, empty, a key for each view: the host maps the roots into keys it makes below
    // the one it is given.
    for (const MappedView view : {MappedView::Native, MappedView::Wow64}) {
        HKEY made = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, MappedViewKey(key, view).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &made,
                            nullptr) != ERROR_SUCCESS) {
            LogFailure("making the throw-away key of a .reg file", "RegCreateKeyExW");
        }
        const UniqueRegKey owned(made);
    }
    m_exports[run] = {std::move(key), std::move(file)};
}

void CommandRunner::FinishExport(RunQueue::RunId run, bool failed) {
    const auto found = m_exports.find(run);
    if (found == m_exports.end()) return;
    const Export exported = std::move(found->second);
    m_exports.erase(found);
    // A registration that failed may have written part of what it would: no file is made of it,
    // and its failure stays on the status line.
    if (failed) {
        DeleteTree(HKEY_CURRENT_USER, exported.key);
        return;
    }
    const SavedRegFile saved =
        SaveMappedRegistration(HKEY_CURRENT_USER, exported.key, kMappedRoots, exported.file);
    // The file is there: its outcome need not wait for the many calls a large tree's removal takes.
    m_removal.Start(exported.key);
    const std::wstring title(TitleOfPath(exported.file));
    m_listener.StatusChanged(
        RegFileLine(title, saved.keys, saved.unwritten,
                    saved.error != ERROR_SUCCESS ? SystemMessage(saved.error) : L""));
}

void CommandRunner::DropAbandonedExports() {
    for (auto it = m_exports.begin(); it != m_exports.end();) {
        bool running = false;
        for (const auto& [id, command] : m_running) running |= command.command.run == it->first;
        if (m_runs.Pending(it->first) || running) {
            ++it;
            continue;
        }
        DeleteTree(HKEY_CURRENT_USER, it->second.key);
        it = m_exports.erase(it);
    }
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
    StartedProcess started;
    bool hosted = false;
    try {
        started = StartProcessFor(queued, command, hosted);
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
    m_running[*id] = {queued, command.kind, hosted};
    m_listener.ResultChanged(target.path, std::wstring(kRunningResult), L"");
    return true;
}

StartedProcess CommandRunner::StartProcessFor(const RunQueue::Command& queued,
                                              const RegisterCommand& command, bool& hosted) {
    const std::wstring regsvr32 = SystemDirectory() + L"\\" + std::wstring(kRegsvr32Program);
    switch (queued.way) {
        case RegisterWay::Usual:
            return m_start(command.kind == TargetKind::Dll ? std::optional(regsvr32) : std::nullopt,
                           command.commandLine, SW_SHOWMINIMIZED);
        case RegisterWay::AsAdministrator:
            return StartElevated(command.kind == TargetKind::Dll ? regsvr32 : queued.target.path,
                                 command.parameters, SW_SHOWMINIMIZED);
        case RegisterWay::ForMeOnly:
        case RegisterWay::ToRegFile:
            break;
    }
    // The host of the file's processor loads it, in a process of its own.
    const std::wstring path = FullPathOf(queued.target.path);
    const std::optional<PeMachine> machine = ReadMachineOfFile(path);
    const std::wstring program = machine ? HostProgramFor(*machine) : std::wstring();
    if (program.empty()) return {UniqueHandle(), ERROR_BAD_EXE_FORMAT};
    host::Request request{host::Redirect::User, {}, queued.registering, path};
    if (queued.way == RegisterWay::ToRegFile) {
        const auto exported = m_exports.find(queued.run);
        if (exported == m_exports.end()) return {UniqueHandle(), ERROR_INVALID_PARAMETER};
        request.redirect = host::Redirect::Map;
        const bool wow64 = *machine == PeMachine::X86 && Is64BitWindows();
        request.mapKey =
            MappedViewKey(exported->second.key, wow64 ? MappedView::Wow64 : MappedView::Native);
    }
    const std::wstring hostPath = ExecutableDirectory() + L"\\" + program;
    hosted = true;
    return m_start(hostPath, QuotedPath(hostPath) + L" " + host::BuildArguments(request),
                   SW_SHOWMINIMIZED);
}

void CommandRunner::Continue() {
    while (!m_held) {
        if (const auto finished = m_runs.TakeFinished()) {
            // A single command's own line, said at its end, stands.
            if (!finished->single) m_listener.StatusChanged(finished->summary);
            FinishExport(finished->run, finished->failed);
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
        outcome = CommandOutcome{command.kind, command.command.registering, *code, command.hosted};
        const bool wantsText =
            (command.kind == TargetKind::Other || command.hosted) && IsFailureHResult(*code);
        line = OutcomeLine(target.title, *outcome, wantsText ? SystemMessage(*code) : L"",
                           m_listener.LoadDetail(target.path));
        if (Succeeded(*outcome)) {
            line += WayWords(command.command.way);
        } else {
            // A run's summary lists its failures without the ways out, said once per target.
            failure = line;
            if (IsAccessDenied(*outcome, m_elevated)) {
                line += AccessDeniedHint(command.command.way, command.kind, m_elevated);
            }
        }
        m_listener.ResultChanged(target.path, ResultText(*outcome), line);
    }
    m_runs.Ended(command.command, failure);
    DropAbandonedExports();
    // A replaced run's command ends into its own entry only.
    if (current && m_runs.CurrentIsSingle()) {
        m_listener.StatusChanged(line);
        // What a run into a .reg file wrote is in no registry to count.
        if (outcome && Succeeded(*outcome) && command.command.way != RegisterWay::ToRegFile) {
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
