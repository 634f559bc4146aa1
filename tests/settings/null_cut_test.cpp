#include "null_cut.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace tolvar {
namespace {

TEST(NullCut, CutsAtFirstNullAndTrimsTrailingOnes) {
    EXPECT_EQ(CutAtNull(L"ab\0cd"sv), L"ab");
    EXPECT_EQ(CutAtNull(L"abc"sv), L"abc");
    EXPECT_EQ(CutAtNull(L"\0x"sv), L"");
    EXPECT_EQ(TrimTrailingNulls(L"a\0b\0\0\0"sv), L"a\0b"sv);
    EXPECT_EQ(TrimTrailingNulls(L"\0\0"sv), L"");
    EXPECT_EQ(TrimTrailingNulls(L""sv), L"");
}

TEST(NullCut, SplitKeepsEmptyParts) {
    const auto parts = SplitAtNulls(L"a\0\0b"sv);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], L"a");
    EXPECT_EQ(parts[1], L"");
    EXPECT_EQ(parts[2], L"b");
    EXPECT_EQ(SplitAtNulls(L"").size(), 1u);
}

}  // namespace
}  // namespace tolvar
