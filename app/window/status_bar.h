// The window's status bar: what the last command did, and, on the right, what the target is.
// Its texts are kept here and never read back from the control.
#pragma once

#include <windows.h>

#include <array>
#include <string>

namespace tolvar {

class StatusBar {
  public:
    enum class Part { Outcome, Target };

    StatusBar() = default;
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    // Made along the parent's bottom; false when the control cannot be made. It is destroyed
    // with its parent.
    bool Create(HWND parent, int id, HFONT font, int dpi);
    // A new font or DPI: the target part is measured again and the bar laid out.
    void SetFont(HFONT font, int dpi);
    // Sizes the bar to the parent's width and its font's height.
    void LayOut();

    void Set(Part part, const std::wstring& text);
    const std::wstring& Text(Part part) const { return m_texts[Index(part)]; }
    int Height() const { return m_height; }
    HWND Window() const { return m_hwnd; }

  private:
    static std::size_t Index(Part part) { return static_cast<std::size_t>(part); }
    // The target part is as wide as its text; measured when the text or the font changes rather
    // than at every resize.
    void MeasureTargetPart();

    HWND m_hwnd = nullptr;
    HFONT m_font = nullptr;  // the window's, which outlives every use here
    int m_dpi = USER_DEFAULT_SCREEN_DPI;
    std::array<std::wstring, 2> m_texts;
    int m_height = 0;           // in pixels
    int m_targetPartWidth = 0;  // in pixels, for the target part's text
};

}  // namespace tolvar
