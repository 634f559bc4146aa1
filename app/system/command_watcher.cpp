#include "command_watcher.h"

#include <utility>

#include "error_log.h"

namespace tolvar {

namespace {

// Returns once no callback of the wait runs any more, so that its context may go.
BOOL WINAPI UnregisterWaitAfterCallbacks(HANDLE wait) {
    return UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
}
using UniqueWait = UniqueAny<HANDLE, &UnregisterWaitAfterCallbacks>;

}  // namespace

// The callback's context: written before the wait is registered and only read after, until the
// wait is gone. The wait is declared last, so it goes before the handle it waits on.
struct CommandWatcher::Waiting {
    HWND window;
    UINT message;
    CommandId id;
    UniqueHandle process;
    UniqueWait wait;

    static void CALLBACK Ended(PVOID context, BOOLEAN) {
        const auto& watch = *static_cast<const Waiting*>(context);
        PostMessageW(watch.window, watch.message, watch.id, 0);
    }
};

StartedProcess StartProcess(const std::optional<std::wstring>& program,
                            const std::wstring& commandLine, int showCommand) {
    // The exact text: a path outside the ANSI code page must reach the program unchanged.
    std::wstring line = commandLine;  // CreateProcessW may write into the command line
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program ? program->c_str() : nullptr, line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &process)) {
        return {UniqueHandle(), GetLastError()};
    }
    const UniqueHandle thread(process.hThread);
    return {UniqueHandle(process.hProcess), ERROR_SUCCESS};
}

CommandWatcher::CommandWatcher(HWND window, UINT message) : m_window(window), m_message(message) {}

CommandWatcher::~CommandWatcher() = default;

std::optional<CommandId> CommandWatcher::Watch(UniqueHandle process) {
    auto watch = std::make_unique<Waiting>();
    watch->window = m_window;
    watch->message = m_message;
    watch->id = m_next++;
    watch->process = std::move(process);
    HANDLE wait = nullptr;
    if (!RegisterWaitForSingleObject(&wait, watch->process.get(), &Waiting::Ended, watch.get(),
                                     INFINITE, WT_EXECUTEONLYONCE)) {
        LogFailure("watching a command", "RegisterWaitForSingleObject");
        return std::nullopt;
    }
    watch->wait.reset(wait);
    const CommandId id = watch->id;
    m_watches.emplace(id, std::move(watch));
    return id;
}

std::optional<DWORD> CommandWatcher::Finish(CommandId id) {
    const auto found = m_watches.find(id);
    if (found == m_watches.end()) return std::nullopt;
    const std::unique_ptr<Waiting> watch = std::move(found->second);
    m_watches.erase(found);
    DWORD code = 0;
    if (!GetExitCodeProcess(watch->process.get(), &code)) return std::nullopt;
    return code;
}

}  // namespace tolvar
