// History benchmark: Tolvar with a 1,000-entry history against the floor program doing the same
// profile and registry calls straight (floor_window --history=<file>). In one run, alternating:
//   start-up  Tolvar.exe to its window first shown, against the floor with the raw reads;
//   close     WM_CLOSE to the process's end, the history changed (one section names a missing
//             file, so the pruned list differs from the file and the save rewrites it), against
//             the floor deleting every section, writing 1,000 and flushing;
//   unchanged close  the file already holds exactly the list, against the load (the floor's
//             start-up with the raw reads less the bare floor's start-up).
// Usage (under Wine with a display): history_bench <Tolvar.exe> <floor_window.exe> [runs=3]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
#include "bench_win.h"
#include "whole_file.h"
#include "win32_handles.h"

namespace {

constexpr int kEntries = 1000;
constexpr int kDefaultRuns = 3;
constexpr DWORD kTimeoutMs = 120000;  // a save of 1,000 sections takes seconds under Wine
constexpr double kGoalRatio = 1.2;
constexpr char kTempDirPrefix[] = "tolvar-history-bench-";
constexpr char kHistoryFileName[] = "Tolvar.ini";
constexpr char kFloorHistoryFileName[] = "floor.ini";
constexpr char kTitleKey[] = "FileName";
constexpr char kMissingFileName[] = "missing.dll";

using tolvar::UniqueHandle;
using tolvar::bench::FileNameOf;
using tolvar::bench::NowMs;
using tolvar::bench::TempTree;
using tolvar::bench::WriteAged;
using tolvar::bench::WriteWholeFile;

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return tolvar::ReadWholeFile(tolvar::FromAnsi(path));
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
    std::vector<double> tolvarStart, tolvarClose, floorStart, floorClose;
    std::vector<double> loadedStart, unchangedClose, bareStart, bareClose;
};

void Print(const char* what, double a, const char* against, double b, const char* goal) {
    std::printf("%-17s Tolvar %8.1f ms   %-22s %8.1f ms   ratio %5.2f  (goal %s)\n", what, a,
                against, b, b > 0 ? a / b : 0.0, goal);
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
    const std::string filesDir = root + "\\files", tolvarDir = root + "\\tolvar",
                      floorDir = root + "\\floor";
    for (const std::string& dir : {filesDir, tolvarDir, floorDir})
        CreateDirectoryA(dir.c_str(), nullptr);
    const std::string tolvar = tolvarDir + "\\" + FileNameOf(argv[1]);
    const std::string floor = floorDir + "\\" + FileNameOf(argv[2]);
    if (!CopyFileA(argv[1], tolvar.c_str(), FALSE) || !CopyFileA(argv[2], floor.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy the programs\n");
        return 1;
    }

    // Every entry's file exists (empty); one more section names a file that does not.
    std::vector<std::string> files;
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\server%04d.dll", i);
        files.push_back(filesDir + name);
        if (!WriteWholeFile(files.back(), {})) {
            std::fprintf(stderr, "cannot create %s\n", files.back().c_str());
            return 1;
        }
    }
    const std::string exact = HistoryText(files);
    const std::string changed = exact + HistoryText({filesDir + "\\" + kMissingFileName});
    const std::string tolvarHistory = tolvarDir + "\\" + kHistoryFileName;
    const std::string floorHistory = floorDir + "\\" + kFloorHistoryFileName;
    const std::string floorArguments =
        "--history=\"" + floorHistory + "\" --keep=" + std::to_string(kEntries);

    // One untimed start of each: the first start of a copied program maps it from disk.
    if (!WriteAged(tolvarHistory, exact) || !StartAndClose(tolvar, {}) ||
        !StartAndClose(floor, {})) {
        return 1;
    }

    Samples s;
    int failures = 0;
    const auto record = [&failures](const std::optional<Timing>& timing, std::vector<double>& start,
                                    std::vector<double>* close) {
        if (!timing) {
            ++failures;
            return;
        }
        start.push_back(timing->startMs);
        if (close) close->push_back(timing->closeMs);
    };
    for (int run = 0; run < runs; ++run) {
        std::printf("run %d of %d\n", run + 1, runs);
        std::fflush(stdout);
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == tolvar::bench::AFirstInRound(run)) {
                // Tolvar: a changed history, then one that already holds exactly the list.
                if (!WriteAged(tolvarHistory, changed)) return 1;
                record(StartAndClose(tolvar, {}), s.tolvarStart, &s.tolvarClose);
                const auto saved = ReadWholeFile(tolvarHistory);
                if (!saved || SectionCount(*saved) != kEntries ||
                    saved->find(kMissingFileName) != std::string::npos) {
                    std::fprintf(stderr, "Tolvar's save is not the pruned list\n");
                    ++failures;
                }
                if (!WriteAged(tolvarHistory, exact)) return 1;
                record(StartAndClose(tolvar, {}), s.loadedStart, &s.unchangedClose);
                if (ReadWholeFile(tolvarHistory) != exact) {
                    std::fprintf(stderr, "Tolvar changed a history that held the list\n");
                    ++failures;
                }
            } else {
                // The floor: the same raw reads and writes, and the bare window alone.
                if (!WriteAged(floorHistory, changed)) return 1;
                record(StartAndClose(floor, floorArguments), s.floorStart, &s.floorClose);
                const auto saved = ReadWholeFile(floorHistory);
                if (!saved || SectionCount(*saved) != kEntries) {
                    std::fprintf(stderr, "the floor's save does not hold %d sections\n", kEntries);
                    ++failures;
                }
                record(StartAndClose(floor, {}), s.bareStart, &s.bareClose);
            }
        }
    }

    using tolvar::bench::Median;
    const double bareStart = Median(s.bareStart), bareClose = Median(s.bareClose);
    const double rawLoad = Median(s.floorStart) - bareStart;
    std::printf(
        "\n%d entries, %d runs each, medians; bare floor window: start-up %.1f ms, "
        "close %.1f ms\n",
        kEntries, runs, bareStart, bareClose);
    Print("start-up", Median(s.tolvarStart), "floor + raw reads", Median(s.floorStart), "<= 1.20");
    Print("close (save)", Median(s.tolvarClose), "floor + raw writes", Median(s.floorClose),
          "<= 1.20");
    Print("unchanged close", Median(s.unchangedClose), "load (raw reads)", rawLoad, "<= 1.00");
    std::printf("%-17s Tolvar %8.1f ms   (start-up with the file that needs no save)\n",
                "start-up, exact", Median(s.loadedStart));
    const bool met = Median(s.tolvarStart) <= kGoalRatio * Median(s.floorStart) &&
                     Median(s.tolvarClose) <= kGoalRatio * Median(s.floorClose) &&
                     Median(s.unchangedClose) <= rawLoad;
    std::printf("goals %s; %d failed runs\n", met ? "met" : "missed", failures);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
