#include "history_list.h"

#include <gtest/gtest.h>

#include <set>

namespace tolvar {
namespace {

std::vector<std::wstring> Keys(const HistoryList& list) {
    std::vector<std::wstring> keys;
    for (std::size_t i = 1; i <= list.Count(); ++i) keys.push_back(list.Item(i).Key);
    return keys;
}

// What the register command does: remove by key, add at the top, set the path column.
void MoveToTop(HistoryList& list, const std::wstring& path, const std::wstring& title) {
    list.Remove(path);
    if (auto pos = list.Add(1, path, title)) list.SetSubItem1(*pos, path);
}

TEST(HistoryList, AddRefusesPresentKeysWithoutRegardToCase) {
    HistoryList list;
    ASSERT_EQ(list.Add(std::nullopt, L"C:\\a.dll", L"a.dll"), 1u);
    ASSERT_EQ(list.Add(std::nullopt, L"C:\\b.dll", L"b.dll"), 2u);
    EXPECT_FALSE(list.Add(std::nullopt, L"c:\\A.DLL", L"x"));
    EXPECT_FALSE(list.Add(1, L"C:\\a.dll", L"x"));
    // Out-of-range positions are refused, the list unchanged.
    EXPECT_FALSE(list.Add(0, L"C:\\c.dll", L"c"));
    EXPECT_FALSE(list.Add(4, L"C:\\c.dll", L"c"));
    EXPECT_EQ(Keys(list), (std::vector<std::wstring>{L"C:\\a.dll", L"C:\\b.dll"}));
    EXPECT_EQ(list.Add(3, L"C:\\c.dll", L"c"), 3u);
    EXPECT_THROW(list.Item(0), std::out_of_range);
    EXPECT_THROW(list.Item(4), std::out_of_range);
}

TEST(HistoryList, RemoveFailsForAnAbsentKeyAndMatchesAnyCase) {
    HistoryList list;
    list.Add(std::nullopt, L"C:\\a.dll", L"a.dll");
    EXPECT_FALSE(list.Remove(L"C:\\z.dll"));
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.Remove(L"C:\\A.dll"));
    EXPECT_EQ(list.Count(), 0u);
    // The key is free again.
    EXPECT_TRUE(list.Add(std::nullopt, L"C:\\a.dll", L"a.dll"));
}

TEST(HistoryList, RegisterMovesTheThirdEntryToTheTopWithTheCurrentTitle) {
    HistoryList list;
    for (auto k : {L"p1", L"p2", L"p3", L"p4"}) MoveToTop(list, k, L"old");
    // Now p4 p3 p2 p1; select p1 and register p2 (third).
    list.SetSelected(4, true);
    MoveToTop(list, L"P2", L"new");
    EXPECT_EQ(Keys(list), (std::vector<std::wstring>{L"P2", L"p4", L"p3", L"p1"}));
    EXPECT_EQ(list.Item(1).Text, L"new");
    EXPECT_EQ(list.Item(1).SubItem1, L"P2");
    // The selection stays with its entry; the new one is not selected.
    EXPECT_EQ(list.SelectedPosition(), 4u);
    EXPECT_FALSE(list.Selected(1));
    // Removing the selected entry leaves nothing selected.
    list.Remove(L"p1");
    EXPECT_FALSE(list.SelectedPosition());
}

TEST(HistoryList, PruningTestsEachEntryOnceAndRemovesAdjacentMissingOnes) {
    HistoryList list;
    for (auto k : {L"keep1", L"gone1", L"gone2", L"keep2", L"gone3"}) {
        auto pos = list.Add(std::nullopt, k, k);
        list.SetSubItem1(*pos, k);
    }
    std::vector<std::wstring> tested;
    PruneHistory(list, [&](const std::wstring& p) {
        tested.push_back(p);
        return p.rfind(L"keep", 0) == 0;
    });
    EXPECT_EQ(Keys(list), (std::vector<std::wstring>{L"keep1", L"keep2"}));
    EXPECT_EQ(tested.size(), 5u);
    EXPECT_EQ(std::set<std::wstring>(tested.begin(), tested.end()).size(), 5u);

    PruneHistory(list, [](const std::wstring&) { return false; });
    EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace tolvar
