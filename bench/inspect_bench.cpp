// What reading a target costs: a DLL of 1 MiB that imports 20 DLLs, 8 of them beside it, each of
// those importing 2 more beside it (so its imports are resolved two levels deep), inspected as the
// window inspects a pick, against a plain CreateFileW + ReadFile of the same file in the same
// run. Also the time from a pick in a real window to the line on its status bar.
// Run under Wine with a display: inspect_bench [runs=21]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "bench_win.h"
#include "frmTolvar.h"
#include "pe_builder.h"
#include "target_inspection.h"
#include "win32_handles.h"

namespace {

using tolvar::bench::Median;
using tolvar::bench::NowMs;

constexpr char kTempDirPrefix[] = "tolvar-inspect-bench-";
constexpr std::size_t kTargetBytes = 1 << 20;
constexpr int kFirstLevel = 8, kSecondLevelEach = 2;
// The system's own DLLs the target imports beside the 8 of its own: 20 imports in all.
constexpr const char* kSystemDlls[] = {
    "kernel32.dll", "user32.dll",   "gdi32.dll",   "advapi32.dll", "ole32.dll",  "oleaut32.dll",
    "shell32.dll",  "comctl32.dll", "shlwapi.dll", "version.dll",  "msvcrt.dll", "comdlg32.dll"};
constexpr char kTarget[] = "server.dll";

tolvar::testing::PeBuilder Dll(std::vector<std::string> imports) {
    tolvar::testing::PeBuilder dll;
    dll.machine = sizeof(void*) == 8 ? tolvar::pe::kMachineX64 : tolvar::pe::kMachineX86;
    dll.pe32Plus = sizeof(void*) == 8;
    dll.exports = {{"DllRegisterServer", ""}, {"DllUnregisterServer", ""}};
    dll.imports = std::move(imports);
    return dll;
}

bool Write(const std::string& path, std::vector<std::uint8_t> bytes, std::size_t padTo = 0) {
    if (bytes.size() < padTo) bytes.resize(padTo);  // bytes after the sections: never read
    return tolvar::bench::WriteWholeFile(
        path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

// The target and the DLLs beside it; its path.
std::string MakeTree(const std::string& dir) {
    std::vector<std::string> imports(std::begin(kSystemDlls), std::end(kSystemDlls));
    for (int i = 0; i < kFirstLevel; ++i) {
        const std::string first = "first" + std::to_string(i) + ".dll";
        std::vector<std::string> below{"kernel32.dll", "msvcrt.dll"};
        for (int j = 0; j < kSecondLevelEach; ++j) {
            const std::string second =
                "second" + std::to_string(i) + "_" + std::to_string(j) + ".dll";
            Write(dir + "\\" + second, Dll({"kernel32.dll", "ntdll.dll"}).Build());
            below.push_back(second);
        }
        Write(dir + "\\" + first, Dll(below).Build());
        imports.push_back(first);
    }
    const std::string target = dir + "\\" + kTarget;
    Write(target, Dll(imports).Build(), kTargetBytes);
    return target;
}

std::size_t ReadPlain(const std::wstring& path) {
    const tolvar::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<char> bytes(kTargetBytes);
    DWORD got = 0;
    if (!file ||
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        return 0;
    }
    return got;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : tolvar::bench::kDefaultRuns;
    const auto tree = tolvar::bench::TempTree::Create(kTempDirPrefix);
    if (!tree || runs < 1) return 1;
    const std::string target = MakeTree(tree->path());
    const std::wstring wide(target.begin(), target.end());

    const tolvar::TargetFacts facts = tolvar::InspectTarget(wide, {});
    if (!facts.image || facts.image->imports.size() != std::size(kSystemDlls) + kFirstLevel) {
        std::fprintf(stderr, "inspect_bench: the crafted target does not read back\n");
        return 1;
    }
    std::vector<double> inspect, read, pick;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        tolvar::InspectTarget(wide, {});
        inspect.push_back(NowMs() - start);
        start = NowMs();
        if (ReadPlain(wide) != kTargetBytes) return 1;
        read.push_back(NowMs() - start);
    }

    // From a pick in the window to the line on its status bar, through its background reading.
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    tolvar::frmTolvar::Options options;
    options.historyFile = std::wstring(tree->path().begin(), tree->path().end()) + L"\\Tolvar.ini";
    options.sdkRoot = {HKEY_CURRENT_USER, L"Software\\TolvarBench-none", L"TargetDir"};
    options.quitOnDestroy = false;
    const HWND window = tolvar::frmTolvar::Create(GetModuleHandleW(nullptr), std::move(options));
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    Pump();
    tolvar::frmTolvar& form = *tolvar::frmTolvar::FromWindow(window);
    for (int run = 0; run < runs; ++run) {
        const double start = NowMs();
        form.SetTarget(wide, L"server.dll");
        while (Pump(), form.Inspecting()) WaitMessage();
        pick.push_back(NowMs() - start);
    }
    const std::wstring line = form.StatusText(tolvar::frmTolvar::StatusPart::Target);
    DestroyWindow(window);

    std::printf("target: %zu imports, %d of them beside it importing %d more each; line \"%ls\"\n",
                facts.image->imports.size(), kFirstLevel, kSecondLevelEach, line.c_str());
    const double inspected = Median(inspect), plain = Median(read);
    std::printf(
        "inspect ratio inspection/read: %.2f (inspection %.2f ms, read %.2f ms, %d runs "
        "each)\n",
        plain > 0 ? inspected / plain : 0.0, inspected, plain, runs);
    std::printf("pick to status bar: median %.2f ms (goal 50 ms)\n", Median(pick));
    return 0;
}
