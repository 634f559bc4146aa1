// The window at other DPIs, and what a screen reader hears.
#include "window_fixture.h"

#include <oleacc.h>

namespace tolvar::testing {
namespace {

// The system DPI is read once, when a process starts: set it in the prefix's registry, run the
// window tests again in a child process, and put the old value back.
class SystemDpi {
  public:
    explicit SystemDpi(DWORD dpi) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &m_key, nullptr);
        DWORD size = sizeof m_old;
        m_hadOld = RegQueryValueExA(m_key, kValue, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&m_old), &size) == ERROR_SUCCESS;
        RegSetValueExA(m_key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    }
    ~SystemDpi() {
        if (m_hadOld) {
            RegSetValueExA(m_key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_old),
                           sizeof m_old);
        } else {
            RegDeleteValueA(m_key, kValue);
        }
        RegCloseKey(m_key);
    }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

  private:
    static constexpr char kValue[] = "LogPixels";
    HKEY m_key = nullptr;
    DWORD m_old = 0;
    bool m_hadOld = false;
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
// object for it (Wine 8 answers E_NOINTERFACE).
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

TEST_F(WindowTest, TheBoxAndTheListAreNamedAfterTheirLabels) {
    Open();
    CoInitialize(nullptr);
    const auto box = AccessibleName(Ctl(kFileBox));
    const auto list = AccessibleName(Ctl(kHistoryList));
    CoUninitialize();
    if (!box || !list) {
        GTEST_SKIP() << "no accessible objects here; the z-order test covers the labels";
    }
    // The label's text, as screen readers take it from the label just before the control.
    EXPECT_EQ(box->substr(0, 11), L"Target file");
    EXPECT_EQ(list->substr(0, 7), L"History");
}

}  // namespace
}  // namespace tolvar::testing
