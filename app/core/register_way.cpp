#include "register_way.h"

#include "host_command.h"

namespace tolvar {

namespace {

constexpr std::wstring_view kForMeOnlyName = L"For me only";
constexpr std::wstring_view kAsAdministratorName = L"As administrator";

constexpr std::wstring_view kOnlyAsAdministrator =
    L"A program registers itself in its own process: only As administrator applies to it";
constexpr std::wstring_view kNoProgram = L"Not a program file: nothing can load it";
constexpr std::wstring_view kDotNet = L".NET assembly: register it with regasm";
constexpr std::wstring_view kOtherProcessor = L"No registration host loads files of this processor";
constexpr std::wstring_view kNoRegisterExport = L"It exports no DllRegisterServer";
constexpr std::wstring_view kNoUnregisterExport = L"It exports no DllUnregisterServer";
constexpr std::wstring_view kAlreadyElevated = L"Tolvar runs as administrator already";
constexpr std::wstring_view kRegFileRegistersOnly = L"A .reg file holds a registration only";

}  // namespace

std::wstring HostProgramFor(PeMachine machine) {
    constexpr unsigned k32Bits = 32, k64Bits = 64;
    switch (machine) {
        case PeMachine::X86:
            return host::HostProgramName(k32Bits);
        case PeMachine::X64:
            return host::HostProgramName(k64Bits);
        default:
            return {};
    }
}

std::optional<std::wstring> WayRefusal(RegisterWay way, bool registering, const WayTarget& target,
                                       bool elevated) {
    const auto refuse = [](std::wstring_view why) { return std::optional(std::wstring(why)); };
    switch (way) {
        case RegisterWay::Usual:
            return std::nullopt;
        case RegisterWay::AsAdministrator:
            return elevated ? refuse(kAlreadyElevated) : std::nullopt;
        case RegisterWay::ToRegFile:
            if (!registering) return refuse(kRegFileRegistersOnly);
            break;
        case RegisterWay::ForMeOnly:
            break;
    }
    // The host loads the file in its own process: an in-process server of a processor it has.
    if (target.kind != TargetKind::Dll) return refuse(kOnlyAsAdministrator);
    if (!target.read) return std::nullopt;  // told at its end, as for the usual way
    if (!target.image) return refuse(kNoProgram);
    const PeImage& image = *target.image;
    if (image.hasClrHeader) return refuse(kDotNet);
    if (HostProgramFor(image.machine).empty()) return refuse(kOtherProcessor);
    if (registering ? !image.exportsRegister : !image.exportsUnregister) {
        return refuse(registering ? kNoRegisterExport : kNoUnregisterExport);
    }
    return std::nullopt;
}

std::wstring_view WayWords(RegisterWay way) {
    switch (way) {
        case RegisterWay::ForMeOnly:
            return L" for you only";
        case RegisterWay::AsAdministrator:
            return L" as administrator";
        case RegisterWay::ToRegFile:
            return L" into a .reg file";
        case RegisterWay::Usual:
            break;
    }
    return {};
}

std::wstring AccessDeniedHint(RegisterWay way, TargetKind kind, bool elevated) {
    const bool forMe = way != RegisterWay::ForMeOnly && kind == TargetKind::Dll;
    const bool asAdministrator = !elevated && way != RegisterWay::AsAdministrator;
    if (!forMe && !asAdministrator) return {};
    std::wstring hint = L"; try ";
    if (forMe) hint.append(kForMeOnlyName);
    if (forMe && asAdministrator) hint.append(L", or ");
    if (asAdministrator) hint.append(kAsAdministratorName);
    return hint;
}

}  // namespace tolvar
