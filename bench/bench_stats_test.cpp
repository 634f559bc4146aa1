#include "bench_stats.h"

#include <gtest/gtest.h>

namespace tolvar::bench {
namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string ignored;
    return ParseArguments(args, error ? *error : ignored);
}

TEST(BenchArguments, DefaultsAndFlags) {
    const auto plain = Parse({"C:\\b\\Tolvar.exe", "floor_window.exe"});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->runs, kDefaultRuns);
    EXPECT_EQ(plain->warmup, 1);
    EXPECT_FALSE(plain->freshCopy);
    EXPECT_EQ(plain->labelA, "Tolvar");
    EXPECT_EQ(plain->labelB, "floor_window");

    // Flags may come anywhere among the programs and the count.
    const auto all = Parse({"a.exe", "--fresh-copy", "b.exe", "--names=Tolvar,floor", "7",
                            "--warmup=0", "--pause=0", "--poll=5", "--verbose"});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->exeA, "a.exe");
    EXPECT_EQ(all->exeB, "b.exe");
    EXPECT_EQ(all->runs, 7);
    EXPECT_EQ(all->warmup, 0);
    EXPECT_EQ(all->pauseMs, 0);
    EXPECT_EQ(all->pollMs, 5);
    EXPECT_TRUE(all->freshCopy);
    EXPECT_TRUE(all->verbose);
    EXPECT_EQ(all->labelA, "Tolvar");
    EXPECT_EQ(all->labelB, "floor");
}

TEST(BenchArguments, RejectsWhatCannotBeRun) {
    std::string error;
    EXPECT_FALSE(Parse({"a.exe"}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "3", "extra"}));
    for (const char* runs : {"0", "-1", "12x", "", "99999999999"}) {
        EXPECT_FALSE(Parse({"a.exe", "b.exe", runs})) << runs;
    }
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--names=onlyone"}));
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--names=,b"}));
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--names=a,"}));
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--warmup=-1"}));
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--poll=0"}));  // would spin
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--pause="}));
    EXPECT_FALSE(Parse({"a.exe", "b.exe", "--fresh"}, &error));
    EXPECT_NE(error.find("--fresh"), std::string::npos);
}

TEST(BenchArithmetic, LabelsMediansOrderAndRatioLine) {
    EXPECT_EQ(ProgramLabel("Z:\\tmp\\dir.x\\Tolvar.exe"), "Tolvar");
    EXPECT_EQ(ProgramLabel("bin/floor_window"), "floor_window");
    EXPECT_EQ(ProgramLabel(".hidden"), ".hidden");

    EXPECT_DOUBLE_EQ(Median({}), 0.0);
    EXPECT_DOUBLE_EQ(Median({5.0, 1.0, 3.0}), 3.0);
    EXPECT_DOUBLE_EQ(Median({4.0, 1.0, 3.0, 2.0}), 2.5);

    EXPECT_TRUE(AFirstInRound(0));
    EXPECT_FALSE(AFirstInRound(1));
    EXPECT_TRUE(AFirstInRound(2));

    EXPECT_EQ(RatioLine("Tolvar", 85.2, "floor", 82.7, 21),
              "startup ratio Tolvar/floor: 1.03 (Tolvar 85.2 ms, floor 82.7 ms, 21 runs each)");
    // A floor that never showed gives no meaningless ratio.
    EXPECT_EQ(RatioLine("a", 10.0, "b", 0.0, 1),
              "startup ratio a/b: 0.00 (a 10.0 ms, b 0.0 ms, 1 runs each)");
}

}  // namespace
}  // namespace tolvar::bench
