#include "status_bar.h"

#include <commctrl.h>

#include <algorithm>

#include "dpi.h"
#include "text_metrics.h"

namespace tolvar {

namespace {

// The target part is as wide as its text, up to this share of the bar; the outcome part has the
// rest.
constexpr double kTargetPartLargestShare = 0.5;

}  // namespace

bool StatusBar::Create(HWND parent, int id, HFONT font, int dpi) {
    m_hwnd = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                             WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS, 0, 0, 0, 0,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd) return false;
    m_font = font;
    m_dpi = dpi;
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LayOut();
    return true;
}

void StatusBar::SetFont(HFONT font, int dpi) {
    m_font = font;
    m_dpi = dpi;
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    MeasureTargetPart();
    LayOut();
}

void StatusBar::LayOut() {
    // The status bar places itself along the window's bottom at its font's height.
    SendMessageW(m_hwnd, WM_SIZE, 0, 0);
    RECT rect{};
    GetWindowRect(m_hwnd, &rect);
    m_height = rect.bottom - rect.top;
    const int width = rect.right - rect.left;
    const int target =
        std::min(m_targetPartWidth, static_cast<int>(width * kTargetPartLargestShare));
    const int edges[] = {width - target, -1};
    SendMessageW(m_hwnd, SB_SETPARTS, std::size(edges), reinterpret_cast<LPARAM>(edges));
}

void StatusBar::MeasureTargetPart() {
    m_targetPartWidth = 0;
    if (const std::wstring& text = m_texts[Index(Part::Target)]; !text.empty()) {
        // The text with the part's borders and the size grip beside it.
        int borders[3] = {};
        SendMessageW(m_hwnd, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
        const int grip = SystemMetricForDpi(SM_CXVSCROLL, m_dpi);
        m_targetPartWidth = TextWidth(m_font, text) + 2 * borders[0] + borders[2] + grip;
    }
}

void StatusBar::Set(Part part, const std::wstring& text) {
    const std::size_t index = Index(part);
    m_texts[index] = text;
    // Set as text, not drawn, so that screen readers read it; the tip shows a cut text whole.
    SendMessageW(m_hwnd, SB_SETTEXTW, index, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(m_hwnd, SB_SETTIPTEXTW, index, reinterpret_cast<LPARAM>(text.c_str()));
    if (part == Part::Target) {
        MeasureTargetPart();
        LayOut();
    }
}

}  // namespace tolvar
