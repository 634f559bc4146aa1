#include <windows.h>

#include "module_path.h"

namespace tolvar {

// Wide: a folder named outside the ANSI code page (C:\Users\Иван\Tools) comes back exactly, not
// as question marks or a best-fit look-alike of another folder.
std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ExecutableDirectory() {
    const std::wstring exe = ExecutablePath();
    const auto slash = exe.find_last_of(L'\\');
    return slash == exe.npos ? std::wstring() : exe.substr(0, slash);
}

std::wstring ExecutableBaseName() {
    const std::wstring exe = ExecutablePath();
    const auto slash = exe.find_last_of(L'\\');
    std::wstring base = slash == exe.npos ? exe : exe.substr(slash + 1);
    const auto dot = base.rfind(L'.');
    if (dot != base.npos) base.resize(dot);
    return base;
}

}  // namespace tolvar
