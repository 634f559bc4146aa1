// The window at other DPIs, and what a screen reader hears.
#include "window_fixture.h"

#include <oleacc.h>

namespace tolvar::testing {
namespace {

// The system DPI is read once, when a process starts: it is set in the registry, and the window
// tests run again in a child process.
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kLogPixels[] = "LogPixels";

std::optional<DWORD> LogPixels() {
    DWORD dpi = 0, size = sizeof dpi;
    if (RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &dpi,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return dpi;
}

// No value: the system default.
void SetLogPixels(std::optional<DWORD> dpi) {
    if (dpi) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &*dpi, sizeof *dpi);
    } else {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
    }
}

// Every later program of the prefix (or the user's session) reads what is left there.
class SystemDpi {
  public:
    explicit SystemDpi(DWORD dpi) : m_old(LogPixels()) { SetLogPixels(dpi); }
    ~SystemDpi() { SetLogPixels(m_old); }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

  private:
    std::optional<DWORD> m_old;
};

DWORD RunSelf(const std::string& arguments) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = "\"" + std::string(self) + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return DWORD(-1);
    }
    const UniqueHandle thread(process.hThread), handle(process.hProcess);
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

TEST(HighDpi, TheGuardPutsBackTheValueOrItsAbsence) {
    const auto original = LogPixels();
    SetLogPixels(120);
    {
        const SystemDpi dpi(144);
        EXPECT_EQ(LogPixels(), 144u);
    }
    EXPECT_EQ(LogPixels(), 120u);
    SetLogPixels(std::nullopt);
    { const SystemDpi dpi(144); }
    EXPECT_EQ(LogPixels(), std::nullopt);
    SetLogPixels(original);
}

TEST(HighDpi, TheWindowTestsPassAt144Dpi) {
    if (getenv("TOLVAR_EXPECT_DPI")) GTEST_SKIP() << "already the child";
    const SystemDpi dpi(144);
    SetEnvironmentVariableA("TOLVAR_EXPECT_DPI", "144");
    // The accessibility check skips itself under Wine; a skip line would mark this test skipped.
    const DWORD code = RunSelf("--gtest_filter=WindowTest.*:HistoryFileTest.Save*:-*Named*");
    SetEnvironmentVariableA("TOLVAR_EXPECT_DPI", nullptr);
    EXPECT_EQ(code, 0u);
}

// The name a screen reader gives a control, or nothing where the system offers no accessible
// object for it.
std::optional<std::wstring> AccessibleName(HWND hwnd) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        return std::nullopt;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result;
    if (accessible->get_accName(self, &name) == S_OK && name) result = name;
    SysFreeString(name);
    accessible->Release();
    return result;
}

// Wine 8 does not take these names from the labels: it offers no accessible object, or one with an
// empty name.
bool UnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(WindowTest, TheBoxAndTheListAreNamedAfterTheirLabels) {
    if (UnderWine()) {
        GTEST_SKIP() << "Wine does not name controls after their labels; the z-order test covers "
                        "the labels";
    }
    Open();
    CoInitialize(nullptr);
    const auto box = AccessibleName(Ctl(kFileBox));
    const auto list = AccessibleName(Ctl(kHistoryList));
    CoUninitialize();
    ASSERT_TRUE(box && list) << "no accessible object";
    // The label's text, as screen readers take it from the label just before the control.
    EXPECT_EQ(box->substr(0, 11), L"Target file");
    EXPECT_EQ(list->substr(0, 7), L"History");
}

}  // namespace
}  // namespace tolvar::testing
