#include "run_queue.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

using Target = RunQueue::Target;

Target T(const wchar_t* path) {
    return {path, std::wstring(path).substr(3)};
}

// The buttons replace the run under way: it starts nothing more, its running command still ends
// (into its entry only), a command on the same file waits for it, and the summary is the new
// run's alone.
TEST(RunQueue, AReplacedRunStartsNothingMoreAndNoFileRunsTwiceAtOnce) {
    RunQueue runs;
    runs.Replace({T(L"C:\\s1.exe"), T(L"C:\\s2.exe")}, true);
    const auto first = runs.NextToStart();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->quiet) << "a run of several files";
    EXPECT_EQ(runs.NextToStart(), std::nullopt) << "one at a time";

    runs.Replace({T(L"C:\\S1.EXE")}, false);  // the same file, in other letters
    EXPECT_EQ(runs.NextToStart(), std::nullopt) << "waits for the register command on s1";
    EXPECT_TRUE(runs.Running(L"c:\\s1.exe"));
    runs.Ended(*first, std::nullopt);
    EXPECT_EQ(runs.TakeFinished(), std::nullopt);
    const auto second = runs.NextToStart();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->target.path, L"C:\\S1.EXE");
    EXPECT_FALSE(second->registering);
    EXPECT_FALSE(second->quiet) << "a single command keeps its command line";
    runs.Ended(*second, L"S1.EXE failed (exit code 0x00000001)");
    const auto finished = runs.TakeFinished();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(finished->single);
    EXPECT_EQ(finished->summary, L"S1.EXE failed (exit code 0x00000001); 0 of 1 unregistered");
    EXPECT_EQ(runs.NextToStart(), std::nullopt) << "s2 of the replaced run never starts";
    EXPECT_TRUE(runs.Idle());
}

// Requests from other Tolvars queue behind what runs; those that come close together are one
// run with one summary, refused files counted as failed.
TEST(RunQueue, RequestsCloseTogetherJoinOneRunBehindTheOneUnderWay) {
    RunQueue runs;
    runs.Replace({T(L"C:\\own.dll")}, true);
    const auto own = runs.NextToStart();
    ASSERT_TRUE(own);
    const auto a = runs.Enqueue({T(L"C:\\a.dll")}, true, {}, 1000);
    const auto b =
        runs.Enqueue({T(L"C:\\b.dll")}, true, {L"gone.dll not found"}, 1000 + RunQueue::kJoinMs);
    EXPECT_EQ(a, b);
    const auto later = runs.Enqueue({T(L"C:\\c.dll")}, true, {}, 2001 + 2 * RunQueue::kJoinMs);
    EXPECT_NE(later, b) << "too late to join";
    EXPECT_NE(runs.Enqueue({T(L"C:\\d.dll")}, false, {}, 2002 + 2 * RunQueue::kJoinMs), later)
        << "another command is another run";
    EXPECT_EQ(runs.NextToStart(), std::nullopt) << "behind the run under way";

    runs.Ended(*own, std::nullopt);
    ASSERT_TRUE(runs.TakeFinished());
    std::vector<std::wstring> started;
    std::optional<RunQueue::Finished> summary;
    while (const auto next = runs.NextToStart()) {
        EXPECT_TRUE(next->quiet);
        started.push_back(next->target.title);
        if (started.size() == 1) {
            EXPECT_EQ(runs.RunningLine(), L"Registering 2 of 3: a.dll\u2026");
        }
        runs.Ended(*next, next->target.title == L"b.dll"
                              ? std::optional<std::wstring>(L"b.dll failed (exit code 5)")
                              : std::nullopt);
        if (!summary) summary = runs.TakeFinished();
        if (summary) break;
    }
    EXPECT_EQ(started, (std::vector<std::wstring>{L"a.dll", L"b.dll"}));
    ASSERT_TRUE(summary);
    EXPECT_FALSE(summary->single);
    EXPECT_EQ(summary->summary,
              L"gone.dll not found; b.dll failed (exit code 5); 1 of 3 registered");
}

}  // namespace
}  // namespace tolvar
