// History benchmark: Tolvar's start-up and close with a history file, each against a floor
// measured in the same run (floor_window.exe, started and ended as Tolvar is), alternating which
// goes first:
//   start-up  1,000 entries: Tolvar.exe to its window first shown, against the floor with the
//             raw profile reads (--history);
//   close     1,000 entries, one changed (one more section names a missing file, so the pruned
//             list differs from the file and the save rewrites it): WM_CLOSE to the process's
//             end, against the floor writing the same bytes to a new file and moving it onto the
//             old one (--history-bytes), and against the old save (the floor deleting every
//             section, writing 1,000 and flushing), which shows what the change gained;
//   unchanged close  the file already holds exactly the list, against the load (the floor's
//             start-up with the raw reads less the bare floor's start-up);
//   long close  5,000 sections whose names overflow the profile functions' section-name buffer,
//             so Tolvar keeps the names that fit and the save rewrites the file: against the
//             floor writing the same bytes, and once against the old save (it takes seconds).
// Usage (under Wine with a display): history_bench <Tolvar.exe> <floor_window.exe> [runs=3]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
#include "bench_win.h"
#include "clsProfile.h"
#include "whole_file.h"
#include "win32_handles.h"

namespace {

constexpr int kEntries = 1000;
// Names of this many characters overflow the section-name buffer after about 830 sections.
constexpr int kLongSections = 5000;
constexpr std::size_t kLongNameChars = 240;
constexpr int kDefaultRuns = 3;
constexpr DWORD kTimeoutMs = 300000;  // the old save of the long file takes up to a minute
// A start-up with a history costs no more than the reads it needs.
constexpr double kStartGoalRatio = 1.0;
constexpr double kUnchangedGoalRatio = 1.0;
constexpr double kSaveGoalRatio = 1.5;
constexpr double kSaveGoalMs = 100;
constexpr double kLongSaveGoalMs = 1000;
constexpr char kTempDirPrefix[] = "tolvar-history-bench-";
constexpr char kHistoryFileName[] = "Tolvar.ini";
constexpr char kFloorHistoryFileName[] = "floor.ini";
constexpr char kFloorBytesFileName[] = "bytes.ini";
constexpr char kFloorLongBytesFileName[] = "long-bytes.ini";
constexpr char kTitleKey[] = "FileName";
constexpr char kMissingFileName[] = "missing.dll";
constexpr std::string_view kServerExtension = ".dll";

using tolvar::UniqueHandle;
using tolvar::bench::FileNameOf;
using tolvar::bench::NowMs;
using tolvar::bench::TempTree;
using tolvar::bench::WriteAged;
using tolvar::bench::WriteWholeFile;

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return tolvar::ReadWholeFile(tolvar::FromAnsi(path));
}

// "<dir>\server0042.dll", padded before the extension to `chars` characters when shorter.
std::string ServerPath(const std::string& dir, int index, std::size_t chars) {
    char name[32];
    std::snprintf(name, sizeof name, "\\server%04d", index);
    std::string path = dir + name;
    if (path.size() + kServerExtension.size() < chars) {
        path.append(chars - path.size() - kServerExtension.size(), 'x');
    }
    return path + std::string(kServerExtension);
}

// Creates `count` empty server files in the directory; nothing when one cannot be made.
std::optional<std::vector<std::string>> MakeServers(const std::string& dir, int count,
                                                    std::size_t chars) {
    if (!CreateDirectoryA(dir.c_str(), nullptr)) return std::nullopt;
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(ServerPath(dir, i, chars));
        if (!WriteWholeFile(files.back(), {})) {
            std::fprintf(stderr, "cannot create %s\n", files.back().c_str());
            return std::nullopt;
        }
    }
    return files;
}

// The history file's text: one section per file with its title, as the profile functions
// write it.
std::string HistoryText(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& file : files) {
        text += "[" + file + "]\r\n" + kTitleKey + "=" + FileNameOf(file) + "\r\n";
    }
    return text;
}

std::size_t SectionCount(const std::string& text) {
    std::size_t count = text.starts_with('[') ? 1 : 0;
    for (std::size_t at = text.find("\n["); at != std::string::npos;
         at = text.find("\n[", at + 1)) {
        ++count;
    }
    return count;
}

struct Shown {
    DWORD processId = 0;
    HWND window = nullptr;
};

BOOL CALLBACK FindShown(HWND hwnd, LPARAM param) {
    auto& shown = *reinterpret_cast<Shown*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != shown.processId || !IsWindowVisible(hwnd) ||
        GetAncestor(hwnd, GA_PARENT) != GetDesktopWindow()) {
        return TRUE;
    }
    shown.window = hwnd;
    return FALSE;
}

struct Timing {
    double startMs = 0;  // start to the window first shown
    double closeMs = 0;  // WM_CLOSE to the process's end
};

