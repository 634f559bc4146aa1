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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
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
// Wine's profile functions cache a file only once it is a couple of seconds old; without the
// cache every read parses the whole file again.
constexpr ULONGLONG kAgeSeconds = 60;

using tolvar::UniqueHandle;

double NowMs() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    const UniqueHandle file(opened);
    DWORD written = 0;
    return bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                       &written, nullptr) &&
                             written == bytes.size());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return tolvar::ReadWholeFile(tolvar::FromAnsi(path));
}

bool Age(const std::string& path) {
    const HANDLE opened = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    const UniqueHandle file(opened);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= kAgeSeconds * 10000000ULL;
    const FILETIME old{t.LowPart, t.HighPart};
    return SetFileTime(file.get(), &old, &old, &old) != FALSE;
}

bool WriteAged(const std::string& path, const std::string& bytes) {
    return WriteWholeFile(path, bytes) && Age(path);
}

// A new directory under the temporary folder, removed with everything in it when released.
class TempTree {
  public:
    static std::optional<TempTree> Create() {
        char base[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof base, base);
        if (n == 0 || n >= sizeof base) return std::nullopt;
        std::string path =
            std::string(base) + kTempDirPrefix + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(path.c_str(), nullptr)) return std::nullopt;
        return TempTree(std::move(path));
    }
    TempTree(TempTree&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    TempTree& operator=(TempTree&&) = delete;
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree() {
        if (!path_.empty()) Remove(path_);
    }
    const std::string& path() const { return path_; }

  private:
    explicit TempTree(std::string path) : path_(std::move(path)) {}
    static void Remove(const std::string& dir) {
        WIN32_FIND_DATAA data;
        const HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = dir + "\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(path);
                } else {
                    // A program's image may be released a moment after it has ended.
                    for (int attempt = 0; attempt < 50 && !DeleteFileA(path.c_str()); ++attempt) {
                        Sleep(10);
                    }
                }
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(dir.c_str());
    }
    std::string path_;
};

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
    const std::optional<TempTree> tree = TempTree::Create();
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
