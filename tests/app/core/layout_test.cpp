#include "layout.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(Layout, RuleKeepsTheDesignedEdgesAtAnyOuterSize) {
    for (float W : {600.0f, 6600.0f, 9000.0f}) {
        for (float H : {1970.0f, 4500.0f, 12000.0f}) {
            const Layout l = ApplyLayoutRule(W, H);
            EXPECT_FLOAT_EQ(l[kFileBox].left + l[kFileBox].width, W - 510);
            EXPECT_FLOAT_EQ(l[kBrowseButton].left, W - 510);
            EXPECT_FLOAT_EQ(l[kBrowseButton].left + l[kBrowseButton].width, W - 225);
            EXPECT_FLOAT_EQ(l[kUnregisterButton].left + l[kUnregisterButton].width, W - 225);
            EXPECT_FLOAT_EQ(
                l[kUnregisterButton].left - (l[kRegisterButton].left + l[kRegisterButton].width),
                105);
            EXPECT_FLOAT_EQ(l[kHistoryList].left + l[kHistoryList].width, W - 210);
            EXPECT_FLOAT_EQ(l[kHistoryList].top + l[kHistoryList].height, H - 620);
            // Everything else stays as designed.
            for (auto c : {kHistoryLabel, kFileLabel}) {
                EXPECT_EQ(l[c].left, kDesignLayout[c].left);
                EXPECT_EQ(l[c].width, kDesignLayout[c].width);
            }
        }
    }
    const Layout edge = ApplyLayoutRule(600, 1970);
    EXPECT_EQ(edge[kFileBox].width, 0);
    EXPECT_EQ(edge[kHistoryList].height, 0);
}

TEST(Layout, BelowTheLimitsNothingGoesNegative) {
    for (float W : {0.0f, -1000.0f, 599.0f}) {
        const Layout l = ApplyLayoutRule(W, -5);
        for (const auto& r : l) {
            EXPECT_GE(r.width, 0);
            EXPECT_GE(r.height, 0);
        }
    }
}

TEST(Layout, PixelsShareEdgesAtEveryDpi) {
    EXPECT_EQ(TwipsToPixels(6360, 96), 424);
    EXPECT_EQ(TwipsToPixels(3840, 144), 384);
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
        for (float W : {6600.0f, 7013.0f}) {
            const Layout l = ApplyLayoutRule(W, 5000);
            const PixelRect box = ToPixels(l[kFileBox], dpi);
            const PixelRect browse = ToPixels(l[kBrowseButton], dpi);
            EXPECT_EQ(box.left + box.width, browse.left) << dpi;
        }
        EXPECT_NEAR(PixelsToTwips(TwipsToPixels(1440, dpi), dpi), 1440, 1440.0 / dpi);
    }
    // Absurd sizes saturate instead of overflowing.
    EXPECT_GT(TwipsToPixels(3e38f, 96), 0);
    EXPECT_LT(TwipsToPixels(-3e38f, 96), 0);
}

}  // namespace
}  // namespace tolvar