// Starts the program, waits for its first visible top-level window, closes it and waits for the
// end. Nothing when the window never showed or the program did not end.
std::optional<Timing> StartAndClose(const std::string& exe, const std::string& arguments) {
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    const std::string directory = exe.substr(0, exe.find_last_of('\\'));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    Sleep(100);  // the last program's teardown
    const double start = NowMs();
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return std::nullopt;
    }
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    Shown shown{info.dwProcessId, nullptr};
    double shownAt = 0;
    while (!shown.window) {
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&shown));
        shownAt = NowMs();
        if (shown.window) break;
        if (shownAt - start > kTimeoutMs ||
            WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "%s: no window shown\n", exe.c_str());
            TerminateProcess(process.get(), 1);
            return std::nullopt;
        }
    }
    const double closing = NowMs();
    PostMessageA(shown.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), kTimeoutMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s: did not end after WM_CLOSE\n", exe.c_str());
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    return Timing{shownAt - start, NowMs() - closing};
}

struct Samples {
    std::vector<double> tolvarStart, tolvarClose, floorStart, oldClose, bytesClose;
    std::vector<double> loadedStart, unchangedClose, bareStart, bareClose;
    std::vector<double> longClose, longBytesClose, longOldClose;
};

void Print(const char* what, double a, const char* against, double b, const std::string& goal) {
    std::printf("%-17s Tolvar %8.1f ms   %-22s %8.1f ms   ratio %5.2f  (%s)\n", what, a, against, b,
                b > 0 ? a / b : 0.0, goal.c_str());
}

std::string RatioGoal(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "goal <= %.2f", ratio);
    return text;
}

