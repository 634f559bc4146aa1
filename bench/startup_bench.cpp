// Start-up benchmark: the time from starting a program to its first visible top-level window,
// for two programs started alternately, and the ratio of their medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "bench_stats.h"
#include "win32_handles.h"

namespace {

using tolvar::bench::Options;

constexpr DWORD kTimeoutMs = 10000;  // for the window to show and for the program to end
constexpr char kTempDirPrefix[] = "tolvar-bench-";

using tolvar::UniqueHandle;

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

struct WinEventUnhooker {
    void operator()(HWINEVENTHOOK h) const { UnhookWinEvent(h); }
};
using UniqueWinEventHook = std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, WinEventUnhooker>;

class Clock {
  public:
    Clock() { QueryPerformanceFrequency(&frequency_); }
    static LONGLONG Now() {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t.QuadPart;
    }
    double Ms(LONGLONG from, LONGLONG to) const {
        return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency_.QuadPart);
    }

  private:
    LARGE_INTEGER frequency_{};
};

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new directory under the temporary folder, removed with every file in it when released.
class TempDir {
  public:
    static std::optional<TempDir> Create() {
        char base[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof base, base);
        if (n == 0 || n >= sizeof base) return std::nullopt;
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = std::string(base) + kTempDirPrefix +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++counter);
            if (CreateDirectoryA(path.c_str(), nullptr)) return TempDir(std::move(path));
            if (GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
        }
        return std::nullopt;
    }
    TempDir(TempDir&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    TempDir& operator=(TempDir&&) = delete;
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        if (path_.empty()) return;
        // The program has ended, but its image may be released a moment later.
        for (int attempt = 0; attempt < 50; ++attempt) {
            DeleteFiles();
            if (RemoveDirectoryA(path_.c_str())) return;
            Sleep(10);
        }
    }
    const std::string& path() const { return path_; }

  private:
    explicit TempDir(std::string path) : path_(std::move(path)) {}
    void DeleteFiles() const {
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA((path_ + "\\*").c_str(), &data));
        if (find.get() == INVALID_HANDLE_VALUE) {
            find.release();
            return;
        }
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileA((path_ + "\\" + data.cFileName).c_str());
            }
        } while (FindNextFileA(find.get(), &data));
    }
    std::string path_;
};

// The process being watched, shared with the WinEvent callback (which has no context pointer).
struct Watch {
    DWORD processId = 0;
    HWND window = nullptr;
    LONGLONG shownAt = 0;
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
        g_watch.shownAt = Clock::Now();
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
        const std::optional<TempDir> copyDir =
            options_.freshCopy ? TempDir::Create() : std::optional<TempDir>();
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

        const LONGLONG start = Clock::Now();
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
        LONGLONG shownAt = 0;
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
                shownAt = Clock::Now();
                window = found;
                break;
            }
            if (clock_.Ms(start, Clock::Now()) > kTimeoutMs) break;
            if (MsgWaitForMultipleObjects(1, &info.hProcess, FALSE,
                                          static_cast<DWORD>(options_.pollMs),
                                          QS_ALLINPUT) == WAIT_OBJECT_0) {
                break;  // ended without showing a window
            }
        }
        if (window) {
            result.ms = clock_.Ms(start, shownAt);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process.get(), kTimeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), kTimeoutMs);
            result.killed = true;
        }
        return result;
    }

    bool HasHook() const { return hook_ != nullptr; }

  private:
    const Options& options_;
    Clock clock_;
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
