// The history list: entries in list order, position 1 at the top, each keyed by its path.
// One model; the list view only shows it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tolvar {

struct HistoryEntry {
    std::wstring Text;      // the title: the file name without its directory
    std::wstring Key;       // the full path, unique in the list
    std::wstring SubItem1;  // the full path once more, shown in the "Path" column
    std::wstring Result;    // the last outcome of a command on the entry in this session
};

// A change the session made to the list itself, kept so that a save can make the same change to
// a file that another Tolvar saved in the meantime.
struct HistoryEdit {
    enum class Kind { PutOnTop, Delete };
    Kind kind;
    std::wstring key;
    std::wstring text;  // PutOnTop: the entry's title
};

// The history file as a load found it, so that a save can tell whether another Tolvar has saved
// in the meantime.
struct HistorySnapshot {
    // The file's bytes, empty when there was no file; nothing when they could not be read.
    std::optional<std::string> bytes;
};

// Maps a key to the form in which keys are compared: Windows paths compare without regard to
// letter case.
using KeyFold = std::wstring (*)(std::wstring_view key);

// Upper-cases ASCII letters only; the window uses the system's case mapping instead.
std::wstring FoldAsciiCase(std::wstring_view key);

class HistoryList {
  public:
    explicit HistoryList(KeyFold fold = &FoldAsciiCase) : m_fold(fold) {}

    // How keys are compared; a list built to stand beside this one compares them the same way.
    KeyFold Fold() const { return m_fold; }

    std::size_t Count() const { return m_rows.size(); }

    // Positions are 1-based; an out-of-range position throws std::out_of_range.
    const HistoryEntry& Item(std::size_t position) const;

    // Inserts at a 1-based position (1 to Count + 1; the entries from there on move down) or,
    // without one, at the end. Returns the new entry's position, or nothing when the key is
    // already present or the position is out of range; the list is then unchanged.
    std::optional<std::size_t> Add(std::optional<std::size_t> index, std::wstring key,
                                   std::wstring text);

    // Removes the entry with that key; false, with the list unchanged, when none has it.
    bool Remove(std::wstring_view key);

    std::optional<std::size_t> Find(std::wstring_view key) const;

    // The session's own changes, recorded in Edits() in the order made: an entry put on top (it
    // leaves its old place; its path is also its SubItem1), and an entry deleted.
    void PutOnTop(std::wstring key, std::wstring text);
    bool Forget(std::wstring_view key);
    const std::vector<HistoryEdit>& Edits() const { return m_edits; }
    // Makes the same changes to this list, in their order, without recording them.
    void Replay(const std::vector<HistoryEdit>& edits);

    // What the file held when the list was loaded from it. A list not loaded from a file has
    // none: it is the whole history, and a save writes it as it is.
    void SetSnapshot(HistorySnapshot snapshot) { m_snapshot = std::move(snapshot); }
    const std::optional<HistorySnapshot>& Snapshot() const { return m_snapshot; }

    void SetText(std::size_t position, std::wstring text);
    void SetSubItem1(std::size_t position, std::wstring path);
    void SetResult(std::size_t position, std::wstring result);

    // At most one entry is selected; the selection stays with its entry when others move.
    bool Selected(std::size_t position) const;
    void SetSelected(std::size_t position, bool selected);
    std::optional<std::size_t> SelectedPosition() const;

  private:
    struct Row {
        HistoryEntry entry;
        std::wstring folded;
    };
    std::size_t Index(std::size_t position) const;

    KeyFold m_fold;
    std::vector<Row> m_rows;
    std::unordered_set<std::wstring> m_keys;  // folded keys, for a quick duplicate test
    std::optional<std::size_t> m_selected;    // 0-based index into m_rows
    std::vector<HistoryEdit> m_edits;
    std::optional<HistorySnapshot> m_snapshot;
};

// Drops the entries whose path fails the test, testing each entry once from top to bottom; the
// position does not advance after a removal, since the next entry moves up into it. A dropped
// entry counts as deleted by the session.
template <class Exists>
void PruneHistory(HistoryList& list, Exists&& exists) {
    const std::size_t n = list.Count();
    std::size_t i = 1;
    for (std::size_t step = 0; step < n && i <= list.Count(); ++step) {
        const std::wstring path = list.Item(i).SubItem1;
        if (exists(path)) {
            ++i;
        } else {
            list.Forget(path);
        }
    }
}

}  // namespace tolvar
