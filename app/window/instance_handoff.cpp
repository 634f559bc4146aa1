#include "instance_handoff.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "error_log.h"
#include "module_path.h"
#include "frmTolvar.h"
#include "system_paths.h"

namespace tolvar {

namespace {

constexpr DWORD kLockWaitMs = 5000;
// How long a window may take to answer before it counts as hung.
constexpr UINT kAnswerWaitMs = 5000;

// Kernel object names take no backslash: the history file's folded full path is named by its
// 64-bit FNV-1a hash.
std::wstring LockName(const std::wstring& historyFile) {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull, kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (const wchar_t c : FoldWithSystemCase(FullPathOf(historyFile))) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * kPrime;
    }
    wchar_t name[48];
    std::swprintf(name, std::size(name), L"Local\\Tolvar-start-%016llX",
                  static_cast<unsigned long long>(hash));
    return name;
}

struct Search {
    const COPYDATASTRUCT* data;
    std::wstring folder;  // this program's: a window of a copy elsewhere keeps another history
    bool taken = false;
};

std::wstring FolderOf(std::wstring path) {
    path.resize(std::min(path.size(), path.find_last_of(L"\\/")));
    return path;
}

std::wstring ProgramOf(DWORD processId) {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    return FilledPath([&process](wchar_t* buffer, DWORD size) {
        DWORD n = size;
        return QueryFullProcessImageNameW(process.get(), 0, buffer, &n) ? n : size * 2;
    });
}

BOOL CALLBACK OfferTo(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<Search*>(lParam);
    wchar_t className[64] = {};
    if (!GetClassNameW(hwnd, className, static_cast<int>(std::size(className))) ||
        std::wstring_view(className) != frmTolvar::kWindowClass) {
        return TRUE;
    }
    // Only a copy in this folder can keep this history; any other is not asked, so that one
    // that is busy elsewhere delays nothing.
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (!SameFileText(FolderOf(ProgramOf(process)), search.folder)) return TRUE;
    // The window may come forward: this start is the one the user just made.
    AllowSetForegroundWindow(process);
    DWORD_PTR answer = FALSE;
    if (SendMessageTimeoutW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(search.data),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerWaitMs, &answer) &&
        answer) {
        search.taken = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

StartLock::StartLock(const std::wstring& historyFile)
    : m_mutex(CreateMutexW(nullptr, FALSE, LockName(historyFile).c_str())) {
    if (!m_mutex) {
        LogFailure("making the start lock", "CreateMutexW");
        return;
    }
    const DWORD waited = WaitForSingleObject(m_mutex.get(), kLockWaitMs);
    // An abandoned lock is ours as well; after a time-out the start goes on without it.
    m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!m_held) LogFailure("waiting for the start lock", "WaitForSingleObject");
}

void StartLock::Release() {
    if (m_held) ReleaseMutex(m_mutex.get());
    m_held = false;
}

bool HandOff(const HandedRequest& request) {
    const std::wstring text = EncodeRequest(request);
    COPYDATASTRUCT data{kRequestCopyData, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(text.data())};
    Search search{&data, FolderOf(ExecutablePath())};
    EnumWindows(&OfferTo, reinterpret_cast<LPARAM>(&search));
    return search.taken;
}

std::optional<HandedRequest> ReceivedRequest(const COPYDATASTRUCT& data) {
    if (data.dwData != kRequestCopyData || !data.lpData || data.cbData % sizeof(wchar_t) != 0) {
        return std::nullopt;
    }
    std::wstring text(data.cbData / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.lpData, data.cbData);
    return DecodeRequest(text);
}

}  // namespace tolvar
