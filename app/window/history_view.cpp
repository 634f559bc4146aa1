#include "history_view.h"

#include <algorithm>
#include <iterator>

#include "design.h"
#include "dpi.h"
#include "layout.h"

namespace tolvar {

namespace {

// The list's columns, left to right, with their designed widths.
struct ListColumn {
    std::wstring_view header;
    float widthTwips;
};
constexpr ListColumn kListColumns[] = {{kFileNameColumn, kFileNameColumnTwips},
                                       {kPathColumn, kPathColumnTwips},
                                       {kResultColumn, kResultColumnTwips}};
constexpr int kFileNameColumnIndex = 0, kPathColumnIndex = 1, kResultColumnIndex = 2;
constexpr int kColumnCount = static_cast<int>(std::size(kListColumns));
// The narrowest the Path column becomes when the window is made small.
constexpr float kPathColumnLeastTwips = 600;

// The Path column takes what the other two leave of the list, less room for a vertical scroll
// bar, so that the columns fit and a long list adds no horizontal one.
int PathColumnWidth(int listWidth, int fileNameWidth, int resultWidth, int dpi) {
    const int frame =
        2 * SystemMetricForDpi(SM_CXEDGE, dpi) + SystemMetricForDpi(SM_CXVSCROLL, dpi);
    return std::max(TwipsToPixels(kPathColumnLeastTwips, dpi),
                    listWidth - frame - fileNameWidth - resultWidth);
}

int DesignedWidth(int index, int dpi) {
    return TwipsToPixels(kListColumns[index].widthTwips, dpi);
}

// Copies as much of the text as the buffer holds, ended by a code-0 character.
void CopyCut(const std::wstring& text, wchar_t* buffer, int capacity) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(capacity) - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = L'\0';
}

}  // namespace

bool HistoryView::Attach(HWND list, int listWidth, int dpi) {
    m_list = list;
    ListView_SetExtendedListViewStyle(
        list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    // Each column is made at its width: setting the widths afterwards costs start-up time.
    for (int index = 0; index < kColumnCount; ++index) {
        std::wstring text(kListColumns[index].header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT | LVCF_WIDTH;
        column.fmt = LVCFMT_LEFT;
        column.cx = index == kPathColumnIndex
                        ? PathColumnWidth(listWidth, DesignedWidth(kFileNameColumnIndex, dpi),
                                          DesignedWidth(kResultColumnIndex, dpi), dpi)
                        : DesignedWidth(index, dpi);
        column.pszText = text.data();
        column.iSubItem = index;
        if (SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)) < 0) {
            return false;
        }
    }
    return true;
}

void HistoryView::SetColumnWidths(int dpi) {
    for (int index = 0; index < kColumnCount; ++index) {
        if (index != kPathColumnIndex)
            ListView_SetColumnWidth(m_list, index, DesignedWidth(index, dpi));
    }
    FitColumns(dpi);
}

// The other two keep the widths the user gave them.
void HistoryView::FitColumns(int dpi) {
    RECT rect{};
    GetWindowRect(m_list, &rect);
    const int width = PathColumnWidth(rect.right - rect.left,
                                      ListView_GetColumnWidth(m_list, kFileNameColumnIndex),
                                      ListView_GetColumnWidth(m_list, kResultColumnIndex), dpi);
    if (ListView_GetColumnWidth(m_list, kPathColumnIndex) != width) {
        ListView_SetColumnWidth(m_list, kPathColumnIndex, width);
    }
}

