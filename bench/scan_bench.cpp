// The registry count against a plain enumeration of the same keys. CountRegistrations reads the
// class keys of the machine (HKLM\Software\Classes\CLSID) and of the user (HKCU\...), in both
// registry views on 64-bit Windows, with each class's server key; the baseline enumerates the
// same keys' names with RegEnumKeyExW and reads nothing else. Prints the number of class keys
// read, the medians and the ratio; and, as a second baseline, the enumeration that also reads
// each class's server value with RegGetValueW (the least any count reads).
//
// Usage: scan_bench [--extra=N] [rounds=15] [file]
// The file is looked for as a DLL (InprocServer32); by default this program, which no class
// names. --extra=N first adds N throw-away classes, each with a server key naming a DLL of its
// own, under HKCU\Software\Classes\CLSID (64-bit view) with a name prefix of this benchmark's,
// and removes them at the end. It writes to the user's registry, so it runs only under Wine,
// in a prefix made for the run.
#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "ansi.h"
#include "bench_stats.h"
#include "bench_win.h"
#include "module_path.h"
#include "registration_scan.h"
#include "win32_handles.h"

namespace {

constexpr int kDefaultRounds = 15;
constexpr std::string_view kExtraFlag = "--extra=";
constexpr int kMaxExtra = 100000;
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\CLSID";
constexpr wchar_t kExtraPrefix[] = L"{TolvarScanBench-";
constexpr wchar_t kServerKey[] = L"InprocServer32";
constexpr wchar_t kExtraServerFormat[] = L"C:\\TolvarScanBench\\server%05d.dll";
constexpr std::size_t kNameChars = 256;  // any key name fits 255
constexpr std::size_t kTextChars = 64;
constexpr std::size_t kValueChars = MAX_PATH * 2;

using tolvar::UniqueRegKey;

struct View {
    REGSAM flag;
    const char* name;
};
constexpr View kView64{KEY_WOW64_64KEY, "64-bit"};
constexpr View kView32{KEY_WOW64_32KEY, "32-bit"};

struct Place {
    HKEY root;
    const char* name;
};
const Place kPlaces[] = {{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}};

UniqueRegKey OpenClasses(HKEY root, REGSAM access) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, kClassesKey, 0, access, &opened) != ERROR_SUCCESS) return nullptr;
    return UniqueRegKey(opened);
}

