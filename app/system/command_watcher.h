// Commands started without waiting, and told of their end: the system's thread pool waits on each
// process, and its end is posted to a window. The window only learns "this command ended with this
// code".
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "win32_handles.h"

namespace tolvar {

// A started process, or the error that kept it from starting.
struct StartedProcess {
    UniqueHandle process;  // a handle that signals when the process ends; none: not started
    DWORD error = ERROR_SUCCESS;
};

// Starts a command line as a separate process with a show state and returns at once. `program`
// names the executable to start; when absent the system takes the command line's first word.
using ProcessStarter = std::function<StartedProcess(
    const std::optional<std::wstring>& program, const std::wstring& commandLine, int showCommand)>;

StartedProcess StartProcess(const std::optional<std::wstring>& program,
                            const std::wstring& commandLine, int showCommand);

using CommandId = std::uint32_t;

class CommandWatcher {
  public:
    // Each end is posted to `window` as `message`, with the command's id as wParam.
    CommandWatcher(HWND window, UINT message);
    // Waits for nothing: each wait is unregistered (after a callback under way, which only posts)
    // before its process handle closes; the processes run on.
    ~CommandWatcher();
    CommandWatcher(const CommandWatcher&) = delete;
    CommandWatcher& operator=(const CommandWatcher&) = delete;

    // Watches the process until it ends; nothing when the system cannot wait on it.
    std::optional<CommandId> Watch(UniqueHandle process);
    // On the posted message: the command's exit code, and the end of its watch. Nothing for an id
    // not watched, or a handle without an exit code.
    std::optional<DWORD> Finish(CommandId id);
    std::size_t Watching() const { return m_watches.size(); }

  private:
    struct Waiting;

    HWND m_window;
    UINT m_message;
    CommandId m_next = 1;
    std::map<CommandId, std::unique_ptr<Waiting>> m_watches;
};

}  // namespace tolvar
