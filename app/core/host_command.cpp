#include "host_command.h"

namespace tolvar::host {

namespace {

constexpr wchar_t kSeparator = L'\\';
constexpr wchar_t kQuote = L'"';
constexpr std::size_t kUserArgs = 3, kMapArgs = 4;
// TOLVAR_HOST_STEM comes from the build, which names the program files with it.
constexpr std::wstring_view kHostStem = TOLVAR_HOST_STEM;
constexpr std::wstring_view kExeSuffix = L".exe";

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "C:\dir\x.dll" or "\\server\share\x.dll": searched nowhere, and what the loader's
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR needs. A name ending in a separator is a folder.
bool IsFullyQualifiedFile(std::wstring_view path) {
    const bool drive =
        path.size() > 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == kSeparator;
    const bool unc = path.size() > 2 && path[0] == kSeparator && path[1] == kSeparator;
    return (drive || unc) && path.back() != kSeparator && path.back() != L'/';
}

// "Software\Tolvar\Export": relative to HKEY_CURRENT_USER, no empty part.
bool IsKeyPath(std::wstring_view key) {
    return !key.empty() && key.front() != kSeparator && key.back() != kSeparator &&
           key.find(L"\\\\") == key.npos;
}

std::optional<bool> Registering(std::wstring_view action) {
    if (action == kRegisterSwitch) return true;
    if (action == kUnregisterSwitch) return false;
    return std::nullopt;
}

std::wstring Quoted(std::wstring_view text) {
    std::wstring quoted(1, kQuote);
    quoted += text;
    quoted += kQuote;
    return quoted;
}

}  // namespace

std::optional<Request> ParseArguments(const std::vector<std::wstring_view>& args) {
    Request request;
    std::size_t next = 1;
    if (args.size() == kUserArgs && args[0] == kUserSwitch) {
        request.redirect = Redirect::User;
    } else if (args.size() == kMapArgs && args[0] == kMapSwitch && IsKeyPath(args[1])) {
        request.redirect = Redirect::Map;
        request.mapKey = args[1];
        next = 2;
    } else {
        return std::nullopt;
    }
    const std::optional<bool> registering = Registering(args[next]);
    if (!registering || !IsFullyQualifiedFile(args[next + 1])) return std::nullopt;
    request.registering = *registering;
    request.file = args[next + 1];
    return request;
}

std::wstring BuildArguments(const Request& request) {
    std::wstring line;
    if (request.redirect == Redirect::Map) {
        line.append(kMapSwitch).append(L" ").append(Quoted(request.mapKey));
    } else {
        line.append(kUserSwitch);
    }
    line.append(L" ").append(request.registering ? kRegisterSwitch : kUnregisterSwitch);
    return line.append(L" ").append(Quoted(request.file));
}

std::wstring HostProgramName(unsigned bits) {
    return std::wstring(kHostStem).append(std::to_wstring(bits)).append(kExeSuffix);
}

}  // namespace tolvar::host
