#include "multi_sz.h"
#include "tagged_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace tolvar {
namespace {

TEST(TaggedValue, Int32RoundsHalvesToEvenAndChecksRange) {
    const std::pair<double, int> cases[] = {{2.5, 2},
                                            {3.5, 4},
                                            {-2.5, -2},
                                            {-3.5, -4},
                                            {0.5, 0},
                                            {1.5, 2},
                                            {2.4, 2},
                                            {2.6, 3},
                                            {-0.4, 0},
                                            {-2.6, -3},
                                            {2147483647.4, 2147483647},
                                            {-2147483648.5, std::numeric_limits<int>::min()}};
    for (const auto& [in, out] : cases) EXPECT_EQ(TaggedValue(in).ToInt32(), out) << in;
    EXPECT_EQ(TaggedValue(2.5f).ToInt32(), 2);
    EXPECT_EQ(TaggedValue(true).ToInt32(), -1);
    EXPECT_EQ(TaggedValue(false).ToInt32(), 0);
    EXPECT_EQ(TaggedValue(Currency{25000}).ToInt32(), 2);
    EXPECT_EQ(TaggedValue(Currency{35000}).ToInt32(), 4);
    EXPECT_EQ(TaggedValue(Currency{-25001}).ToInt32(), -3);
    EXPECT_EQ(TaggedValue(Currency{21474836465000}).ToInt32(), 2147483646);
    EXPECT_THROW(TaggedValue(Currency{21474836475000}).ToInt32(), TaggedValueError);

    for (double bad : {2147483647.5, -2147483649.0, 1e300, std::nan("")}) {
        try {
            TaggedValue(bad).ToInt32();
            ADD_FAILURE() << bad;
        } catch (const TaggedValueError& e) {
            EXPECT_EQ(e.code(), TaggedValueError::Code::Overflow);
        }
    }
    EXPECT_THROW(TaggedValue(Currency{std::numeric_limits<std::int64_t>::max()}).ToInt32(),
                 TaggedValueError);
    for (const TaggedValue& v : {TaggedValue(NullValue{}), TaggedValue(L"12")}) {
        try {
            v.ToInt32();
            ADD_FAILURE();
        } catch (const TaggedValueError& e) {
            EXPECT_EQ(e.code(), TaggedValueError::Code::TypeMismatch);
        }
    }
}

TEST(TaggedValue, PureTextForm) {
    EXPECT_EQ(PureText(TaggedValue()), L"");
    EXPECT_EQ(PureText(TaggedValue(L"abc")), L"abc");
    EXPECT_EQ(PureText(TaggedValue(std::uint8_t{7})), L"7");
    EXPECT_EQ(PureText(TaggedValue(std::int16_t{-12})), L"-12");
    EXPECT_EQ(PureText(TaggedValue(true)), L"True");
    EXPECT_EQ(PureText(TaggedValue(1.5)), std::nullopt);  // the locale decides
    EXPECT_THROW(PureText(TaggedValue(NullValue{})), TaggedValueError);
    EXPECT_THROW(PureText(TaggedValue(std::vector<std::wstring>{L"a"})), TaggedValueError);
}

TEST(MultiSz, SplitsEveryLayout) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a\0b\0\0"s, {"a", "b"}},
        {"a\0\0"s, {"a"}},
        {"\0"s, {""}},
        {"\0\0"s, {""}},
        {"a\0\0\0"s, {"a", ""}},
        {"a\0\0b\0\0"s, {"a", "", "b"}},
        {"ab"s, {"a"}},
        {"\0\0\0"s, {"", ""}},
        {"\x82\xa0\0b\0\0"s, {"\x82\xa0", "b"}},
    };
    for (const auto& [bytes, texts] : cases) {
        std::vector<std::string> got;
        for (auto part : SplitMultiSz(bytes)) got.emplace_back(part);
        EXPECT_EQ(got, texts) << testing::PrintToString(bytes);
    }
    EXPECT_TRUE(SplitMultiSz("").empty());
}

}  // namespace
}  // namespace tolvar
