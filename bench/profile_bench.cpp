// clsProfile against the profile functions called straight: GetSectNames plus one GetString per
// section of a 1,000-section file, the way the history file is loaded, against the same calls
// to GetPrivateProfileStringA with the same 200,000-byte buffers. Prints the medians and ratio.
// Usage: profile_bench [rounds=15]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
#include "bench_win.h"
#include "clsProfile.h"

namespace {

constexpr int kSections = 1000;
constexpr size_t kBufferChars = 200000;
constexpr DWORD kCapacity = kBufferChars - 1;
constexpr char kKey[] = "FileName";
constexpr char kTempDirPrefix[] = "tolvar-profile-bench-";
constexpr char kProfileFileName[] = "history.ini";

// The history file's shape: one section per server, its title under kKey.
std::string ProfileText() {
    std::string text;
    for (int i = 0; i < kSections; ++i) {
        const std::string name = "server" + std::to_string(i) + ".dll";
        text += "[C:\\Program Files\\Zelvo\\bin\\" + name + "]\r\n" + kKey + "=" + name + "\r\n";
    }
    return text;
}

size_t RunClass(const tolvar::clsProfile& profile) {
    size_t chars = 0;
    const tolvar::TaggedValue names = profile.GetSectNames();
    for (const std::wstring& name : *names.Get<std::vector<std::wstring>>())
        chars += profile.GetString(name, L"FileName").size();
    return chars;
}

size_t RunRaw(const std::string& file) {
    // The names are copied out and their buffer freed before the values are read, as the class
    // does: a 200,000-byte block kept alive changes how the heap serves the next ones.
    std::vector<std::string> sections;
    {
        std::string names(kBufferChars, '\0');
        if (GetPrivateProfileStringA(nullptr, nullptr, nullptr, names.data(), kCapacity,
                                     file.c_str()) < 1)
            return 0;
        for (const char* name = names.c_str(); *name != '\0'; name += std::strlen(name) + 1)
            sections.emplace_back(name);
    }
    size_t chars = 0;
    for (const std::string& name : sections) {
        std::string value(kBufferChars, '\0');
        GetPrivateProfileStringA(name.c_str(), kKey, nullptr, value.data(), kCapacity,
                                 file.c_str());
        chars += std::string(value.c_str()).size();
    }
    return chars;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::optional<tolvar::bench::TempTree> tree =
        tolvar::bench::TempTree::Create(kTempDirPrefix);
    if (!tree) {
        std::fprintf(stderr, "cannot make a temporary directory\n");
        return 1;
    }
    const std::string file = tree->path() + "\\" + kProfileFileName;
    // Aged, so that Wine serves the reads from its profile cache.
    if (!tolvar::bench::WriteAged(file, ProfileText())) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    tolvar::clsProfile profile;
    profile.FileName(tolvar::FromAnsi(file));

    // One untimed pass each loads the file into the system's cache.
    const size_t expected = RunRaw(file);
    if (RunClass(profile) != expected || expected == 0) {
        std::printf("results differ: %zu characters raw\n", expected);
        return 1;
    }
    std::vector<double> raw, cls;
    for (int r = 0; r < rounds; ++r) {
        // Alternate which goes first, so neither always meets a warmer cache.
        for (int side = 0; side < 2; ++side) {
            const bool classFirst = tolvar::bench::AFirstInRound(r) == (side == 0);
            const double t0 = tolvar::bench::NowMs();
            const size_t chars = classFirst ? RunClass(profile) : RunRaw(file);
            const double elapsed = tolvar::bench::NowMs() - t0;
            (classFirst ? cls : raw).push_back(elapsed);
            if (chars != expected) std::printf("round %d: %zu characters\n", r, chars);
        }
    }
    const double rawMedian = tolvar::bench::Median(raw), clsMedian = tolvar::bench::Median(cls);
    std::printf("%d sections, %d rounds (median)\n", kSections, rounds);
    std::printf("GetPrivateProfileStringA: %8.2f ms\n", rawMedian);
    std::printf("clsProfile:               %8.2f ms\n", clsMedian);
    std::printf("ratio:                    %8.2f (goal <= 2.00)\n", clsMedian / rawMedian);
    return 0;
}
