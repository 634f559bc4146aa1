// Several targets registered or unregistered in turn: which comes next, and how the run went.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tolvar {

class BatchRun {
  public:
    // `refused`: notes on targets refused before the run ("a.dll not found"), counted as failed.
    BatchRun(std::vector<std::wstring> paths, bool registering,
             std::vector<std::wstring> refused = {});

    bool Registering() const { return m_registering; }
    const std::vector<std::wstring>& Paths() const { return m_paths; }
    // The next target to start, by its place in Paths(); nothing once every one has started.
    std::optional<std::size_t> Next();
    // How the target started last ended: success, or a failure in brief.
    void Succeeded() { ++m_succeeded; }
    void Failed(std::wstring note) { m_failures.push_back(std::move(note)); }
    // The status line while the target last started runs: "Registering 2 of 5: y.ocx…".
    std::wstring RunningLine() const;
    // "4 of 5 registered; z.dll failed (exit code 3: ...)".
    std::wstring SummaryLine() const;

  private:
    std::vector<std::wstring> m_paths;
    bool m_registering;
    std::size_t m_refused;
    std::size_t m_next = 0;
    std::size_t m_succeeded = 0;
    std::vector<std::wstring> m_failures;
};

}  // namespace tolvar
