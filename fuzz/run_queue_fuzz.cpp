// The run queue under any order of clicks, requests, starts and ends: never two commands on one
// file at once, one command at a time in a run, nothing of a replaced run starts after it was
// replaced, and every summary counts its own run's targets. Also a handed-over request read from
// any text: nothing but a text EncodeRequest made is taken, and that one exactly.
#include <fuzzer/FuzzedDataProvider.h>

#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "handoff_message.h"
#include "run_queue.h"

using namespace tolvar;

namespace {

// Few names, so that files meet each other often; letter case differs but names one file.
std::wstring Path(FuzzedDataProvider& in) {
    const wchar_t letter = static_cast<wchar_t>(L'a' + in.ConsumeIntegralInRange(0, 3));
    return std::wstring(L"C:\\") + (in.ConsumeBool() ? wchar_t(letter - L'a' + L'A') : letter);
}

std::vector<RunQueue::Target> Targets(FuzzedDataProvider& in) {
    std::vector<RunQueue::Target> targets(in.ConsumeIntegralInRange(1, 4));
    for (auto& target : targets) target.title = target.path = Path(in);
    return targets;
}

void CheckRequests(const std::string& bytes) {
    const std::wstring text(bytes.begin(), bytes.end());
    if (const auto request = DecodeRequest(text)) {
        FUZZ_CHECK(EncodeRequest(*request) == text);
        FUZZ_CHECK(DecodeRequest(EncodeRequest(*request)) == request);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    RunQueue runs;
    std::vector<RunQueue::Command> running;
    std::set<RunQueue::RunId> replaced;
    std::uint64_t now = 0;
    RunQueue::RunId current = 0;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                if (current) replaced.insert(current);
                current = runs.Replace(Targets(in), in.ConsumeBool());
                break;
            case 1: {
                now += in.ConsumeIntegralInRange<std::uint64_t>(0, 2 * RunQueue::kJoinMs);
                std::vector<std::wstring> refused(in.ConsumeIntegralInRange(0, 2), L"x not found");
                runs.Enqueue(Targets(in), in.ConsumeBool(), std::move(refused), now);
                break;
            }
            case 2:
                if (!running.empty()) {
                    const std::size_t i =
                        in.ConsumeIntegralInRange<std::size_t>(0, running.size() - 1);
                    const bool failed = in.ConsumeBool();
                    runs.Ended(running[i],
                               failed ? std::optional<std::wstring>(L"f") : std::nullopt);
                    running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
                }
                break;
            case 3:
                break;
        }
        // What the window does after each event: take what has finished, start what may start.
        for (;;) {
            if (const auto finished = runs.TakeFinished()) {
                FUZZ_CHECK(!replaced.count(finished->run));
                FUZZ_CHECK(finished->summary.ends_with(L"registered"));
                continue;
            }
            const auto next = runs.NextToStart();
            if (!next) break;
            FUZZ_CHECK(!replaced.count(next->run));
            for (const RunQueue::Command& other : running) {
                FUZZ_CHECK(FoldAsciiCase(other.target.path) != FoldAsciiCase(next->target.path));
                FUZZ_CHECK(other.run != next->run);
            }
            running.push_back(*next);
        }
    }
    CheckRequests(in.ConsumeRemainingBytesAsString());
    return 0;
}
