#include "batch_run.h"

#include "command_line.h"
#include "outcome.h"

namespace tolvar {

BatchRun::BatchRun(std::vector<std::wstring> paths, bool registering,
                   std::vector<std::wstring> refused)
    : m_paths(std::move(paths)),
      m_registering(registering),
      m_refused(refused.size()),
      m_failures(std::move(refused)) {}

std::optional<std::size_t> BatchRun::Next() {
    if (m_next >= m_paths.size()) return std::nullopt;
    return m_next++;
}

std::wstring BatchRun::RunningLine() const {
    const std::size_t started = m_next == 0 ? 0 : m_next - 1;
    return BatchRunningLine(TitleOfPath(m_paths.at(started)), m_registering, m_refused + m_next,
                            m_refused + m_paths.size());
}

std::wstring BatchRun::SummaryLine() const {
    return BatchSummaryLine(m_registering, m_succeeded, m_refused + m_paths.size(), m_failures);
}

}  // namespace tolvar
