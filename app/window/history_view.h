// The history list view: a virtual list over the history model, its columns, its type-ahead and
// tips. It shows the model; the model keeps the selection and the results.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <map>
#include <string>

#include "history_list.h"

namespace tolvar {

class HistoryView {
  public:
    // What a notification of the list asks of the window.
    struct Request {
        enum class Kind { None, Pick, DeleteSelected } kind = Kind::None;
        std::size_t position = 0;  // of the entry picked, from 1
    };

    explicit HistoryView(HistoryList& history) : m_history(history) {}
    HistoryView(const HistoryView&) = delete;
    HistoryView& operator=(const HistoryView&) = delete;

    // Sets up the list control once made: its styles, and each column at its width.
    bool Attach(HWND list, int listWidth, int dpi);
    // The designed widths at a new DPI.
    void SetColumnWidths(int dpi);
    // The Path column takes the width the other two leave.
    void FitColumns(int dpi);
    // Shows the model: its length and its selection.
    void Show();

    // An entry's Result column, and the whole outcome that its tip shows.
    void SetResult(const std::wstring& path, std::wstring result, std::wstring outcome);
    // The full outcome of the last command on an entry this session.
    std::wstring OutcomeOf(const std::wstring& path) const;

    LRESULT Notify(const NMHDR& header, Request& request);

  private:
    void GetDisplayInfo(NMLVDISPINFOW& info) const;
    void ItemChanged(const NMLISTVIEW& change, Request& request);
    int FindItem(const NMLVFINDITEMW& find) const;
    void GetInfoTip(NMLVGETINFOTIPW& tip) const;

    HistoryList& m_history;
    HWND m_list = nullptr;
    bool m_showing = false;  // list view changes made by the program, not the user
    std::map<std::wstring, std::wstring> m_outcomes;  // by folded path
};

}  // namespace tolvar
