// What the current target is: one owner of it. The box's target is read off the UI thread, and
// the latest reading's facts are kept with the path they are for; a new target cancels the
// reading before it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "background_job.h"
#include "target_facts.h"

namespace tolvar {

class TargetReader {
  public:
    // The reading's end is posted to `window` as `message`, handed back to Take.
    TargetReader(HWND window, UINT message) : m_job(window, message) {}

    // Starts reading what the box names. When it names no file or several, nothing is read and
    // the line to show at once comes back ("3 files", or empty).
    std::optional<std::wstring> Read(const std::wstring& boxText);
    // On the posted message: the line for the target read, once.
    std::optional<std::wstring> Take(WPARAM job);
    bool Busy() const { return m_job.Busy(); }
    // What the reading found that tells why regsvr32 could not load this file; empty when
    // nothing was read of it.
    std::wstring LoadDetail(const std::wstring& path) const;
    // What the last reading found of this file; null when it was not read.
    const TargetFacts* FactsOf(const std::wstring& path) const;

  private:
    BackgroundJob<TargetFacts> m_job;
    std::wstring m_reading, m_read;  // the paths of the reading under way and of the last one
    std::optional<TargetFacts> m_facts;
};

}  // namespace tolvar
