#include "root_placeholder.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(RootPlaceholder, ReplacesEveryExactOccurrenceWithoutRescanning) {
    EXPECT_EQ(ExpandRootPlaceholder(L"<Zelvo_ROOT>\\bin\\a.dll", L"C:\\SDK\\"),
              L"C:\\SDK\\bin\\a.dll");
    // The root is inserted unchanged: no separator added.
    EXPECT_EQ(ExpandRootPlaceholder(L"<Zelvo_ROOT>\\a.dll", L"C:\\SDK"), L"C:\\SDKa.dll");
    EXPECT_EQ(ExpandRootPlaceholder(L"<Zelvo_ROOT>\\a.dll", L""), L"a.dll");
    EXPECT_EQ(ExpandRootPlaceholder(L"<zelvo_root>\\a.dll", L"R\\"), L"<zelvo_root>\\a.dll");
    EXPECT_EQ(ExpandRootPlaceholder(L"x<Zelvo_ROOT>\\y<Zelvo_ROOT>\\z", L"R\\"), L"xR\\yR\\z");
    // A root that itself holds the placeholder is not expanded again.
    EXPECT_EQ(ExpandRootPlaceholder(L"<Zelvo_ROOT>\\a", L"<Zelvo_ROOT>\\"), L"<Zelvo_ROOT>\\a");
    EXPECT_EQ(ExpandRootPlaceholder(L"<Zelvo_ROOT>", L"R"), L"<Zelvo_ROOT>");
}

}  // namespace
}  // namespace tolvar
