#include "outcome.h"

#include <cstdio>
#include <iterator>

namespace tolvar {

namespace {

constexpr std::wstring_view kEllipsis = L"\u2026";
constexpr std::wstring_view kRegistering = L"Registering ";
constexpr std::wstring_view kUnregistering = L"Unregistering ";
constexpr std::wstring_view kRegistered = L"registered";
constexpr std::wstring_view kUnregistered = L"unregistered";
constexpr std::wstring_view kRegisteredResult = L"Registered";
constexpr std::wstring_view kUnregisteredResult = L"Unregistered";
constexpr std::wstring_view kFailed = L"failed";
constexpr std::wstring_view kCrashed = L"crashed";
constexpr std::wstring_view kFailedResult = L"Failed";
constexpr std::wstring_view kCrashedResult = L"Crashed";
constexpr std::wstring_view kExitCode = L" (exit code ";
constexpr std::wstring_view kUnknownOutcome = L"ended; outcome unknown";

// regsvr32's exit codes, each a stage at which it stopped.
constexpr std::uint32_t kBadArguments = 1, kOleFailed = 2, kLoadFailed = 3, kNoEntryPoint = 4,
                        kServerFailed = 5;
// The registration host's own codes beyond regsvr32's.
constexpr std::uint32_t kHostUsage = 6, kHostRedirectFailed = 7;

// HRESULTs have the severity bit; an NTSTATUS error (an exception that ended the process) has the
// two top bits.
constexpr std::uint32_t kSeverityBits = 0xC0000000;
constexpr std::uint32_t kHResultError = 0x80000000;
constexpr std::uint32_t kNtStatusError = 0xC0000000;

struct NamedStatus {
    std::uint32_t code;
    std::wstring_view meaning;
};
// The exceptions that end a registering process most often.
constexpr NamedStatus kCrashes[] = {
    {0xC0000005, L"access violation"},
    {0xC06D007E, L"a module it needs was not found"},
    {0xC06D007F, L"a function it needs was not found in a module"},
    {0xC0000135, L"a DLL it needs was not found"},
    {0xC0000139, L"a function it needs was not found in a DLL"},
    {0xC000007B, L"a file it loads is no valid program, or is for another processor"},
    {0xC0000142, L"a DLL it loads failed to start"},
    {0xC00000FD, L"stack overflow"},
    {0xC0000409, L"a security check failed (stack buffer overrun)"},
    {0xC000001D, L"illegal instruction"},
    {0xC0000094, L"integer division by zero"},
};

std::wstring Hex(std::uint32_t code) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"0x%08X", static_cast<unsigned>(code));
    return text;
}

// regsvr32's codes are small and documented in decimal; any other code is shown in hex.
std::wstring CodeText(const CommandOutcome& outcome) {
    const std::uint32_t largest = outcome.hosted ? kHostRedirectFailed : kServerFailed;
    if (outcome.kind == TargetKind::Dll && outcome.exitCode <= largest) {
        return std::to_wstring(outcome.exitCode);
    }
    return Hex(outcome.exitCode);
}

bool IsCrash(std::uint32_t code) {
    return (code & kSeverityBits) == kNtStatusError;
}

std::wstring_view CrashMeaning(std::uint32_t code) {
    for (const NamedStatus& crash : kCrashes) {
        if (crash.code == code) return crash.meaning;
    }
    return {};
}

std::wstring_view Regsvr32Meaning(std::uint32_t code, bool registering) {
    switch (code) {
        case kBadArguments:
            return L"regsvr32 did not take its arguments";
        case kOleFailed:
            return L"OLE could not start";
        case kLoadFailed:
            return L"it could not be loaded: the file or a DLL it needs is missing, or it is for "
                   L"another processor";
        case kNoEntryPoint:
            return registering ? L"it has no DllRegisterServer" : L"it has no DllUnregisterServer";
        case kServerFailed:
            return registering ? L"its own registration failed" : L"its own unregistration failed";
        default:
            return {};
    }
}

// What an exit code other than 0 means, as far as anything is known of it.
std::wstring_view Meaning(const CommandOutcome& outcome, std::wstring_view systemText,
                          std::wstring_view detail) {
    if (IsCrash(outcome.exitCode)) return CrashMeaning(outcome.exitCode);
    if (outcome.hosted) {
        switch (outcome.exitCode) {
            case kHostUsage:
                return L"the registration host did not take its arguments";
            case kHostRedirectFailed:
                return L"the registry could not be redirected";
            case kOleFailed:
            case kLoadFailed:
            case kNoEntryPoint:
                break;  // as regsvr32 says them
            default:
                return IsFailureHResult(outcome.exitCode) ? systemText : std::wstring_view{};
        }
    }
    if (outcome.kind == TargetKind::Dll) {
        return !detail.empty() && outcome.exitCode == kLoadFailed
                   ? detail
                   : Regsvr32Meaning(outcome.exitCode, outcome.registering);
    }
    return IsFailureHResult(outcome.exitCode) ? systemText : std::wstring_view{};
}

std::wstring ClassCount(std::size_t classes) {
    return std::to_wstring(classes) + (classes == 1 ? L" class" : L" classes");
}

std::wstring_view Views(const HiveCount& hive, bool twoViews) {
    if (!twoViews) return {};
    if (hive.in64BitView && hive.in32BitView) return L"32- and 64-bit views";
    return hive.in64BitView ? L"64-bit view" : L"32-bit view";
}

