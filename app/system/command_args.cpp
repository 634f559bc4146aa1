#include <windows.h>

#include "command_args.h"

#include <string>
#include <vector>

#include "error_log.h"
#include "system_function.h"
#include "win32_handles.h"

namespace tolvar {

CommandLineRequest ReadCommandLine() {
    const wchar_t* const line = GetCommandLineW();
    if (!HasArguments(line)) return {};
    using Split = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    const UniqueModule shell(LoadLibraryW(L"shell32.dll"));
    const auto split = SystemFunction<Split>(shell.get(), "CommandLineToArgvW");
    int count = 0;
    LPWSTR* const argv = split ? split(line, &count) : nullptr;
    if (!argv) {
        LogFailure("reading the command line", "CommandLineToArgvW");
        return {};
    }
    std::vector<std::wstring> arguments(argv + (count > 0 ? 1 : 0), argv + count);
    LocalFree(argv);
    return ParseArguments(arguments);
}

}  // namespace tolvar
