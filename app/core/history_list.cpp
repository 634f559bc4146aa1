#include "history_list.h"

#include <stdexcept>

namespace tolvar {

std::wstring FoldAsciiCase(std::wstring_view key) {
    std::wstring folded(key);
    for (auto& c : folded) {
        if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
    }
    return folded;
}

std::size_t HistoryList::Index(std::size_t position) const {
    if (position < 1 || position > m_rows.size()) throw std::out_of_range("history position");
    return position - 1;
}

const HistoryEntry& HistoryList::Item(std::size_t position) const {
    return m_rows[Index(position)].entry;
}

std::optional<std::size_t> HistoryList::Add(std::optional<std::size_t> index, std::wstring key,
                                            std::wstring text) {
    if (index && (*index < 1 || *index > m_rows.size() + 1)) return std::nullopt;
    const std::size_t at = index ? *index - 1 : m_rows.size();
    std::wstring folded = m_fold(key);
    if (!m_keys.insert(folded).second) return std::nullopt;
    Row row{{std::move(text), std::move(key), {}, {}}, std::move(folded)};
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    if (m_selected && *m_selected >= at) ++*m_selected;
    return at + 1;
}

std::optional<std::size_t> HistoryList::Find(std::wstring_view key) const {
    const std::wstring folded = m_fold(key);
    if (!m_keys.count(folded)) return std::nullopt;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].folded == folded) return i + 1;
    }
    return std::nullopt;
}

bool HistoryList::Remove(std::wstring_view key) {
    const auto position = Find(key);
    if (!position) return false;
    const std::size_t i = *position - 1;
    m_keys.erase(m_rows[i].folded);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
    if (m_selected) {
        if (*m_selected == i) {
            m_selected.reset();
        } else if (*m_selected > i) {
            --*m_selected;
        }
    }
    return true;
}

void HistoryList::PutOnTop(std::wstring key, std::wstring text) {
    m_edits.push_back({HistoryEdit::Kind::PutOnTop, key, text});
    Remove(key);
    if (Add(1, key, std::move(text))) SetSubItem1(1, std::move(key));
}

bool HistoryList::Forget(std::wstring_view key) {
    m_edits.push_back({HistoryEdit::Kind::Delete, std::wstring(key), {}});
    return Remove(key);
}

void HistoryList::Replay(const std::vector<HistoryEdit>& edits) {
    for (const HistoryEdit& edit : edits) {
        Remove(edit.key);
        if (edit.kind == HistoryEdit::Kind::PutOnTop && Add(1, edit.key, edit.text)) {
            SetSubItem1(1, edit.key);
        }
    }
}

void HistoryList::SetText(std::size_t position, std::wstring text) {
    m_rows[Index(position)].entry.Text = std::move(text);
}

void HistoryList::SetSubItem1(std::size_t position, std::wstring path) {
    m_rows[Index(position)].entry.SubItem1 = std::move(path);
}

void HistoryList::SetResult(std::size_t position, std::wstring result) {
    m_rows[Index(position)].entry.Result = std::move(result);
}

bool HistoryList::Selected(std::size_t position) const {
    return m_selected && *m_selected == Index(position);
}

void HistoryList::SetSelected(std::size_t position, bool selected) {
    const std::size_t i = Index(position);
    if (selected) {
        m_selected = i;
    } else if (m_selected == i) {
        m_selected.reset();
    }
}

std::optional<std::size_t> HistoryList::SelectedPosition() const {
    if (!m_selected) return std::nullopt;
    return *m_selected + 1;
}

}  // namespace tolvar