void HistoryView::Show() {
    m_showing = true;
    ListView_SetItemCountEx(m_list, static_cast<int>(m_history.Count()), LVSICF_NOSCROLL);
    ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (const auto selected = m_history.SelectedPosition()) {
        const int item = static_cast<int>(*selected) - 1;
        ListView_SetItemState(m_list, item, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(m_list, item, FALSE);
    }
    InvalidateRect(m_list, nullptr, FALSE);
    m_showing = false;
}

void HistoryView::SetResult(const std::wstring& path, std::wstring result, std::wstring outcome) {
    if (const auto position = m_history.Find(path)) {
        m_history.SetResult(*position, std::move(result));
        m_outcomes[m_history.Fold()(path)] = std::move(outcome);
        InvalidateRect(m_list, nullptr, FALSE);
    }
}

std::wstring HistoryView::OutcomeOf(const std::wstring& path) const {
    const auto found = m_outcomes.find(m_history.Fold()(path));
    return found != m_outcomes.end() ? found->second : std::wstring();
}

LRESULT HistoryView::Notify(const NMHDR& header, Request& request) {
    // The list hands its own structures over; their text buffers are for the answer.
    auto& mutableHeader = const_cast<NMHDR&>(header);
    switch (header.code) {
        case LVN_GETDISPINFOW:
            GetDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(mutableHeader));
            return 0;
        case LVN_GETINFOTIPW:
            GetInfoTip(reinterpret_cast<NMLVGETINFOTIPW&>(mutableHeader));
            return 0;
        case LVN_ODFINDITEMW:
            return FindItem(reinterpret_cast<const NMLVFINDITEMW&>(header));
        case LVN_ITEMCHANGED:
            ItemChanged(reinterpret_cast<const NMLISTVIEW&>(header), request);
            return 0;
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
                request.kind = Request::Kind::DeleteSelected;
            }
            return 0;
        case NM_CLICK: {
            // A click on the entry that is already selected copies it again.
            const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (click.iItem >= 0 && static_cast<std::size_t>(click.iItem) < m_history.Count()) {
                request = {Request::Kind::Pick, static_cast<std::size_t>(click.iItem) + 1};
            }
            return 0;
        }
    }
    return 0;
}

void HistoryView::GetDisplayInfo(NMLVDISPINFOW& info) const {
    LVITEMW& item = info.item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0 || item.iItem < 0 ||
        static_cast<std::size_t>(item.iItem) >= m_history.Count()) {
        return;
    }
    const HistoryEntry& entry = m_history.Item(static_cast<std::size_t>(item.iItem) + 1);
    CopyCut(item.iSubItem == kFileNameColumnIndex ? entry.Text
            : item.iSubItem == kPathColumnIndex   ? entry.SubItem1
                                                  : entry.Result,
            item.pszText, item.cchTextMax);
}

void HistoryView::ItemChanged(const NMLISTVIEW& change, Request& request) {
    if (m_showing || !(change.uChanged & LVIF_STATE)) return;
    const bool was = change.uOldState & LVIS_SELECTED, is = change.uNewState & LVIS_SELECTED;
    if (change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= m_history.Count()) {
        if (!is && was) {
            if (auto selected = m_history.SelectedPosition()) {
                m_history.SetSelected(*selected, false);
            }
        }
        return;
    }
    const std::size_t position = static_cast<std::size_t>(change.iItem) + 1;
    if (is && !was) {
        // A selection the user made, with the mouse or the keyboard.
        m_history.SetSelected(position, true);
        request = {Request::Kind::Pick, position};
    } else if (was && !is) {
        m_history.SetSelected(position, false);
    }
}

// Type-ahead in the list: the next title that begins with the typed text, without regard to case.
int HistoryView::FindItem(const NMLVFINDITEMW& find) const {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    const std::wstring wanted = m_history.Fold()(find.lvfi.psz);
    const std::size_t count = m_history.Count();
    if (count == 0) return -1;
    const std::size_t start = find.iStart >= 0 ? static_cast<std::size_t>(find.iStart) % count : 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = (start + k) % count;
        if (!(find.lvfi.flags & LVFI_WRAP) && i < start) break;
        const std::wstring title = m_history.Fold()(m_history.Item(i + 1).Text);
        const bool match =
            (find.lvfi.flags & LVFI_PARTIAL) ? title.rfind(wanted, 0) == 0 : title == wanted;
        if (match) return static_cast<int>(i);
    }
    return -1;
}

// An entry's tip: the whole outcome of its last command, of which the Result column shows a word.
void HistoryView::GetInfoTip(NMLVGETINFOTIPW& tip) const {
    if (!tip.pszText || tip.cchTextMax <= 0 || tip.iItem < 0 ||
        static_cast<std::size_t>(tip.iItem) >= m_history.Count()) {
        return;
    }
    const std::wstring outcome =
        OutcomeOf(m_history.Item(static_cast<std::size_t>(tip.iItem) + 1).Key);
    if (outcome.empty()) return;  // the list's own tip, if any, stays
    CopyCut(outcome, tip.pszText, tip.cchTextMax);
}

}  // namespace tolvar
