// The ways to register from the window: the split buttons' drop-downs, the history list's context
// menu, and the reasons greyed items give.
#include <windows.h>
#include <commctrl.h>

#include "frmTolvar.h"

#include <cstring>

#include "command_watcher.h"
#include "controls.h"
#include "design.h"
#include "elevation.h"
#include "error_log.h"
#include "file_pick.h"
#include "frmTolvar_detail.h"
#include "way_menu_view.h"

namespace tolvar {

using namespace window_detail;

namespace {

constexpr UINT_PTR kSplitButtonSubclass = 1;

// The keyboard's place for a context menu: the selected entry, or the list's corner.
POINT KeyboardMenuPoint(HWND list) {
    RECT rect{};
    const int item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (item < 0 || !ListView_GetItemRect(list, item, &rect, LVIR_LABEL))
        GetClientRect(list, &rect);
    POINT at{rect.left, rect.bottom};
    ClientToScreen(list, &at);
    return at;
}

bool CopyToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool done = false;
    if (memory) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            // The clipboard owns the memory once it took it.
            done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!done) GlobalFree(memory);
    }
    CloseClipboard();
    return done;
}

}  // namespace

LRESULT CALLBACK frmTolvar::SplitButtonKeys(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR) {
    const bool altDown = message == WM_SYSKEYDOWN && wParam == VK_DOWN;
    const bool f4 = message == WM_KEYDOWN && wParam == VK_F4;
    if (altDown || f4) {
        PostMessageW(GetParent(button), kOpenDropDownMessage,
                     static_cast<WPARAM>(GetDlgCtrlID(button) - kFirstControlId), 0);
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(button, &SplitButtonKeys, kSplitButtonSubclass);
    return DefSubclassProc(button, message, wParam, lParam);
}

// Administrator rights show in the title, as the system's own consoles show them.
void frmTolvar::ShowRights() {
    m_elevated = RunsElevated();
    m_runner->SetElevated(m_elevated);
    if (m_elevated) {
        const std::wstring caption = std::wstring(kElevatedCaptionPrefix).append(kCaption);
        SetWindowTextW(m_hwnd, caption.c_str());
    }
}

LRESULT frmTolvar::OnDropDown(const NMHDR& header) {
    for (const Control button : {kRegisterButton, kUnregisterButton}) {
        if (header.hwndFrom == m_controls[button]) ShowDropDown(button);
    }
    return 0;
}

void frmTolvar::AddSplitButtonKeys() {
    for (const Control button : {kRegisterButton, kUnregisterButton}) {
        SetWindowSubclass(m_controls[button], &SplitButtonKeys, kSplitButtonSubclass, 0);
    }
}

WayTarget frmTolvar::WayTargetOf(const std::wstring& path, const std::wstring& title) const {
    WayTarget target{KindOfTitle(title), false, std::nullopt};
    if (const TargetFacts* facts = m_target->FactsOf(path)) {
        target.read = true;
        target.image = facts->image;
    }
    return target;
}

MenuCommand frmTolvar::ShowMenu(std::vector<MenuItem> items, POINT at, UINT flags) {
    if (!m_shield) m_shield = ShieldBitmap(m_dpi);
    m_menuItems = std::move(items);
    const MenuCommand chosen = TrackMenu(m_hwnd, m_menuItems, at, flags, m_shield.get());
    m_menuItems.clear();
    return chosen;
}

// Below the button, its left edges in line; several targets are offered what one could be.
void frmTolvar::ShowDropDown(Control button) {
    const bool registering = button == kRegisterButton;
    const std::vector<std::wstring> paths = ParseTargets(Text());
    const WayTarget target = paths.size() == 1 ? WayTargetOf(paths.front(), m_tag)
                                               : WayTarget{TargetKind::Dll, false, std::nullopt};
    RECT rect{};
    GetWindowRect(m_controls[button], &rect);
    const MenuCommand chosen = ShowMenu(DropDownMenu(registering, target, m_elevated),
                                        {rect.left, rect.bottom}, TPM_LEFTALIGN | TPM_TOPALIGN);
    if (const auto action = ActionOf(chosen)) RunTargets(action->registering, action->way);
}

void frmTolvar::OnContextMenu(HWND from, POINT at) {
    const HWND list = m_controls[kHistoryList];
    if (from != list) return;
    // From the keyboard (Shift+F10, the menu key) the point is (-1, -1).
    std::optional<std::size_t> position = m_history.SelectedPosition();
    if (at.x == -1 && at.y == -1) {
        at = KeyboardMenuPoint(list);
    } else {
        LVHITTESTINFO hit{};
        hit.pt = at;
        ScreenToClient(list, &hit.pt);
        const int item = ListView_HitTest(list, &hit);
        if (item < 0) return;  // not on an entry
        position = static_cast<std::size_t>(item) + 1;
    }
    if (!position) return;
    const HistoryEntry& entry = m_history.Item(*position);
    const MenuCommand chosen =
        ShowMenu(ContextMenu(WayTargetOf(entry.SubItem1, entry.Text), m_elevated), at,
                 TPM_LEFTALIGN | TPM_TOPALIGN);
    if (chosen != MenuCommand::None) RunOnEntry(*position, chosen);
}

void frmTolvar::RunOnEntry(std::size_t position, MenuCommand command) {
    const std::wstring path = m_history.Item(position).SubItem1;
    switch (command) {
        case MenuCommand::OpenLocation: {
            // Explorer opens the folder with the file selected.
            const std::wstring line = L"explorer.exe /select," + QuotedPath(path);
            if (!StartProcess(std::nullopt, line, SW_SHOWNORMAL).process) {
                LogFailure("opening the file's location", "explorer.exe");
            }
            return;
        }
        case MenuCommand::CopyPath:
            if (!CopyToClipboard(m_hwnd, path)) LogFailure("copying a path", "the clipboard");
            return;
        case MenuCommand::Remove:
            m_history.SetSelected(position, true);
            lstHistory_DeleteSelected();
            return;
        default:
            break;
    }
    if (const auto action = ActionOf(command)) {
        m_history.SetSelected(position, true);
        lstHistory_ItemClick(position);
        RunTargets(action->registering, action->way);
    }
}

// A greyed item says on the status bar why it cannot be chosen, as long as it is highlighted.
void frmTolvar::OnMenuSelect(UINT id, UINT flags) {
    for (const MenuItem& item : m_menuItems) {
        if (static_cast<UINT>(item.command) != id || !(flags & MF_GRAYED) || !item.refusal) {
            continue;
        }
        if (!m_statusBeforeMenu) m_statusBeforeMenu = StatusText();
        SetStatus(*item.refusal);
        return;
    }
    if (m_statusBeforeMenu) {
        SetStatus(*m_statusBeforeMenu);
        m_statusBeforeMenu.reset();
    }
}

void frmTolvar::OnExitMenuLoop() {
    if (m_statusBeforeMenu) SetStatus(*m_statusBeforeMenu);
    m_statusBeforeMenu.reset();
}

void frmTolvar::RunTargets(bool registering, RegisterWay way) {
    std::wstring regFile;
    if (way == RegisterWay::ToRegFile) {
        const std::vector<std::wstring> paths = ParseTargets(Text());
        if (paths.empty()) {
            SetStatus(NoFileLine(registering));
            return;
        }
        regFile = PickRegFile(m_hwnd, paths.front());
        if (regFile.empty()) return;  // cancelled
    }
    RunCommand(registering, way, std::move(regFile));
}

}  // namespace tolvar
