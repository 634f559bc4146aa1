// The registration host's command line and exit codes: all that passes between Tolvar and the
// host. No windows.h, so that it is built natively as well.
//
//   TolvarHost<32|64>.exe /user /register|/unregister "<file>"
//   TolvarHost<32|64>.exe /map "<key>" /register|/unregister "<file>"
//
// /user ("for me only"): what the file writes to HKEY_CLASSES_ROOT lands in
// HKEY_CURRENT_USER\Software\Classes, type libraries included.
// /map <key> (for a .reg file): HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER each
// land in a subkey of <key> named after the root (kMappedRoots). <key> is a path below
// HKEY_CURRENT_USER that the caller made and that the caller reads and deletes afterwards.
// <file> is a fully qualified path ("C:\..." or "\\server\..."). The switches are matched exactly,
// as BuildArguments writes them, in this order and no other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::host {

inline constexpr std::wstring_view kUserSwitch = L"/user";
inline constexpr std::wstring_view kMapSwitch = L"/map";
inline constexpr std::wstring_view kRegisterSwitch = L"/register";
inline constexpr std::wstring_view kUnregisterSwitch = L"/unregister";

// The subkeys of the /map key, one for each root it stands in for.
inline constexpr std::wstring_view kMappedClassesRoot = L"HKEY_CLASSES_ROOT";
inline constexpr std::wstring_view kMappedLocalMachine = L"HKEY_LOCAL_MACHINE";
inline constexpr std::wstring_view kMappedCurrentUser = L"HKEY_CURRENT_USER";

// The exit code is the HRESULT DllRegisterServer or DllUnregisterServer returned (S_OK = 0; a
// success code such as S_FALSE = 1 comes back as it is), the exception code when the host crashed
// (0xC0000005 for an access violation: both top bits set, which an ordinary HRESULT has not), or
// one of the host's own below. 2, 3 and 4 mean what they mean for regsvr32. 1 is left to S_FALSE,
// and 5 (regsvr32's "the entry point failed") to the entry point's own HRESULT, which comes back
// in its place.
inline constexpr std::uint32_t kExitOleFailed = 2;       // OleInitialize failed
inline constexpr std::uint32_t kExitLoadFailed = 3;      // the file could not be loaded
inline constexpr std::uint32_t kExitNoEntryPoint = 4;    // it has no such entry point
inline constexpr std::uint32_t kExitUsage = 6;           // a command line other than the above
inline constexpr std::uint32_t kExitRedirectFailed = 7;  // the registry could not be redirected

enum class Redirect { User, Map };

struct Request {
    Redirect redirect = Redirect::User;
    std::wstring mapKey;  // Map only
    bool registering = true;
    std::wstring file;
};

// The arguments after the program's name; nothing when they are not one of the two forms above.
std::optional<Request> ParseArguments(const std::vector<std::wstring_view>& args);

// The arguments for a request ParseArguments accepts, the key and the file in double quotes:
// /map "Software\Tolvar\Export" /register "C:\dir\x.dll".
std::wstring BuildArguments(const Request& request);

// "TolvarHost32.exe" or "TolvarHost64.exe": the host for servers of that processor width.
std::wstring HostProgramName(unsigned bits);

}  // namespace tolvar::host
