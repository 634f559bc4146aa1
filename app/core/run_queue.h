// Which command starts when. A run's targets start one after another, each once the one before
// has ended. A run from the buttons replaces the one under way, whose remaining targets never
// start; requests from the command line or from another Tolvar queue behind it, and requests that
// come within a moment of each other join into one run with one summary. No two commands ever run
// on one file at once: a target waits while an earlier command on it still runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "history_list.h"
#include "register_way.h"

namespace tolvar {

class RunQueue {
  public:
    using RunId = std::uint32_t;
    // Requests this close together form one run.
    static constexpr std::uint64_t kJoinMs = 2000;

    struct Target {
        std::wstring path, title;
    };
    // A command to start now.
    struct Command {
        RunId run = 0;
        Target target;
        bool registering = true;
        // regsvr32 without its message box: a run of several files must not wait on one.
        bool quiet = false;
        RegisterWay way = RegisterWay::Usual;
    };

    explicit RunQueue(KeyFold fold = &FoldAsciiCase) : m_fold(fold) {}

    // The buttons: the run under way starts nothing more, and its command still running ends
    // into its own entry only. A single target runs with its command line exactly as ever.
    RunId Replace(std::vector<Target> targets, bool registering,
                  RegisterWay way = RegisterWay::Usual);
    // The command line and other Tolvars: behind whatever runs. `refused` notes the files
    // refused before the run ("a.dll not found"), counted as failed.
    RunId Enqueue(std::vector<Target> targets, bool registering, std::vector<std::wstring> refused,
                  std::uint64_t nowMs, RegisterWay way = RegisterWay::Usual);

    // The next command to start, now taken as running; nothing while the current run's last
    // command runs, or its next target's earlier command does.
    std::optional<Command> NextToStart();
    // How a command that NextToStart gave ended (or failed to start). A failure's note goes into
    // its run's summary; the end of a replaced run's command counts for nothing.
    void Ended(const Command& command, std::optional<std::wstring> failureNote);

    // A run whose every target has ended: its summary is due. Taken once.
    struct Finished {
        RunId run;
        bool single;  // one target, nothing refused: its own outcome line says it all
        std::wstring summary;
        bool failed = false;  // a target failed, or was refused
    };
    std::optional<Finished> TakeFinished();

    bool IsCurrent(RunId run) const { return m_current && m_current->id == run; }
    // The run is under way or waits behind it: it will finish.
    bool Pending(RunId run) const;
    // The run under way is one target, nothing refused: its command's own outcome is its summary.
    bool CurrentIsSingle() const { return m_current && m_current->Single(); }
    // "Registering 2 of 5: y.ocx…" for the current run's running target.
    std::wstring RunningLine() const;
    // True while this target's command runs, from whatever run.
    bool Running(const std::wstring& path) const;
    bool Idle() const { return !m_current && m_queue.empty(); }

  private:
    struct Run {
        RunId id = 0;
        bool registering = true;
        bool fromRequests = false;
        bool quiet = false;
        RegisterWay way = RegisterWay::Usual;
        std::vector<Target> targets;
        std::size_t refused = 0;
        std::size_t next = 0;  // the next target to start
        bool running = false;  // its last started command has not ended
        std::size_t succeeded = 0;
        std::vector<std::wstring> failures;
        std::uint64_t lastArrivalMs = 0;

        bool Done() const { return next == targets.size() && !running; }
        std::size_t Count() const { return refused + targets.size(); }
        bool Single() const { return targets.size() == 1 && refused == 0; }
    };

    KeyFold m_fold;
    RunId m_nextId = 1;
    std::optional<Run> m_current;
    std::deque<Run> m_queue;
    std::map<std::wstring, std::size_t> m_runningPaths;  // folded path -> commands running on it
};

}  // namespace tolvar