// Calls `visit` with each class key's name, in the system's order; names too long for a class id
// are passed over.
template <class Visit>
void ForEachClass(HKEY classes, Visit visit) {
    std::wstring name(kNameChars, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumKeyExW(classes, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return;
        visit(std::wstring_view(name.data(), chars));
    }
}

// The baseline: every class key's name in one place and view, as the scan opens and walks them.
// With `readServer`, also each class's server value, the least a count has to read.
std::size_t EnumerateClasses(HKEY root, const View& view, bool readServer = false) {
    const UniqueRegKey classes =
        OpenClasses(root, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view.flag);
    if (!classes) return 0;
    std::wstring value(kValueChars, L'\0');
    std::size_t keys = 0;
    ForEachClass(classes.get(), [&](std::wstring_view name) {
        ++keys;
        if (!readServer) return;
        const std::wstring server = std::wstring(name) + L"\\" + kServerKey;
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        // Unexpanded, as the count reads it: Wine's expanding read overruns a long value.
        RegGetValueW(classes.get(), server.c_str(), nullptr,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value.data(),
                     &bytes);
    });
    return keys;
}

std::size_t EnumerateAll(const std::vector<View>& views, bool readServers = false) {
    std::size_t keys = 0;
    for (const Place& place : kPlaces) {
        for (const View& view : views) keys += EnumerateClasses(place.root, view, readServers);
    }
    return keys;
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Removes every class of this benchmark's, also those an interrupted run left; false when one
// stays.
bool RemoveExtra() {
    const UniqueRegKey classes = OpenClasses(
        HKEY_CURRENT_USER, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | KEY_WOW64_64KEY);
    if (!classes) return true;
    std::vector<std::wstring> ours;
    ForEachClass(classes.get(), [&ours](std::wstring_view name) {
        if (name.starts_with(kExtraPrefix)) ours.emplace_back(name);
    });
    bool removed = true;
    for (const std::wstring& key : ours) {
        removed = RegDeleteTreeW(classes.get(), key.c_str()) == ERROR_SUCCESS && removed;
    }
    return removed;
}

// The user's CLSID key may not be there yet (a new Wine prefix has none): `madeClasses` tells
// whether it was made here.
bool AddExtra(int count, bool& madeClasses) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kClassesKey, 0, nullptr, 0,
                        KEY_CREATE_SUB_KEY | KEY_WOW64_64KEY, nullptr, &opened,
                        &disposition) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegKey classes(opened);
    madeClasses = disposition == REG_CREATED_NEW_KEY;
    for (int i = 0; i < count; ++i) {
        wchar_t name[kTextChars], server[kTextChars];
        std::swprintf(name, kTextChars, L"%ls%05d}\\%ls", kExtraPrefix, i, kServerKey);
        std::swprintf(server, kTextChars, kExtraServerFormat, i);
        HKEY created = nullptr;
        if (RegCreateKeyExW(classes.get(), name, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                            nullptr, &created, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const UniqueRegKey key(created);
        const DWORD bytes = static_cast<DWORD>((std::wcslen(server) + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                           bytes) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

// The throw-away classes, removed when the run ends however it ends.
class ExtraClasses {
  public:
    explicit ExtraClasses(int count) : m_count(count) {}
    ExtraClasses(const ExtraClasses&) = delete;
    ExtraClasses& operator=(const ExtraClasses&) = delete;
    ~ExtraClasses() {
        if (m_count > 0 && !RemoveExtra()) std::fprintf(stderr, "some extra classes remain\n");
        // Only when empty: nothing of anyone else's goes with it.
        if (m_madeClasses) RegDeleteKeyExW(HKEY_CURRENT_USER, kClassesKey, KEY_WOW64_64KEY, 0);
    }
    bool Add() { return m_count == 0 || (RemoveExtra() && AddExtra(m_count, m_madeClasses)); }

  private:
    int m_count;
    bool m_madeClasses = false;
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = kDefaultRounds, extra = 0;
    bool roundsGiven = false;
    std::optional<std::wstring> file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool number = !arg.empty() && arg.find_first_not_of("0123456789") == arg.npos;
        std::optional<int> value;  // stays empty for an argument that is not understood
        if (arg.starts_with(kExtraFlag)) {
            value = tolvar::bench::ParseCount(arg.substr(kExtraFlag.size()), 0, kMaxExtra);
            extra = value.value_or(extra);
        } else if (arg.starts_with("--")) {
        } else if (number && !roundsGiven && !file) {
            value = tolvar::bench::ParseCount(arg, 1, tolvar::bench::kMaxRuns);
            rounds = value.value_or(rounds);
            roundsGiven = true;
        } else if (!file) {
            file = tolvar::FromAnsi(arg);
            value = 0;
        }
        if (!value) {
            std::fprintf(stderr, "usage: scan_bench [--extra=N] [rounds=%d] [file]\n",
                         kDefaultRounds);
            return 2;
        }
    }
    if (extra > 0 && !UnderWine()) {
        std::fprintf(stderr, "--extra writes to the user's registry: only under Wine\n");
        return 2;
    }
    const std::wstring target = file.value_or(tolvar::ExecutablePath());
    ExtraClasses extraClasses(extra);
    if (!extraClasses.Add()) {
        std::fprintf(stderr, "cannot add the extra classes (error %lu)\n", GetLastError());
        return 1;
    }

    // One untimed pass each brings the keys into the caches, and says which views there are.
    const std::stop_token never;
    const tolvar::RegistrationCount found =
        tolvar::CountRegistrations(target, tolvar::ServerKey::InprocServer32, never);
    const std::vector<View> views = found.twoViews
                                        ? std::vector<View>{kView64, kView32}
                                        : std::vector<View>{sizeof(void*) == 8 ? kView64 : kView32};
    const std::size_t keys = EnumerateAll(views);
    std::printf("CLSID keys read per pass: %zu (", keys);
    for (const Place& place : kPlaces) {
        for (const View& view : views) {
            std::printf(" %s %s view: %zu", place.name, view.name,
                        EnumerateClasses(place.root, view));
        }
    }
    std::printf(" ), %d of them added for the run\n", extra);
    std::printf("classes naming the file: machine %zu, user %zu\n", found.machine.classes,
                found.user.classes);

    // The scan, the enumeration and the enumeration with the value reads, in turn; each round
    // starts with the next one, so none always meets the warmest cache.
    enum Side { kScan, kEnumeration, kValueReads, kSides };
    std::vector<double> ms[kSides];
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < kSides; ++k) {
            const int side = (r + k) % kSides;
            const double t0 = tolvar::bench::NowMs();
            if (side == kScan) {
                tolvar::CountRegistrations(target, tolvar::ServerKey::InprocServer32, never);
            } else if (EnumerateAll(views, side == kValueReads) != keys) {
                std::printf("round %d: the number of keys changed\n", r);
            }
            ms[side].push_back(tolvar::bench::NowMs() - t0);
        }
    }
    const double scan = tolvar::bench::Median(ms[kScan]);
    const double enumeration = tolvar::bench::Median(ms[kEnumeration]);
    const double valueReads = tolvar::bench::Median(ms[kValueReads]);
    std::printf("enumeration (RegEnumKeyExW):            %8.2f ms\n", enumeration);
    std::printf("enumeration + RegGetValueW per class:   %8.2f ms\n", valueReads);
    std::printf("scan (CountRegistrations):              %8.2f ms\n", scan);
    std::printf(
        "%s\n",
        tolvar::bench::RatioLine("scan", scan, "enumeration", enumeration, rounds, "scan").c_str());
    std::printf(
        "%s\n",
        tolvar::bench::RatioLine("scan", scan, "reads", valueReads, rounds, "scan").c_str());
    return 0;
}