std::string TimeGoal(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "Tolvar <= %.0f ms", ms);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: history_bench <Tolvar.exe> <floor_window.exe> [runs=%d]\n",
                     kDefaultRuns);
        return 2;
    }
    const int runs = argc == 4 ? std::max(1, std::atoi(argv[3])) : kDefaultRuns;
    const std::optional<TempTree> tree = TempTree::Create(kTempDirPrefix);
    if (!tree) {
        std::fprintf(stderr, "cannot make a temporary directory\n");
        return 1;
    }
    const std::string root = tree->path();
    const std::string tolvarDir = root + "\\tolvar", floorDir = root + "\\floor";
    for (const std::string& dir : {tolvarDir, floorDir}) CreateDirectoryA(dir.c_str(), nullptr);
    const std::string tolvar = tolvarDir + "\\" + FileNameOf(argv[1]);
    const std::string floor = floorDir + "\\" + FileNameOf(argv[2]);
    if (!CopyFileA(argv[1], tolvar.c_str(), FALSE) || !CopyFileA(argv[2], floor.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy the programs\n");
        return 1;
    }

    // Every entry's file exists (empty); in the changed history one more section names a file
    // that does not.
    const std::string filesDir = root + "\\files";
    const auto files = MakeServers(filesDir, kEntries, 0);
    const auto longFiles = MakeServers(root + "\\long", kLongSections, kLongNameChars);
    if (!files || !longFiles) return 1;
    const std::string exact = HistoryText(*files);
    const std::string changed = exact + HistoryText({filesDir + "\\" + kMissingFileName});
    const std::string longText = HistoryText(*longFiles);
    const std::string tolvarHistory = tolvarDir + "\\" + kHistoryFileName;
    const std::string floorHistory = floorDir + "\\" + kFloorHistoryFileName;
    const std::string floorBytes = floorDir + "\\" + kFloorBytesFileName;
    const std::string floorLongBytes = floorDir + "\\" + kFloorLongBytesFileName;

    // One untimed start of each (the first start of a copied program maps it from disk). Tolvar's
    // is with the long file: its save gives the list that fits, which the floor then writes.
    if (!WriteAged(tolvarHistory, longText) || !StartAndClose(tolvar, {}) ||
        !StartAndClose(floor, {})) {
        return 1;
    }
    const std::optional<std::string> longKept = ReadWholeFile(tolvarHistory);
    const std::size_t kept = longKept ? SectionCount(*longKept) : 0;
    if (kept == 0 || kept >= kLongSections ||
        *longKept != HistoryText({longFiles->begin(), longFiles->begin() + kept})) {
        std::fprintf(stderr, "Tolvar's save of the long file is not its first sections\n");
        return 1;
    }
    if (!WriteWholeFile(floorBytes, exact) || !WriteWholeFile(floorLongBytes, *longKept)) return 1;

    const std::string oldArguments =
        "--history=\"" + floorHistory + "\" --keep=" + std::to_string(kEntries);
    const std::string longOldArguments =
        "--history=\"" + floorHistory + "\" --keep=" + std::to_string(kept);
    const std::string saveTo = " --save-to=\"" + floorHistory + "\"";
    const std::string bytesArguments = "--history-bytes=\"" + floorBytes + "\"" + saveTo;
    const std::string longBytesArguments = "--history-bytes=\"" + floorLongBytes + "\"" + saveTo;

    Samples s;
    int failures = 0;
    const auto record = [&failures](const std::optional<Timing>& timing, std::vector<double>* start,
                                    std::vector<double>& close) {
        if (!timing) {
            ++failures;
            return;
        }
        if (start) start->push_back(timing->startMs);
        close.push_back(timing->closeMs);
    };
    // Writes the file (aged), runs the program on it and checks what its close left there; false
    // only when the file cannot be written.
    const auto timed = [&](const std::string& exe, const std::string& arguments,
                           const std::string& file, const std::string& before,
                           std::vector<double>* start, std::vector<double>& close,
                           const auto& check, const char* fault) {
        if (!WriteAged(file, before)) return false;
        record(StartAndClose(exe, arguments), start, close);
        if (const auto left = ReadWholeFile(file); !left || !check(*left)) {
            std::fprintf(stderr, "%s\n", fault);
            ++failures;
        }
        return true;
    };
    const auto is = [](const std::string& expected) {
        return [&expected](const std::string& text) { return text == expected; };
    };
    const auto holds = [](std::size_t sections) {
        return [sections](const std::string& text) { return SectionCount(text) == sections; };
    };

    for (int run = 0; run < runs; ++run) {
        std::printf("run %d of %d\n", run + 1, runs);
        std::fflush(stdout);
        for (int turn = 0; turn < 2; ++turn) {
            bool written = true;
            if ((turn == 0) == tolvar::bench::AFirstInRound(run)) {
                written = timed(tolvar, {}, tolvarHistory, changed, &s.tolvarStart, s.tolvarClose,
                                is(exact), "Tolvar's save is not the pruned list") &&
                          timed(tolvar, {}, tolvarHistory, exact, &s.loadedStart, s.unchangedClose,
                                is(exact), "Tolvar changed a history that held the list") &&
                          timed(tolvar, {}, tolvarHistory, longText, nullptr, s.longClose,
                                is(*longKept), "Tolvar's save of the long file differs");
            } else {
                record(StartAndClose(floor, {}), &s.bareStart, s.bareClose);
                written =
                    timed(floor, oldArguments, floorHistory, changed, &s.floorStart, s.oldClose,
                          holds(kEntries), "the old save does not hold the entries") &&
                    timed(floor, bytesArguments, floorHistory, changed, nullptr, s.bytesClose,
                          is(exact), "the floor's bytes are not in place") &&
                    timed(floor, longBytesArguments, floorHistory, longText, nullptr,
                          s.longBytesClose, is(*longKept),
                          "the floor's long bytes are not in place");
                // The old save of the long file rewrites the whole file at every section it
                // deletes: once is enough to show it.
                if (written && run == 0) {
                    written = timed(floor, longOldArguments, floorHistory, longText, nullptr,
                                    s.longOldClose, holds(kLongSections),
                                    "the old save of the long file lost sections");
                }
            }
            if (!written) {
                std::fprintf(stderr, "cannot write a history file\n");
                return 1;
            }
        }
    }

    using tolvar::bench::Median;
    const double bareStart = Median(s.bareStart), bareClose = Median(s.bareClose);
    const double rawLoad = Median(s.floorStart) - bareStart;
    const double tolvarStart = Median(s.tolvarStart), floorStart = Median(s.floorStart);
    const double tolvarClose = Median(s.tolvarClose), bytesClose = Median(s.bytesClose);
    const double unchangedClose = Median(s.unchangedClose), longClose = Median(s.longClose);
    std::printf(
        "\n%d entries, %d runs each, medians; bare floor window: start-up %.1f ms, "
        "close %.1f ms\n",
        kEntries, runs, bareStart, bareClose);
    Print("start-up", tolvarStart, "floor + raw reads", floorStart, RatioGoal(kStartGoalRatio));
    Print("close (save)", tolvarClose, "floor: bytes, move", bytesClose,
          RatioGoal(kSaveGoalRatio) + " and " + TimeGoal(kSaveGoalMs));
    Print("close (save)", tolvarClose, "old save (raw writes)", Median(s.oldClose), "before/after");
    Print("unchanged close", unchangedClose, "load (raw reads)", rawLoad,
          RatioGoal(kUnchangedGoalRatio));
    std::printf("%-17s Tolvar %8.1f ms   (start-up with the file that needs no save)\n",
                "start-up, exact", Median(s.loadedStart));
    std::printf(
        "\n%d sections named with %zu characters each, more than the %zu-character section-name "
        "buffer holds; Tolvar keeps the first %zu\n",
        kLongSections, kLongNameChars, tolvar::clsProfile::kTextBufferChars, kept);
    Print("long close (save)", longClose, "floor: bytes, move", Median(s.longBytesClose),
          "goal " + TimeGoal(kLongSaveGoalMs));
    Print("long close (save)", longClose, "old save, 1 run", Median(s.longOldClose),
          "before/after");

    std::string missed;
    const auto goal = [&missed](bool met, const char* name) {
        if (!met) missed += std::string(missed.empty() ? "" : ", ") + name;
    };
    goal(tolvarStart <= kStartGoalRatio * floorStart, "start-up");
    goal(tolvarClose <= kSaveGoalRatio * bytesClose && tolvarClose <= kSaveGoalMs, "close (save)");
    goal(unchangedClose <= kUnchangedGoalRatio * rawLoad, "unchanged close");
    goal(longClose <= kLongSaveGoalMs, "long close (save)");
    std::printf("goals %s%s; %d failed runs\n", missed.empty() ? "met" : "missed: ", missed.c_str(),
                failures);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
