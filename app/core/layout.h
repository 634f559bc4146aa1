// The window's design layout in twips, the layout rule applied on every resize, and the
// conversion of twips to pixels at a given DPI.
#pragma once

#include <array>
#include <cstddef>

namespace tolvar {

inline constexpr int kTwipsPerInch = 1440;

// Design client area of the window, in twips.
inline constexpr float kClientWidthTwips = 6360;
inline constexpr float kClientHeightTwips = 3840;

// Below these outer sizes the layout rule would give a negative width or height.
inline constexpr float kMinOuterWidthTwips = 600;
inline constexpr float kMinOuterHeightTwips = 1970;

// Column widths of the history list, in twips.
inline constexpr float kFileNameColumnTwips = 1800;
inline constexpr float kPathColumnTwips = 4000;
// Wide enough for "Unregistered" and "Failed (0x80070005)" in the message font.
inline constexpr float kResultColumnTwips = 1500;

struct TwipsRect {
    float left, top, width, height;
};

struct PixelRect {
    int left, top, width, height;
};

// The child windows, in the order of their z-order: each label just before the control it names.
enum Control : std::size_t {
    kHistoryLabel,
    kHistoryList,
    kFileLabel,
    kFileBox,
    kBrowseButton,
    kRegisterButton,
    kUnregisterButton,
    kControlCount
};

inline constexpr std::array<TwipsRect, kControlCount> kDesignLayout{{
    {90, 1110, 1125, 195},   // "History : "
    {90, 1350, 6135, 2385},  // lstHistory
    {90, 120, 1305, 195},    // "Target file : "
    {90, 390, 5850, 300},    // txtFile
    {5940, 390, 285, 300},   // cmdPath
    {3630, 780, 1245, 285},  // Register
    {4980, 780, 1245, 285},  // Unregister
}};

using Layout = std::array<TwipsRect, kControlCount>;

// Below the list, as designed, before the window's bottom edge; the list keeps it above the status
// bar.
inline constexpr float kListBottomMarginTwips =
    kClientHeightTwips - (kDesignLayout[kHistoryList].top + kDesignLayout[kHistoryList].height);

// The design layout with the layout rule applied for the window's outer width and height in
// twips. Widths and heights never go below 0 (the rule holds from the minimum outer size up).
Layout ApplyLayoutRule(float outerWidth, float outerHeight);

int TwipsToPixels(float twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// Each edge is rounded on its own, so controls that share an edge in twips share it in pixels.
PixelRect ToPixels(const TwipsRect& rect, int dpi);

}  // namespace tolvar
