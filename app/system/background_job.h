// Slow work off the UI thread, one job at a time: a newer job, or the owner's end, cancels the one
// under way. Its result is posted to a window and taken there; a cancelled job's result is dropped.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

#include "error_log.h"

namespace tolvar {

template <class Result>
class BackgroundJob {
  public:
    using Work = std::function<Result(std::stop_token)>;

    // Results are posted to `window` as `message`, with the job's number as wParam.
    BackgroundJob(HWND window, UINT message) : m_window(window), m_message(message) {}
    ~BackgroundJob() { Cancel(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Cancels the job under way and starts this one on a thread of its own. Nobody waits for a
    // cancelled job: one held up in a slow call (a file on a lost network share) ends on its own,
    // and only its shared state outlives the owner.
    void Start(Work work) {
        Cancel();
        auto state = std::make_shared<State>();
        state->number = ++m_number;
        m_latest = state;
        try {
            std::thread(&Run, std::move(state), std::move(work), m_window, m_message).detach();
        } catch (...) {
            LogCaughtException("starting background work");
            m_latest.reset();
        }
    }

    void Cancel() {
        if (m_latest) m_latest->stop.request_stop();
        m_latest.reset();
    }

    bool Busy() const { return m_latest != nullptr; }

    // On the posted message: the result, when it is the latest job's and not yet taken.
    std::optional<Result> Take(WPARAM number) {
        if (!m_latest || m_latest->number != number) return std::nullopt;
        const std::shared_ptr<State> state = std::exchange(m_latest, nullptr);
        const std::lock_guard hold(state->lock);
        return std::exchange(state->result, std::nullopt);
    }

  private:
    struct State {
        std::uint32_t number = 0;
        std::stop_source stop;
        std::mutex lock;
        std::optional<Result> result;
    };

    static void Run(std::shared_ptr<State> state, Work work, HWND window, UINT message) {
        try {
            Result result = work(state->stop.get_token());
            if (state->stop.stop_requested()) return;
            {
                const std::lock_guard hold(state->lock);
                state->result = std::move(result);
            }
            PostMessageW(window, message, state->number, 0);
        } catch (...) {
            LogCaughtException("background work");
        }
    }

    HWND m_window;
    UINT m_message;
    std::uint32_t m_number = 0;
    std::shared_ptr<State> m_latest;
};

}  // namespace tolvar
