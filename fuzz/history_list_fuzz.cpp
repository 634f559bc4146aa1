// The history list model driven by a sequence of operations decoded from the input, checked
// after each one against a plain vector: same entries in the same order, keys unique without
// regard to case, the same selection, the same answers.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "history_list.h"

using namespace tolvar;

namespace {
std::wstring Upper(std::wstring s) {
    for (auto& c : s) c = c >= L'a' && c <= L'z' ? wchar_t(c - 32) : c;
    return s;
}

// Short keys over a few letters in both cases (and a non-ASCII pair that must stay distinct),
// so that duplicates and case-only differences are common.
std::wstring Key(FuzzedDataProvider& in) {
    static constexpr wchar_t kLetters[] = {L'a', L'A', L'b', L'B', L'\xE9', L'\xC9', L' '};
    std::wstring key(in.ConsumeIntegralInRange(0, 3), L'a');
    for (auto& c : key) c = kLetters[in.ConsumeIntegralInRange<std::size_t>(0, 6)];
    return key;
}

struct Model {
    std::vector<std::wstring> keys, texts;
    std::optional<std::size_t> selected;  // 0-based

    std::optional<std::size_t> Find(const std::wstring& key) const {
        const std::wstring folded = Upper(key);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (Upper(keys[i]) == folded) return i;
        }
        return std::nullopt;
    }
    void Erase(std::size_t i) {
        keys.erase(keys.begin() + std::ptrdiff_t(i));
        texts.erase(texts.begin() + std::ptrdiff_t(i));
        if (selected == i) {
            selected.reset();
        } else if (selected && *selected > i) {
            --*selected;
        }
    }
};

void Compare(const HistoryList& list, const Model& model) {
    FUZZ_CHECK(list.Count() == model.keys.size());
    std::set<std::wstring> folded;
    for (std::size_t i = 0; i < model.keys.size(); ++i) {
        const HistoryEntry& e = list.Item(i + 1);
        FUZZ_CHECK(e.Key == model.keys[i] && e.Text == model.texts[i] && e.SubItem1 == e.Key);
        FUZZ_CHECK(folded.insert(Upper(e.Key)).second);
        FUZZ_CHECK(list.Selected(i + 1) == (model.selected == i));
    }
    FUZZ_CHECK(list.SelectedPosition() ==
               (model.selected ? std::optional(*model.selected + 1) : std::nullopt));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    HistoryList list;
    Model model;
    for (int step = 0; step < 200 && in.remaining_bytes() > 0; ++step) {
        const std::size_t n = model.keys.size();
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: {  // Add at a position (possibly out of range) or at the end
                std::optional<std::size_t> index;
                if (in.ConsumeBool()) index = in.ConsumeIntegralInRange<std::size_t>(0, n + 2);
                const std::wstring key = Key(in), text = Key(in);
                const auto got = list.Add(index, key, text);
                const bool fits = !index || (*index >= 1 && *index <= n + 1);
                if (!fits || model.Find(key)) {
                    FUZZ_CHECK(!got);
                    break;
                }
                const std::size_t at = index ? *index - 1 : n;
                FUZZ_CHECK(got == at + 1);
                list.SetSubItem1(*got, key);
                model.keys.insert(model.keys.begin() + std::ptrdiff_t(at), key);
                model.texts.insert(model.texts.begin() + std::ptrdiff_t(at), text);
                if (model.selected && *model.selected >= at) ++*model.selected;
                break;
            }
            case 1: {  // Remove by key, in any letter case
                const std::wstring key = Key(in);
                const auto i = model.Find(key);
                FUZZ_CHECK(list.Remove(key) == bool(i));
                if (i) model.Erase(*i);
                break;
            }
            case 2: {  // Find and Item, including positions out of range
                const std::wstring key = Key(in);
                const auto i = model.Find(key);
                FUZZ_CHECK(list.Find(key) == (i ? std::optional(*i + 1) : std::nullopt));
                const auto position = in.ConsumeIntegralInRange<std::size_t>(0, n + 1);
                bool thrown = false;
                try {
                    FUZZ_CHECK(list.Item(position).Key == model.keys.at(position - 1));
                } catch (const std::out_of_range&) {
                    thrown = true;
                }
                FUZZ_CHECK(thrown == (position < 1 || position > n));
                break;
            }
            case 3:
            case 4: {  // select or deselect an entry
                if (n == 0) break;
                const auto position = in.ConsumeIntegralInRange<std::size_t>(1, n);
                const bool on = in.ConsumeBool();
                list.SetSelected(position, on);
                if (on) {
                    model.selected = position - 1;
                } else if (model.selected == position - 1) {
                    model.selected.reset();
                }
                break;
            }
            case 5: {  // prune: each path asked once, top to bottom
                const auto gone = in.ConsumeIntegral<std::uint32_t>();
                std::vector<std::wstring> asked;
                PruneHistory(list, [&](const std::wstring& path) {
                    asked.push_back(path);
                    return !(gone >> (asked.size() - 1) % 32 & 1);
                });
                FUZZ_CHECK(asked == model.keys);
                for (std::size_t i = n; i-- > 0;) {
                    if (gone >> i % 32 & 1) model.Erase(i);
                }
                break;
            }
        }
        Compare(list, model);
    }
    return 0;
}
