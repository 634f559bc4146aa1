#include "bench_stats.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tolvar::bench {

namespace {

constexpr std::string_view kFreshCopyFlag = "--fresh-copy";
constexpr std::string_view kVerboseFlag = "--verbose";
constexpr std::string_view kNamesFlag = "--names=";
constexpr std::string_view kWarmupFlag = "--warmup=";
constexpr std::string_view kPauseFlag = "--pause=";
constexpr std::string_view kPollFlag = "--poll=";

}  // namespace

std::optional<int> ParseCount(std::string_view text, int minimum, int maximum) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < minimum ||
        value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::string Usage() {
    return "usage: startup_bench [--fresh-copy] [--names=A,B] [--warmup=N] [--pause=ms] "
           "[--poll=ms] [--verbose] <exeA> <exeB> [runs=" +
           std::to_string(kDefaultRuns) + "]";
}

std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error) {
    Options options;
    std::vector<std::string_view> positional;
    for (const std::string& arg : args) {
        const std::string_view a = arg;
        if (a == kFreshCopyFlag) {
            options.freshCopy = true;
        } else if (a == kVerboseFlag) {
            options.verbose = true;
        } else if (a.starts_with(kNamesFlag)) {
            const std::string_view names = a.substr(kNamesFlag.size());
            const std::size_t comma = names.find(',');
            if (comma == std::string_view::npos || comma == 0 || comma + 1 == names.size()) {
                error = "--names needs two labels separated by a comma";
                return std::nullopt;
            }
            options.labelA = names.substr(0, comma);
            options.labelB = names.substr(comma + 1);
        } else if (int* target = a.starts_with(kWarmupFlag)  ? &options.warmup
                                 : a.starts_with(kPauseFlag) ? &options.pauseMs
                                 : a.starts_with(kPollFlag)  ? &options.pollMs
                                                             : nullptr) {
            // A poll interval of 0 would spin; the others may be 0.
            const auto value =
                ParseCount(a.substr(a.find('=') + 1), target == &options.pollMs ? 1 : 0, kMaxRuns);
            if (!value) {
                error = "bad number: " + arg;
                return std::nullopt;
            }
            *target = *value;
        } else if (a.size() > 2 && a.starts_with("--")) {
            error = "unknown option: " + arg;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2 || positional.size() > 3) {
        error = "expected two programs and an optional run count";
        return std::nullopt;
    }
    options.exeA = positional[0];
    options.exeB = positional[1];
    if (positional.size() == 3) {
        const auto runs = ParseCount(positional[2], 1, kMaxRuns);
        if (!runs) {
            error = "bad run count: " + std::string(positional[2]);
            return std::nullopt;
        }
        options.runs = *runs;
    }
    if (options.labelA.empty()) options.labelA = ProgramLabel(options.exeA);
    if (options.labelB.empty()) options.labelB = ProgramLabel(options.exeB);
    return options;
}

std::string FileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ProgramLabel(std::string_view path) {
    std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const std::size_t mid = samples.size() / 2;
    if (samples.size() % 2 == 1) return samples[mid];
    return (samples[mid - 1] + samples[mid]) / 2.0;
}

bool AFirstInRound(int round) {
    return round % 2 == 0;
}

std::string RatioLine(std::string_view labelA, double medianA, std::string_view labelB,
                      double medianB, int runs, std::string_view measure) {
    char numbers[96];
    const double ratio = medianB > 0.0 ? medianA / medianB : 0.0;
    std::snprintf(numbers, sizeof numbers, ": %.2f (", ratio);
    std::string line = std::string(measure) + " ratio " + std::string(labelA) + "/" +
                       std::string(labelB) + numbers;
    std::snprintf(numbers, sizeof numbers, " %.1f ms, ", medianA);
    line += std::string(labelA) + numbers;
    std::snprintf(numbers, sizeof numbers, " %.1f ms, %d runs each)", medianB, runs);
    line += std::string(labelB) + numbers;
    return line;
}

}  // namespace tolvar::bench
