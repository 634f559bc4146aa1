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

    // The buttons: the run under way starts nothing more.
    void Replace(std::vector<RunQueue::Target> targets, bool registering);
    // The command line and other Tolvars: queued behind what runs.
    void Enqueue(std::vector<RunQueue::Target> targets, bool registering,
                 std::vector<std::wstring> refused);
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
    };
    bool Start(const RunQueue::Command& command);
    void Continue();

    ProcessStarter m_start;
    Listener& m_listener;
    CommandWatcher m_watcher;
    BackgroundJob<RegistrationCount> m_count;
    RunningCommand m_counted{};  // what the count is for
    RunQueue m_runs;
    std::map<CommandId, RunningCommand> m_running;
    bool m_held = false;
};

}  // namespace tolvar
