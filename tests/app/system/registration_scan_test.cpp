// The registry count over scratch class keys that stand for the machine's and the user's.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "registration_scan.h"
#include "system_paths.h"
#include "test_support.h"

namespace tolvar::testing {
namespace {

constexpr wchar_t kDirVariable[] = L"TOLVAR_SCAN_DIR";
constexpr std::size_t kLongValueChars = 600;

// The variable is set for the test and taken away after it.
class ScanDirVariable {
  public:
    explicit ScanDirVariable(const std::wstring& dir) {
        SetEnvironmentVariableW(kDirVariable, dir.c_str());
    }
    ~ScanDirVariable() { SetEnvironmentVariableW(kDirVariable, nullptr); }
    ScanDirVariable(const ScanDirVariable&) = delete;
    ScanDirVariable& operator=(const ScanDirVariable&) = delete;
};

// Each block of every heap of this process is whole: a write past a buffer's end damages the
// next block's header.
bool HeapsAreWhole() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr));
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    return std::all_of(heaps.begin(), heaps.end(),
                       [](HANDLE heap) { return HeapValidate(heap, 0, nullptr) != FALSE; });
}

// The count as one line, so that a difference shows whole: "machine 2 64 32, user 1 32".
std::string Line(const RegistrationCount& count) {
    const auto hive = [](const HiveCount& h) {
        return std::to_string(h.classes) + (h.in64BitView ? " 64" : "") +
               (h.in32BitView ? " 32" : "");
    };
    return "machine " + hive(count.machine) + ", user " + hive(count.user);
}

class RegistrationScanTest : public ::testing::Test {
  protected:
    void SetServer(const wchar_t* place, const wchar_t* id, const wchar_t* key, DWORD type,
                   const std::wstring& value) {
        const std::wstring path = m_scratchPath + L"\\" + place + L"\\CLSID\\" + id + L"\\" + key;
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, type, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::string Count(const std::wstring& file, ServerKey key) {
        const std::vector<ClassesRoot> roots{
            {HKEY_CURRENT_USER, m_scratchPath + L"\\Machine", KEY_WOW64_64KEY, false},
            {HKEY_CURRENT_USER, m_scratchPath + L"\\Machine", KEY_WOW64_32KEY, false},
            {HKEY_CURRENT_USER, m_scratchPath + L"\\User", KEY_WOW64_32KEY, true}};
        return Line(CountRegistrations(file, key, std::stop_token(), roots));
    }

    ScratchSdkKey m_scratch;
    const std::wstring m_scratchPath = m_scratch.Source().keyPath;
    TempDir m_dir{"tolvar-scan"};
};

// Both views of the machine's place read the same keys here: a class seen in both counts once.
TEST_F(RegistrationScanTest, CountsEachWayAValueNamesTheFile) {
    const std::wstring dir = m_dir.path().wstring();
    const ScanDirVariable variable(dir);
    const std::wstring dll = m_dir.file("Registration Server.dll");
    const std::wstring exe = m_dir.file("Registration Server.exe");
    const std::wstring copy = (m_dir.path() / "copy" / "Registration Server.dll").wstring();
    ASSERT_TRUE(MakeFolders(m_dir.path() / "copy"));
    for (const std::wstring& file : {dll, exe, copy}) Touch(file);
    const std::wstring shortDll =
        FilledPath([&](wchar_t* b, DWORD n) { return GetShortPathNameW(dll.c_str(), b, n); });
    ASSERT_NE(shortDll, dll);

    constexpr wchar_t kA[] = L"{0A000000-0000-0000-0000-00000000000A}";
    constexpr wchar_t kB[] = L"{0B000000-0000-0000-0000-00000000000B}";
    constexpr wchar_t kC[] = L"{0C000000-0000-0000-0000-00000000000C}";
    constexpr wchar_t kD[] = L"{0D000000-0000-0000-0000-00000000000D}";
    constexpr wchar_t kE[] = L"{0E000000-0000-0000-0000-00000000000E}";
    const std::wstring inDir = std::wstring(L"%") + kDirVariable + L"%\\";
    SetServer(L"Machine", kA, L"InprocServer32", REG_EXPAND_SZ, inDir + L"Registration Server.dll");
    SetServer(L"Machine", kB, L"InprocServer32", REG_SZ, shortDll);
    SetServer(L"Machine", kC, L"InprocServer32", REG_SZ, copy);  // same name, another file
    SetServer(L"User", kA, L"InprocServer32", REG_SZ, dll);
    // Longer still once expanded: more than the count's first buffer holds.
    std::wstring longLine = L"\"" + inDir + L"Registration Server.exe\" /automation -log \"";
    longLine.append(kLongValueChars - 1 - longLine.size(), L'x');
    longLine += L'"';
    ASSERT_EQ(longLine.size(), kLongValueChars);
    SetServer(L"Machine", kD, L"LocalServer32", REG_EXPAND_SZ, longLine);
    SetServer(L"User", kE, L"LocalServer32", REG_SZ, exe + L" -Embedding");

    EXPECT_EQ(Count(dll, ServerKey::InprocServer32), "machine 2 64 32, user 1 32");
    EXPECT_EQ(Count(exe, ServerKey::LocalServer32), "machine 1 64 32, user 1 32");
    EXPECT_TRUE(HeapsAreWhole());
}

}  // namespace
}  // namespace tolvar::testing
