// One window for many starts: a Tolvar started with files hands them to the Tolvar window that
// already runs with the same history, and ends. Explorer starts one Tolvar per selected file, and
// those starts become one run.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "handoff_message.h"
#include "win32_handles.h"

namespace tolvar {

// The WM_COPYDATA that carries a request says so in its dwData ("Tolv").
inline constexpr ULONG_PTR kRequestCopyData = 0x546F6C76;

// Held by a start with files from before it looks for a window until its own window exists, so
// that starts in quick succession find each other's window rather than each making one. Waits
// a bounded time: a start that holds it and hangs delays the others only that long.
class StartLock {
  public:
    explicit StartLock(const std::wstring& historyFile);
    ~StartLock() { Release(); }
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;
    void Release();

  private:
    UniqueHandle m_mutex;
    bool m_held = false;
};

// True when a window of this history took the request; false when none runs, or none answered
// in time (it hangs or is closing): the caller then opens a window of its own.
bool HandOff(const HandedRequest& request);

// The request a WM_COPYDATA carries, if it is one.
std::optional<HandedRequest> ReceivedRequest(const COPYDATASTRUCT& data);

}  // namespace tolvar
