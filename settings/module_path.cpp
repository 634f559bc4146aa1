#include <windows.h>

#include "module_path.h"

#include "ansi.h"

namespace tolvar {

std::wstring ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return FromAnsi(path);
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
