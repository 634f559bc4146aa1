// clsProfile against the profile functions called straight: GetSectNames plus one GetString per
// section of a 1,000-section file, the way the history file is loaded, against the same calls
// to GetPrivateProfileStringA with the same 200,000-byte buffers. Prints the medians and ratio.
// Usage: profile_bench [rounds=15]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ansi.h"
#include "clsProfile.h"

namespace {

constexpr int kSections = 1000;
constexpr size_t kBufferChars = 200000;
constexpr DWORD kCapacity = kBufferChars - 1;
constexpr char kKey[] = "FileName";

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string MakeFile() {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path =
        std::string(dir) + "tolvar-profile-bench-" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < kSections; ++i) {
        out << "[C:\\Program Files\\Zelvo\\bin\\server" << i << ".dll]\r\n"
            << kKey << "=server" << i << ".dll\r\n";
    }
    out.close();
    // Wine caches a profile file only once it is a few seconds old: age it.
    const HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 60ULL * 10000000ULL;
    const FILETIME old{t.LowPart, t.HighPart};
    SetFileTime(h, &old, &old, &old);
    CloseHandle(h);
    return path;
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
    const std::string file = MakeFile();
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
            const bool classFirst = (r % 2 == 0) == (side == 0);
            const double t0 = Now();
            const size_t chars = classFirst ? RunClass(profile) : RunRaw(file);
            const double elapsed = Now() - t0;
            (classFirst ? cls : raw).push_back(elapsed);
            if (chars != expected) std::printf("round %d: %zu characters\n", r, chars);
        }
    }
    const double rawMedian = Median(raw), clsMedian = Median(cls);
    std::printf("%d sections, %d rounds (median)\n", kSections, rounds);
    std::printf("GetPrivateProfileStringA: %8.2f ms\n", rawMedian * 1e3);
    std::printf("clsProfile:               %8.2f ms\n", clsMedian * 1e3);
    std::printf("ratio:                    %8.2f (goal <= 2.00)\n", clsMedian / rawMedian);
    DeleteFileA(file.c_str());
    return 0;
}
