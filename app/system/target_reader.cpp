#include "target_reader.h"

#include <utility>
#include <vector>

#include "system_paths.h"
#include "target_inspection.h"
#include "target_list.h"

namespace tolvar {

std::optional<std::wstring> TargetReader::Read(const std::wstring& boxText) {
    const std::vector<std::wstring> targets = ParseTargets(boxText);
    if (targets.size() != 1) {
        m_job.Cancel();
        m_reading.clear();
        return targets.empty() ? std::wstring() : SeveralTargetsLine(targets.size());
    }
    m_reading = targets.front();
    m_job.Start([path = m_reading](std::stop_token stop) { return InspectTarget(path, stop); });
    return std::nullopt;
}

std::optional<std::wstring> TargetReader::Take(WPARAM job) {
    auto facts = m_job.Take(job);
    if (!facts) return std::nullopt;
    m_read = m_reading;
    m_facts = std::move(facts);
    return TargetLine(*m_facts);
}

const TargetFacts* TargetReader::FactsOf(const std::wstring& path) const {
    return m_facts && SameFileText(m_read, path) ? &*m_facts : nullptr;
}

std::wstring TargetReader::LoadDetail(const std::wstring& path) const {
    return m_facts && SameFileText(m_read, path) ? LoadFailureDetail(*m_facts) : std::wstring();
}

}  // namespace tolvar
