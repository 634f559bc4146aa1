// A registration of 1,000 keys saved as a .reg file: the save (the stand-in roots read, the file
// written) against the registration's own writes of the same keys, in the same run, and the
// throw-away key's removal, which follows in the background. Goal: the save takes at most 200 ms
// beyond the registration.
//
// Usage: regfile_bench [rounds=11]. Under Wine or Windows; it writes only below a throw-away key
// of HKEY_CURRENT_USER and into the temporary folder.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "bench_win.h"
#include "host_command.h"
#include "registry_snapshot.h"
#include "win32_handles.h"

namespace {

constexpr int kDefaultRounds = 11;
// Each class is two keys (the class and its InprocServer32), with two values.
constexpr int kKeysPerClass = 2;
constexpr int kKeys = 1000;
constexpr int kClasses = kKeys / kKeysPerClass;
constexpr double kGoalMs = 200;
constexpr wchar_t kBenchKey[] = L"Software\\Tolvar\\Bench\\regfile";
constexpr std::wstring_view kRoots[] = {tolvar::host::kMappedClassesRoot,
                                        tolvar::host::kMappedLocalMachine,
                                        tolvar::host::kMappedCurrentUser};

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

// What a server with many classes writes: a CLSID key each, with its server and threading model.
bool Register() {
    for (int i = 0; i < kClasses; ++i) {
        wchar_t clsid[64];
        std::swprintf(clsid, 64, L"{%08X-0000-4000-8000-000000000000}", static_cast<unsigned>(i));
        const std::wstring path = tolvar::MappedViewKey(kBenchKey, tolvar::MappedView::Native) +
                                  L"\\" + std::wstring(kRoots[0]) + L"\\CLSID\\" + clsid +
                                  L"\\InprocServer32";
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const tolvar::UniqueRegKey owned(key);
        if (!SetString(key, nullptr, L"C:\\Program Files\\Vendor\\server.dll") ||
            !SetString(key, L"ThreadingModel", L"Apartment")) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds =
        argc > 1 ? tolvar::bench::ParseCount(argv[1], 1, 1000).value_or(0) : kDefaultRounds;
    if (rounds == 0) {
        std::fprintf(stderr, "usage: regfile_bench [rounds=%d]\n", kDefaultRounds);
        return 2;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"tolvar-regfile-bench.reg";
    std::vector<double> registrations, saves, removals;
    for (int round = 0; round < rounds; ++round) {
        const double start = tolvar::bench::NowMs();
        if (!Register()) {
            std::fprintf(stderr, "the registration's keys could not be written\n");
            return 1;
        }
        const double registered = tolvar::bench::NowMs();
        const tolvar::SavedRegFile saved =
            tolvar::SaveMappedRegistration(HKEY_CURRENT_USER, kBenchKey, kRoots, file);
        const double done = tolvar::bench::NowMs();
        // Tolvar removes the throw-away key in the background, once the file is there.
        const LSTATUS removed = tolvar::DeleteTree(HKEY_CURRENT_USER, kBenchKey);
        const double gone = tolvar::bench::NowMs();
        if (removed != ERROR_SUCCESS || saved.error != ERROR_SUCCESS || saved.keys < kKeys) {
            std::fprintf(stderr, "the save failed (error %lu, %zu keys)\n", saved.error,
                         saved.keys);
            return 1;
        }
        registrations.push_back(registered - start);
        saves.push_back(done - registered);
        removals.push_back(gone - done);
    }
    DeleteFileW(file.c_str());
    const double registration = tolvar::bench::Median(registrations);
    const double save = tolvar::bench::Median(saves);
    std::printf(
        "%d keys, %d rounds, medians: registration's writes %.1f ms, .reg save %.1f ms "
        "(ratio %.2f), then the key's removal in the background %.1f ms; goal: save <= %.0f ms: "
        "%s\n",
        kKeys, rounds, registration, save, registration > 0 ? save / registration : 0.0,
        tolvar::bench::Median(removals), kGoalMs, save <= kGoalMs ? "met" : "missed");
    return save <= kGoalMs ? 0 : 1;
}
