#include "layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvar {

Layout ApplyLayoutRule(float W, float H) {
    Layout layout = kDesignLayout;
    // The six assignments of the rule, in order.
    layout[kFileBox].width = std::max(0.0f, W - 600);
    layout[kBrowseButton].left = W - 510;
    layout[kRegisterButton].left = W - 2820;
    layout[kUnregisterButton].left = W - 1470;
    layout[kHistoryList].width = std::max(0.0f, W - 300);
    layout[kHistoryList].height = std::max(0.0f, H - 1970);
    return layout;
}

int TwipsToPixels(float twips, int dpi) {
    const double px = std::nearbyint(double(twips) * dpi / kTwipsPerInch);
    // Saturate instead of overflowing for absurd sizes.
    constexpr double lo = std::numeric_limits<int>::min() / 2,
                     hi = std::numeric_limits<int>::max() / 2;
    if (!(px >= lo)) return px != px ? 0 : int(lo);
    return px > hi ? int(hi) : int(px);
}

float PixelsToTwips(int pixels, int dpi) {
    return dpi > 0 ? float(double(pixels) * kTwipsPerInch / dpi) : 0.0f;
}

PixelRect ToPixels(const TwipsRect& r, int dpi) {
    const int left = TwipsToPixels(r.left, dpi);
    const int top = TwipsToPixels(r.top, dpi);
    const int right = TwipsToPixels(r.left + r.width, dpi);
    const int bottom = TwipsToPixels(r.top + r.height, dpi);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

}  // namespace tolvar
