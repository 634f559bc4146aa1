// The benchmarks' arithmetic and the start-up benchmark's argument handling; no Windows calls, so
// it is tested natively as well.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::bench {

inline constexpr int kDefaultRuns = 21;
inline constexpr int kMaxRuns = 10000;

struct Options {
    std::string exeA;
    std::string exeB;
    std::string labelA;  // defaults to the program's base name without extension
    std::string labelB;
    int runs = kDefaultRuns;
    int warmup = 1;          // untimed runs of each program before the timed ones
    int pauseMs = 100;       // quiet time between runs, for the last program's teardown
    int pollMs = 1;          // interval between looks for the window
    bool freshCopy = false;  // run each start from a new temporary copy of the program
    bool verbose = false;    // print every run
};

// Parses the arguments after the program name; on failure returns nothing and sets `error`.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error);

std::string Usage();

// A whole decimal number from minimum to maximum, nothing else; nothing when it is not one.
std::optional<int> ParseCount(std::string_view text, int minimum, int maximum);

// "C:\dir\Tolvar.exe" gives "Tolvar.exe"; a path without a directory is its own name.
std::string FileNameOf(std::string_view path);

// "C:\dir\Tolvar.exe" and "dir/Tolvar" both give "Tolvar".
std::string ProgramLabel(std::string_view path);

// Median of the samples (mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> samples);

// Round r starts with A when r is even, with B when odd, so neither always runs first.
bool AFirstInRound(int round);

// "startup ratio A/B: 1.03 (A 85.2 ms, B 82.7 ms, 21 runs each)"; another measure names itself
// in place of "startup".
std::string RatioLine(std::string_view labelA, double medianA, std::string_view labelB,
                      double medianB, int runs, std::string_view measure = "startup");

}  // namespace tolvar::bench
