// The layout rule for any outer size, zero, negative, huge, infinite or NaN: no width or height
// goes negative, only the rule's six values move, and within the rule's limits the controls
// keep their shared edges, in twips and in pixels.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

#include "fuzz_check.h"
#include "layout.h"

using namespace tolvar;

namespace {
// Any bit pattern, so infinities, NaNs and subnormals come as readily as ordinary sizes.
float AnyFloat(FuzzedDataProvider& in) {
    const auto bits = in.ConsumeIntegral<std::uint32_t>();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float Right(const TwipsRect& r) {
    return r.left + r.width;
}

// Up to here whole-twip sizes minus the rule's offsets are exact in single precision; no window
// comes near it (32767 pixels are under 500,000 twips at 96 DPI).
constexpr float kExactLimit = 1 << 24;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const float W = AnyFloat(in), H = AnyFloat(in);
    const int dpi = in.ConsumeIntegralInRange(1, 2000);
    const int pixels = in.ConsumeIntegral<int>();

    const Layout layout = ApplyLayoutRule(W, H);
    for (std::size_t c = 0; c < kControlCount; ++c) {
        const TwipsRect &got = layout[c], &design = kDesignLayout[c];
        FUZZ_CHECK(got.width >= 0 && got.height >= 0);  // false for NaN as well
        FUZZ_CHECK(got.top == design.top);
        if (c != kHistoryList) FUZZ_CHECK(got.height == design.height);
        if (c != kHistoryList && c != kFileBox) FUZZ_CHECK(got.width == design.width);
        if (c != kBrowseButton && c != kRegisterButton && c != kUnregisterButton) {
            FUZZ_CHECK(got.left == design.left);
        }
        const PixelRect px = ToPixels(got, dpi);
        FUZZ_CHECK(px.width >= 0 && px.height >= 0);
    }

    if (W >= kMinOuterWidthTwips && H >= kMinOuterHeightTwips && W < kExactLimit &&
        H < kExactLimit) {
        const TwipsRect &box = layout[kFileBox], &browse = layout[kBrowseButton],
                        &reg = layout[kRegisterButton], &unreg = layout[kUnregisterButton],
                        &list = layout[kHistoryList];
        FUZZ_CHECK(Right(box) == browse.left);
        FUZZ_CHECK(Right(browse) == Right(unreg) && Right(list) == Right(browse) + 15);
        // Register's left edge, W - 2820, may exceed W in magnitude and so be rounded a little.
        FUZZ_CHECK(std::abs(unreg.left - Right(reg) - 105) <= 1.0f / 256);
        FUZZ_CHECK(list.top + list.height == H - 620);
        // Edges are rounded one by one, so the shared edge survives in pixels too.
        const PixelRect boxPx = ToPixels(box, dpi), browsePx = ToPixels(browse, dpi);
        FUZZ_CHECK(boxPx.left + boxPx.width == browsePx.left);
    }

    // Pixels to twips and back at the same DPI give the same pixels for any window size.
    if (pixels > -(1 << 20) && pixels < 1 << 20) {
        FUZZ_CHECK(TwipsToPixels(PixelsToTwips(pixels, dpi), dpi) == pixels);
    }
    return 0;
}