// "(per-user, 32-bit view)"; with both places, "(machine: 2, 64-bit view; per-user: 1, ...)".
// Without `named`, the only place is not named: "(32-bit view)", or nothing.
std::wstring Places(const RegistrationCount& count, bool named = true) {
    struct Place {
        std::wstring_view name;
        const HiveCount& hive;
    };
    const Place places[] = {{L"machine", count.machine}, {L"per-user", count.user}};
    const bool both = count.machine.classes > 0 && count.user.classes > 0;
    std::wstring text = L" (";
    bool first = true;
    for (const Place& place : places) {
        if (place.hive.classes == 0) continue;
        if (!first) text += L"; ";
        first = false;
        if (named || both) text += place.name;
        if (both) text += L": " + std::to_wstring(place.hive.classes);
        if (const std::wstring_view views = Views(place.hive, count.twoViews); !views.empty()) {
            text.append(named || both ? L", " : L"").append(views);
        }
    }
    return text == L" (" ? std::wstring() : text + L")";
}

}  // namespace

bool Succeeded(const CommandOutcome& outcome) {
    // An entry point's S_FALSE is a success too, as regsvr32 takes it.
    constexpr std::uint32_t kSFalse = 1;
    return outcome.exitCode == 0 || (outcome.hosted && outcome.exitCode == kSFalse);
}

bool IsFailureHResult(std::uint32_t code) {
    return (code & kSeverityBits) == kHResultError;
}

std::wstring RunningLine(std::wstring_view title, bool registering) {
    std::wstring line(registering ? kRegistering : kUnregistering);
    return line.append(title).append(kEllipsis);
}

std::wstring OutcomeLine(std::wstring_view title, const CommandOutcome& outcome,
                         std::wstring_view systemText, std::wstring_view detail) {
    std::wstring line(title);
    if (Succeeded(outcome)) {
        return line.append(L" ").append(outcome.registering ? kRegistered : kUnregistered);
    }
    // The file and the cause lead, so that a narrow status bar still shows what went wrong.
    const bool crashed = IsCrash(outcome.exitCode);
    std::wstring_view meaning = Meaning(outcome, systemText, detail);
    while (!meaning.empty() && (meaning.back() == L'.' || meaning.back() == L' ')) {
        meaning.remove_suffix(1);
    }
    if (crashed) {
        line.append(L" ").append(kCrashed);
    } else if (meaning.empty()) {
        line.append(L" ").append(kFailed);
    }
    if (!meaning.empty()) line.append(L": ").append(meaning);
    return line.append(kExitCode).append(CodeText(outcome)).append(L")");
}

std::wstring UnknownOutcomeLine(std::wstring_view title) {
    return std::wstring(title).append(L" ").append(kUnknownOutcome);
}

std::wstring BatchRunningLine(std::wstring_view title, bool registering, std::size_t number,
                              std::size_t count) {
    std::wstring line(registering ? kRegistering : kUnregistering);
    return line.append(std::to_wstring(number))
        .append(L" of ")
        .append(std::to_wstring(count))
        .append(L": ")
        .append(title)
        .append(kEllipsis);
}

std::wstring BatchSummaryLine(bool registering, std::size_t succeeded, std::size_t count,
                              const std::vector<std::wstring>& failures) {
    // What failed comes first: it is what the user must act on.
    std::wstring line;
    for (const std::wstring& failure : failures) line.append(failure).append(L"; ");
    return line + std::to_wstring(succeeded) + L" of " + std::to_wstring(count) + L" " +
           std::wstring(registering ? kRegistered : kUnregistered);
}

std::wstring ResultText(const CommandOutcome& outcome) {
    if (Succeeded(outcome)) {
        return std::wstring(outcome.registering ? kRegisteredResult : kUnregisteredResult);
    }
    std::wstring text(IsCrash(outcome.exitCode) ? kCrashedResult : kFailedResult);
    return text.append(L" (").append(CodeText(outcome)).append(L")");
}

std::wstring NotStartedLine(std::wstring_view title, std::wstring_view systemText) {
    std::wstring line(title);
    line += L" could not be started";
    if (!systemText.empty()) line.append(L": ").append(systemText);
    return line;
}

std::wstring RegFileLine(std::wstring_view fileTitle, std::size_t keys, std::size_t unwritten,
                         std::wstring_view error) {
    std::wstring line(fileTitle);
    if (!error.empty()) return line.append(L" could not be saved: ").append(error);
    if (keys == 0) return line + L" not saved: the registration wrote nothing";
    line += L" saved: " + std::to_wstring(keys) + (keys == 1 ? L" key" : L" keys");
    if (unwritten > 0) {
        line += L", without " + std::to_wstring(unwritten) +
                (unwritten == 1 ? L" name" : L" names") + L" a .reg file cannot hold";
    }
    return line;
}

std::wstring NoFileLine(bool registering) {
    return registering ? L"Type or pick the file to register"
                       : L"Type or pick the file to unregister";
}

std::wstring RegistrationLine(std::wstring_view title, bool registering,
                              const RegistrationCount& count) {
    const std::size_t classes = count.machine.classes + count.user.classes;
    std::wstring line(title);
    line += L' ';
    if (registering) {
        line += kRegistered;
        if (classes == 0) {
            return line +
                   L", but no class names this file: it may have registered only a type "
                   L"library, or another path";
        }
        // Classes only the user's registry holds work for this user's programs alone.
        if (count.machine.classes == 0) {
            return line + L" for you only: " + ClassCount(classes) + Places(count, false);
        }
        return line + L": " + ClassCount(classes) + Places(count);
    }
    line += kUnregistered;
    if (classes == 0) return line + L": no class names it any more";
    return line + L", but " + ClassCount(classes) +
           (classes == 1 ? L" still names it" : L" still name it") + Places(count);
}

}  // namespace tolvar
