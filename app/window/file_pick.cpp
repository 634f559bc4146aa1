#include "file_pick.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>

#include "design.h"
#include "error_log.h"
#include "system_function.h"
#include "target_list.h"
#include "win32_handles.h"

namespace tolvar {

namespace {

// The file dialog's hook: each change of the selection makes room for it in the buffer, so that a
// selection of any size fits, where the dialog would otherwise refuse it and open again empty.
UINT_PTR CALLBACK GrowSelection(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY) return 0;
    const auto& notify = *reinterpret_cast<const OFNOTIFYW*>(lParam);
    if (notify.hdr.code != CDN_SELCHANGE || !notify.lpOFN) return 0;
    const HWND dialog = GetParent(hook);
    const LRESULT folder = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT names = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
    if (folder < 0 || names < 0) return 0;
    // The folder and each name, each ended by a code-0 character, and one more: never more than
    // the folder and the quoted, blank-separated names the box shows.
    const std::size_t needed =
        static_cast<std::size_t>(folder) + static_cast<std::size_t>(names) + 2;
    OPENFILENAMEW& dialogData = *notify.lpOFN;
    if (needed <= dialogData.nMaxFile) return 0;
    auto& selection = *reinterpret_cast<std::wstring*>(dialogData.lCustData);
    selection.resize(needed * 2, L'\0');
    dialogData.lpstrFile = selection.data();
    dialogData.nMaxFile = static_cast<DWORD>(selection.size());
    return 0;
}

// The messages a drop from a program with lower rights needs through the message filter.
// WM_COPYGLOBALDATA is not in the SDK headers. WM_COPYDATA stays filtered: it carries requests
// to register, which a program with lower rights must not make of an elevated Tolvar.
constexpr UINT kCopyGlobalData = 0x0049;
constexpr UINT kDropMessages[] = {WM_DROPFILES, kCopyGlobalData};

}  // namespace

std::vector<std::wstring> PickFiles(HWND owner, const std::wstring& startAt) {
    const std::wstring filter = DialogFilterForSystem(kDialogFilter);
    const std::wstring title(kDialogTitle);
    // Room for a selection of many files, grown while the user selects.
    std::wstring selection(std::max(kDialogSelectionChars, startAt.size() + 1), L'\0');
    std::copy(startAt.begin(), startAt.end(), selection.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrFile = selection.data();
    dialog.nMaxFile = static_cast<DWORD>(selection.size());
    dialog.lpfnHook = &GrowSelection;
    dialog.lCustData = reinterpret_cast<LPARAM>(&selection);
    // The program's current directory stays where it was, whatever folder the user browses.
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) {
        // A typed list longer than the buffer (the hook grows it only for a selection) is lost.
        if (CommDlgExtendedError() != 0) LogFailure("the file dialog", "GetOpenFileNameW");
        return {};
    }
    return ParseDialogSelection(selection);
}

std::wstring PickRegFile(HWND owner, const std::wstring& target) {
    constexpr std::wstring_view kRegFilter = L"Registration entries (*.reg)\0*.reg\0";
    constexpr std::wstring_view kRegExtension = L"reg";
    const std::wstring filter(kRegFilter.data(), kRegFilter.size() + 1);
    const std::wstring extension(kRegExtension);
    std::wstring name = target;
    const std::size_t dot = name.find_last_of(L'.');
    const std::size_t slash = name.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) name.resize(dot);
    name += L'.';
    name += extension;
    std::wstring file(std::max<std::size_t>(MAX_PATH, name.size()) + 1, L'\0');
    std::copy(name.begin(), name.end(), file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) {
        if (CommDlgExtendedError() != 0) LogFailure("the save dialog", "GetSaveFileNameW");
        return {};
    }
    return file.c_str();
}

// The shell's drop functions are loaded only here, so that start-up does without shell32.
std::vector<std::wstring> DroppedFiles(HDROP drop) {
    using QueryFile = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using Finish = void(WINAPI*)(HDROP);
    const UniqueModule shell(LoadLibraryW(L"shell32.dll"));
    const auto query = SystemFunction<QueryFile>(shell.get(), "DragQueryFileW");
    const auto finish = SystemFunction<Finish>(shell.get(), "DragFinish");
    if (!query || !finish) {
        LogFailure("reading a drop", "the shell's drop functions are missing");
        return {};
    }
    constexpr UINT kCountFiles = 0xFFFFFFFF;
    const UINT count = query(drop, kCountFiles, nullptr, 0);
    std::vector<std::wstring> files;
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(query(drop, i, nullptr, 0), L'\0');
        path.resize(query(drop, i, path.data(), static_cast<UINT>(path.size() + 1)));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (path.empty() ||
            (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
            continue;
        }
        files.push_back(std::move(path));
    }
    finish(drop);
    return files;
}

void AllowDropsFromLowerRights(HWND window) {
    using Allow = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const auto allow = User32Function<Allow>("ChangeWindowMessageFilterEx");
    if (!allow) return;
    for (const UINT message : kDropMessages) allow(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace tolvar
