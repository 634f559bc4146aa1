#include "run_queue.h"

#include <utility>

#include "outcome.h"

namespace tolvar {

RunQueue::RunId RunQueue::Replace(std::vector<Target> targets, bool registering, RegisterWay way) {
    const bool quiet = targets.size() > 1;
    Run run;
    run.id = m_nextId++;
    run.registering = registering;
    run.quiet = quiet;
    run.way = way;
    run.targets = std::move(targets);
    // The replaced run's command still running stays counted in m_runningPaths until it ends.
    m_current = std::move(run);
    return m_current->id;
}

RunQueue::RunId RunQueue::Enqueue(std::vector<Target> targets, bool registering,
                                  std::vector<std::wstring> refused, std::uint64_t nowMs,
                                  RegisterWay way) {
    Run* last = !m_queue.empty() ? &m_queue.back() : m_current ? &*m_current : nullptr;
    if (last && last->fromRequests && last->registering == registering && last->way == way &&
        !last->Done() && nowMs - last->lastArrivalMs <= kJoinMs) {
        for (Target& target : targets) last->targets.push_back(std::move(target));
        last->refused += refused.size();
        for (std::wstring& note : refused) last->failures.push_back(std::move(note));
        last->lastArrivalMs = nowMs;
        return last->id;
    }
    Run run;
    run.id = m_nextId++;
    run.registering = registering;
    run.fromRequests = true;
    run.quiet = true;
    run.way = way;
    run.targets = std::move(targets);
    run.refused = refused.size();
    run.failures = std::move(refused);
    run.lastArrivalMs = nowMs;
    if (!m_current) {
        m_current = std::move(run);
        return m_current->id;
    }
    m_queue.push_back(std::move(run));
    return m_queue.back().id;
}

std::optional<RunQueue::Command> RunQueue::NextToStart() {
    if (!m_current || m_current->running || m_current->next >= m_current->targets.size()) {
        return std::nullopt;
    }
    const Target& target = m_current->targets[m_current->next];
    std::wstring folded = m_fold(target.path);
    if (m_runningPaths.count(folded)) return std::nullopt;  // its earlier command ends first
    ++m_runningPaths[std::move(folded)];
    ++m_current->next;
    m_current->running = true;
    return Command{m_current->id, target, m_current->registering, m_current->quiet, m_current->way};
}

void RunQueue::Ended(const Command& command, std::optional<std::wstring> failureNote) {
    if (const auto found = m_runningPaths.find(m_fold(command.target.path));
        found != m_runningPaths.end() && --found->second == 0) {
        m_runningPaths.erase(found);
    }
    if (!IsCurrent(command.run)) return;
    m_current->running = false;
    if (failureNote) {
        m_current->failures.push_back(std::move(*failureNote));
    } else {
        ++m_current->succeeded;
    }
}

std::optional<RunQueue::Finished> RunQueue::TakeFinished() {
    if (!m_current || !m_current->Done()) return std::nullopt;
    const Run& run = *m_current;
    Finished finished{run.id, run.Single(),
                      BatchSummaryLine(run.registering, run.succeeded, run.Count(), run.failures) +
                          std::wstring(WayWords(run.way))};
    finished.failed = !run.failures.empty();
    m_current.reset();
    if (!m_queue.empty()) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
    }
    return finished;
}

bool RunQueue::Pending(RunId run) const {
    if (IsCurrent(run)) return true;
    for (const Run& queued : m_queue) {
        if (queued.id == run) return true;
    }
    return false;
}

std::wstring RunQueue::RunningLine() const {
    if (!m_current || m_current->next == 0) return {};
    const Run& run = *m_current;
    const std::wstring& title = run.targets[run.next - 1].title;
    if (run.Single()) return tolvar::RunningLine(title, run.registering);
    return BatchRunningLine(title, run.registering, run.refused + run.next, run.Count());
}

bool RunQueue::Running(const std::wstring& path) const {
    return m_runningPaths.count(m_fold(path)) != 0;
}

}  // namespace tolvar
