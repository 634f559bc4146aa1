// "For me only" through the registration host against regsvr32 /s on the same file, in the same
// run: each sample is one program's whole run, from its start to its end, so the host's start-up
// counts. The two alternate which goes first in each round. Prints both medians and the ratio
// (goal: at most 1.2).
//
// Usage: host_bench [rounds=21] [file]
// The file defaults to classes_com.dll beside this program, the tests' server, which writes one
// class of the tests' own. regsvr32 writes it to the machine's classes, so the benchmark runs only
// under Wine, in a prefix made for the run; both registrations are undone at the end.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
#include "bench_win.h"
#include "host_command.h"
#include "module_path.h"
#include "win32_handles.h"

namespace {

namespace host = tolvar::host;

constexpr int kDefaultRounds = 21;
constexpr wchar_t kDefaultServer[] = L"classes_com.dll";
constexpr wchar_t kRegsvr32[] = L"\\regsvr32.exe";
constexpr wchar_t kSilent[] = L" /s";
constexpr wchar_t kUnregister[] = L" /u";
constexpr DWORD kLongestRunMs = 60000;
constexpr unsigned kBits = sizeof(void*) * 8;

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// Runs the command line to its end; its exit code, or nothing when it did not start or end.
std::optional<DWORD> Run(std::wstring line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return std::nullopt;
    }
    const tolvar::UniqueHandle process(started.hProcess), thread(started.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), kLongestRunMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &code)) {
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    return code;
}

struct Commands {
    std::wstring host, regsvr32;
};

Commands RegisterCommands(const std::wstring& hostProgram, const std::wstring& regsvr32,
                          const std::wstring& file, bool registering) {
    const host::Request request{host::Redirect::User, {}, registering, file};
    return {Quoted(hostProgram) + L" " + host::BuildArguments(request),
            Quoted(regsvr32) + kSilent + (registering ? L"" : kUnregister) + L" " + Quoted(file)};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds =
        argc > 1 ? tolvar::bench::ParseCount(argv[1], 1, tolvar::bench::kMaxRuns).value_or(0)
                 : kDefaultRounds;
    const std::wstring here = tolvar::ExecutableDirectory() + L"\\";
    const std::wstring file = argc > 2 ? tolvar::FromAnsi(argv[2]) : here + kDefaultServer;
    if (rounds == 0 || argc > 3) {
        std::fprintf(stderr, "usage: host_bench [rounds=%d] [file]\n", kDefaultRounds);
        return 2;
    }
    if (!UnderWine()) {
        std::fprintf(stderr, "regsvr32 writes to the machine's classes: only under Wine\n");
        return 2;
    }
    std::wstring system(MAX_PATH, L'\0');
    system.resize(GetSystemDirectoryW(system.data(), MAX_PATH));
    const std::wstring hostProgram = here + host::HostProgramName(kBits);
    const std::wstring regsvr32 = system + kRegsvr32;
    const Commands registering = RegisterCommands(hostProgram, regsvr32, file, true);

    // One untimed run each: the files and the registry keys in the caches.
    if (Run(registering.host) != 0u || Run(registering.regsvr32) != 0u) {
        std::fprintf(stderr, "the host or regsvr32 failed on %ls\n", file.c_str());
        return 1;
    }
    std::vector<double> hostMs, regsvr32Ms;
    int failed = 0;
    for (int r = 0; r < rounds; ++r) {
        for (int side = 0; side < 2; ++side) {
            const bool hostTurn = tolvar::bench::AFirstInRound(r) == (side == 0);
            const double t0 = tolvar::bench::NowMs();
            failed += Run(hostTurn ? registering.host : registering.regsvr32) != 0u;
            (hostTurn ? hostMs : regsvr32Ms).push_back(tolvar::bench::NowMs() - t0);
        }
    }
    const Commands unregistering = RegisterCommands(hostProgram, regsvr32, file, false);
    const bool undone = Run(unregistering.host) == 0u && Run(unregistering.regsvr32) == 0u;

    const double hostMedian = tolvar::bench::Median(hostMs);
    const double regsvr32Median = tolvar::bench::Median(regsvr32Ms);
    std::printf("%ls, %d rounds (median)\n", file.c_str(), rounds);
    std::printf("regsvr32 /s:                  %8.1f ms\n", regsvr32Median);
    std::printf("%ls /user:  %8.1f ms\n", host::HostProgramName(kBits).c_str(), hostMedian);
    std::printf("%s (goal <= 1.20)\n", tolvar::bench::RatioLine("host", hostMedian, "regsvr32",
                                                                regsvr32Median, rounds, "run")
                                           .c_str());
    if (failed > 0) std::printf("%d runs failed\n", failed);
    if (!undone) std::fprintf(stderr, "the registrations could not be undone\n");
    return failed > 0 || !undone ? 1 : 0;
}
