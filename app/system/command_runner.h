// Everything from "run this command on these targets" to "this is what came of it": the queue of
// runs, the process start and its watch, each target's result, the registry count after a single
// command's success, and each run's summary. The window hears of it through a Listener and shows
// what it hears.
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "background_job.h"
#include "command_line.h"
#include "command_watcher.h"
#include "outcome.h"
#include "register_way.h"
#include "registry_snapshot.h"
#include "run_queue.h"

namespace tolvar {

class CommandRunner {
  public:
    class Listener {
      public:
        // The status line: what runs, or what came of it.
        virtual void StatusChanged(const std::wstring& line) = 0;
        // A target's Result column, and its whole outcome (empty while it runs).
        virtual void ResultChanged(const std::wstring& path, const std::wstring& result,
                                   const std::wstring& outcome) = 0;
        // What was read of the file, for regsvr32's "could not load" (exit code 3); empty when
        // nothing is known of it.
        virtual std::wstring LoadDetail(const std::wstring& path) = 0;

      protected:
        ~Listener() = default;
    };

    // Command ends and registry counts are posted to `window` as these messages; the window
    // hands them back to OnCommandEnded and OnCounted.
    CommandRunner(HWND window, UINT endedMessage, UINT countedMessage, ProcessStarter start,
                  KeyFold fold, Listener& listener);
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;
    // The throw-away keys of runs into .reg files go with it.
    ~CommandRunner();

    // The buttons: the run under way starts nothing more. A run into a .reg file names the file
    // in `regFile`.
    void Replace(std::vector<RunQueue::Target> targets, bool registering,
                 RegisterWay way = RegisterWay::Usual, std::wstring regFile = {});
    // The command line and other Tolvars: queued behind what runs.
    void Enqueue(std::vector<RunQueue::Target> targets, bool registering,
                 std::vector<std::wstring> refused, RegisterWay way = RegisterWay::Usual,
                 std::wstring regFile = {});
    // Whether Tolvar has administrator rights: an access-denied failure then has one way out
    // less.
    void SetElevated(bool elevated) { m_elevated = elevated; }
    // While held, nothing starts (the command line's run waits until the window shows).
    void Hold(bool held);

    void OnCommandEnded(CommandId id);
    void OnCounted(WPARAM job);

    std::size_t Running() const { return m_running.size(); }
    bool Counting() const { return m_count.Busy(); }

  private:
    struct RunningCommand {
        RunQueue::Command command;
        TargetKind kind;
        bool hosted = false;  // the registration host ran on the file
    };
    // A run into a .reg file: the throw-away key its registrations land in, and the file.
    struct Export {
        std::wstring key;  // under HKEY_CURRENT_USER
        std::wstring file;
    };
    bool Start(const RunQueue::Command& command);
    // The process for a command, by its way; `hosted` tells whether the host runs.
    StartedProcess StartProcessFor(const RunQueue::Command& command,
                                   const RegisterCommand& registerCommand, bool& hosted);
    void Continue();
    void NewExport(RunQueue::RunId run, std::wstring file);
    // The run's registrations saved as its .reg file, and its throw-away key removed.
    void FinishExport(RunQueue::RunId run, bool failed);
    // The keys of export runs that will never finish, removed once nothing runs into them.
    void DropAbandonedExports();

    ProcessStarter m_start;
    Listener& m_listener;
    CommandWatcher m_watcher;
    BackgroundJob<RegistrationCount> m_count;
    RunningCommand m_counted{};  // what the count is for
    RunQueue m_runs;
    std::map<CommandId, RunningCommand> m_running;
    std::map<RunQueue::RunId, Export> m_exports;
    TreeRemoval m_removal;
    bool m_held = false;
    bool m_elevated = false;
};

}  // namespace tolvar
