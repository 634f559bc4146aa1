// What a finished command did, in words a user understands: the status line, the history's Result
// column, and what the registry says of the file afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"

namespace tolvar {

inline constexpr std::wstring_view kRunningResult = L"Running\u2026";
inline constexpr std::wstring_view kNotStartedResult = L"Not started";
inline constexpr std::wstring_view kUnknownOutcomeResult = L"Ended; outcome unknown";

struct CommandOutcome {
    TargetKind kind;  // Dll: regsvr32 (or the host) ran on the file; Other: the server itself
    bool registering;
    std::uint32_t exitCode;
    // The registration host ran on the file: its codes are regsvr32's up to 4, and the entry
    // point's own HRESULT after that.
    bool hosted = false;
};

// Exit code 0: regsvr32 and servers alike report success with it; the host also with S_FALSE.
bool Succeeded(const CommandOutcome& outcome);

// An exit code in the error range of HRESULTs (severity bit set, not a crash's NTSTATUS), as an
// ATL server returns from /Regserver: the system has a text for many of them.
bool IsFailureHResult(std::uint32_t code);

// "Registering testcom.dll…" / "Unregistering testcom.dll…"
std::wstring RunningLine(std::wstring_view title, bool registering);

// The status line when a command ends. A failure leads with the file and the cause, the exit
// code last: "testcom.dll registered", "noexport.dll: it has no DllRegisterServer (exit code 4)",
// "x.exe: Access is denied (exit code 0x80070005)", "x.exe crashed: access violation (exit code
// 0xC0000005)", "x.dll failed (exit code 0x00000007)". `systemText` is the system's message for
// a failure HRESULT (empty: none). `detail`, when not empty, stands for regsvr32's own meaning of
// exit code 3, which is the same whatever kept the file from loading: "needs.dll: missing
// a.dll (exit code 3)".
std::wstring OutcomeLine(std::wstring_view title, const CommandOutcome& outcome,
                         std::wstring_view systemText, std::wstring_view detail = {});

// A command whose exit code could not be read: "x.dll ended; outcome unknown".
std::wstring UnknownOutcomeLine(std::wstring_view title);

// While a batch runs: "Registering 2 of 5: y.ocx…".
std::wstring BatchRunningLine(std::wstring_view title, bool registering, std::size_t number,
                              std::size_t count);

// When it has run, failures first: "z.dll: it could not be loaded: ... (exit code 3); 4 of 5
// registered".
std::wstring BatchSummaryLine(bool registering, std::size_t succeeded, std::size_t count,
                              const std::vector<std::wstring>& failures);

// The Result column: "Registered", "Unregistered", "Failed (3)", "Failed (0x80070005)",
// "Crashed (0xC0000005)".
std::wstring ResultText(const CommandOutcome& outcome);

// A command that could not be started at all: "testcom.dll could not be started: <system text>".
std::wstring NotStartedLine(std::wstring_view title, std::wstring_view systemText);

// What a run into a .reg file left: "Grid.reg saved: 4 keys"; with names the format cannot hold,
// ", without 1 name a .reg file cannot hold"; "Grid.reg not saved: the registration wrote
// nothing". `error` is the system's text when the file could not be written.
std::wstring RegFileLine(std::wstring_view fileTitle, std::size_t keys, std::size_t unwritten,
                         std::wstring_view error = {});

// The box names no file: nothing is started.
std::wstring NoFileLine(bool registering);

// How many classes name the file, per place: the machine's classes and the user's, each seen in
// the 64-bit and the 32-bit registry view (one view only on 32-bit Windows). A class seen in both
// views counts once.
struct HiveCount {
    std::size_t classes = 0;
    bool in64BitView = false;
    bool in32BitView = false;
};
struct RegistrationCount {
    HiveCount machine, user;
    bool twoViews = true;  // false: the system has one registry view
};

// After a success: "testcom.dll registered: 1 class (per-user, 32-bit view)"; "x.dll registered,
// but no class names this file (...)"; "x.dll unregistered: no class names it any more"; "x.dll
// unregistered, but 2 classes still name it (machine, 64-bit view)".
std::wstring RegistrationLine(std::wstring_view title, bool registering,
                              const RegistrationCount& count);

}  // namespace tolvar
