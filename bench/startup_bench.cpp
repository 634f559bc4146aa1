// Start-up benchmark: the time from starting a program to its first visible top-level window,
// for two programs started alternately, and the ratio of their medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "bench_win.h"
#include "win32_handles.h"

namespace {

using tolvar::bench::Options;

constexpr DWORD kTimeoutMs = 10000;  // for the window to show and for the program to end
constexpr char kTempDirPrefix[] = "tolvar-bench-";

using tolvar::UniqueHandle;
using tolvar::UniqueWinEventHook;
using tolvar::bench::FileNameOf;
using tolvar::bench::NowMs;
using tolvar::bench::TempTree;

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The process being watched, shared with the WinEvent callback (which has no context pointer).
struct Watch {
    DWORD processId = 0;
    HWND window = nullptr;
    double shownAt = 0;
};
Watch g_watch;

bool IsShownTopLevelOf(HWND hwnd, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    return owner == processId && IsWindowVisible(hwnd) &&
           GetAncestor(hwnd, GA_PARENT) == GetDesktopWindow();
}

void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND hwnd, LONG idObject, LONG idChild, DWORD, DWORD) {
    if (g_watch.window || idObject != OBJID_WINDOW || idChild != CHILDID_SELF || !hwnd) return;
    if (IsShownTopLevelOf(hwnd, g_watch.processId)) {
        g_watch.shownAt = NowMs();
        g_watch.window = hwnd;
    }
}

BOOL CALLBACK FindShown(HWND hwnd, LPARAM found) {
    if (!IsShownTopLevelOf(hwnd, g_watch.processId)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

struct RunResult {
    std::optional<double> ms;  // nothing when no window showed
    bool byHook = false;
    bool killed = false;
};

class Runner {
  public:
    explicit Runner(const Options& options) : options_(options) {
        hook_.reset(SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow, 0, 0,
                                    WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
    }

    RunResult Run(const std::string& exe) {
        // A fresh copy per run keeps anything a program writes beside itself from building up.
        const std::optional<TempTree> copyDir =
            options_.freshCopy ? TempTree::Create(kTempDirPrefix) : std::optional<TempTree>();
        std::string program = exe;
        if (options_.freshCopy) {
            if (!copyDir) return {};
            program = copyDir->path() + "\\" + FileNameOf(exe);
            if (!CopyFileA(exe.c_str(), program.c_str(), TRUE)) return {};
        }
        const std::string directory = DirectoryOf(program);
        std::string commandLine = "\"" + program + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        Sleep(static_cast<DWORD>(options_.pauseMs));
        PumpMessages();  // drop events left from the previous run
        g_watch = Watch{};

        const double start = NowMs();
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                            &info)) {
            std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), GetLastError());
            return {};
        }
        const UniqueHandle process(info.hProcess);
        const UniqueHandle thread(info.hThread);
        g_watch.processId = info.dwProcessId;

        RunResult result;
        HWND window = nullptr;
        double shownAt = 0;
        for (;;) {
            PumpMessages();
            if (g_watch.window) {
                window = g_watch.window;
                shownAt = g_watch.shownAt;
                result.byHook = true;
                break;
            }
            HWND found = nullptr;
            EnumWindows(FindShown, reinterpret_cast<LPARAM>(&found));
            if (found) {
                shownAt = NowMs();
                window = found;
                break;
            }
            if (NowMs() - start > kTimeoutMs) break;
            if (MsgWaitForMultipleObjects(1, &info.hProcess, FALSE,
                                          static_cast<DWORD>(options_.pollMs),
                                          QS_ALLINPUT) == WAIT_OBJECT_0) {
                break;  // ended without showing a window
            }
        }
        if (window) {
            result.ms = shownAt - start;
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process.get(), kTimeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), kTimeoutMs);
            result.killed = true;
        }
        return result;
    }

    bool HasHook() const { return hook_.is_valid(); }

  private:
    const Options& options_;
    UniqueWinEventHook hook_;
};

struct Tally {
    std::vector<double> ms;
    int failures = 0;
    int byHook = 0;
    int killed = 0;
};

void Record(Tally& tally, const RunResult& result, const std::string& label, bool verbose) {
    if (result.killed) ++tally.killed;
    if (!result.ms) {
        ++tally.failures;
        std::fprintf(stderr, "%s: no window shown\n", label.c_str());
        return;
    }
    tally.ms.push_back(*result.ms);
    if (result.byHook) ++tally.byHook;
    if (verbose) {
        std::printf("  %s %.1f ms%s%s\n", label.c_str(), *result.ms,
                    result.byHook ? "" : " (polled)", result.killed ? " (killed)" : "");
    }
}

void PrintSummary(const std::string& label, const Tally& tally) {
    std::vector<double> sorted = tally.ms;
    std::sort(sorted.begin(), sorted.end());
    std::printf(
        "%s: median %.1f ms, min %.1f, max %.1f, %zu runs (%d seen by event hook, "
        "%d failed, %d killed)\n",
        label.c_str(), tolvar::bench::Median(tally.ms), sorted.empty() ? 0.0 : sorted.front(),
        sorted.empty() ? 0.0 : sorted.back(), tally.ms.size(), tally.byHook, tally.failures,
        tally.killed);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        tolvar::bench::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "%s\n%s\n", error.c_str(), tolvar::bench::Usage().c_str());
        return 2;
    }
    Runner runner(*options);
    if (!runner.HasHook()) std::printf("no event hook; polling only\n");
    const std::string* exes[2] = {&options->exeA, &options->exeB};
    const std::string* labels[2] = {&options->labelA, &options->labelB};

    for (int i = 0; i < options->warmup; ++i) {
        for (int which = 0; which < 2; ++which) runner.Run(*exes[which]);
    }
    Tally tallies[2];
    for (int round = 0; round < options->runs; ++round) {
        const int first = tolvar::bench::AFirstInRound(round) ? 0 : 1;
        for (int which : {first, 1 - first}) {
            Record(tallies[which], runner.Run(*exes[which]), *labels[which], options->verbose);
        }
    }
    PrintSummary(*labels[0], tallies[0]);
    PrintSummary(*labels[1], tallies[1]);
    std::printf("%s\n", tolvar::bench::RatioLine(*labels[0], tolvar::bench::Median(tallies[0].ms),
                                                 *labels[1], tolvar::bench::Median(tallies[1].ms),
                                                 options->runs)
                            .c_str());
    std::fflush(stdout);
    return tallies[0].failures + tallies[1].failures == 0 ? 0 : 1;
}
