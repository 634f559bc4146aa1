#include "outcome.h"

#include <gtest/gtest.h>

#include "register_way.h"
#include "server_value.h"
#include "target_facts.h"

namespace tolvar {
namespace {

std::wstring Line(TargetKind kind, std::uint32_t code, std::wstring_view systemText = {},
                  std::wstring_view detail = {}) {
    return OutcomeLine(L"x.dll", {kind, true, code}, systemText, detail);
}

// What the real programs cannot be made to do in a test: crash, or end with codes nobody gave a
// meaning.
TEST(Outcome, CrashesAndUnknownCodesAreNamedInHex) {
    EXPECT_EQ(Line(TargetKind::Other, 0xC0000005),
              L"x.dll crashed: access violation (exit code 0xC0000005)");
    EXPECT_EQ(Line(TargetKind::Dll, 0xC06D007E),
              L"x.dll crashed: a module it needs was not found (exit code 0xC06D007E)");
    EXPECT_EQ(Line(TargetKind::Other, 0xC0001234), L"x.dll crashed (exit code 0xC0001234)");
    EXPECT_EQ(Line(TargetKind::Dll, 7), L"x.dll failed (exit code 0x00000007)");
    EXPECT_EQ(Line(TargetKind::Other, 1), L"x.dll failed (exit code 0x00000001)");
    // A failure HRESULT without a text of the system's, and regsvr32's 3 with what is known.
    EXPECT_EQ(Line(TargetKind::Other, 0x80004005), L"x.dll failed (exit code 0x80004005)");
    EXPECT_EQ(Line(TargetKind::Dll, 3, L"", L"missing: A.dll"),
              L"x.dll: missing: A.dll (exit code 3)");
    EXPECT_EQ(ResultText({TargetKind::Other, true, 0xC0000005}), L"Crashed (0xC0000005)");
}

// The host hands back the entry point's own HRESULT, where regsvr32 says only "failed" (5).
TEST(Outcome, TheHostsCodesAreTheEntryPointsOwn) {
    const auto hosted = [](std::uint32_t code, std::wstring_view systemText = {}) {
        return OutcomeLine(L"x.dll", {TargetKind::Dll, true, code, true}, systemText);
    };
    EXPECT_EQ(hosted(0x80070005, L"Access is denied."),
              L"x.dll: Access is denied (exit code 0x80070005)");
    EXPECT_EQ(hosted(4), L"x.dll: it has no DllRegisterServer (exit code 4)");
    EXPECT_EQ(hosted(5), L"x.dll failed (exit code 5)");
    EXPECT_EQ(hosted(1), L"x.dll registered");  // S_FALSE
    EXPECT_EQ(hosted(0xC0000005), L"x.dll crashed: access violation (exit code 0xC0000005)");
}

// Each way is offered only where it can work, and says why not.
TEST(RegisterWay, AWayThatCannotWorkSaysWhy) {
    PeImage dll;
    dll.machine = PeMachine::X64;
    dll.exportsRegister = true;
    WayTarget target{TargetKind::Dll, true, dll};
    EXPECT_FALSE(WayRefusal(RegisterWay::ForMeOnly, true, target, false));
    EXPECT_TRUE(WayRefusal(RegisterWay::ForMeOnly, false, target, false));  // no unregister export
    EXPECT_TRUE(WayRefusal(RegisterWay::ToRegFile, false, target, false));
    EXPECT_TRUE(WayRefusal(RegisterWay::AsAdministrator, true, target, true));
    target.image->machine = PeMachine::Arm64;
    EXPECT_TRUE(WayRefusal(RegisterWay::ToRegFile, true, target, false));
    target.image->machine = PeMachine::X86;
    target.image->hasClrHeader = true;
    EXPECT_EQ(WayRefusal(RegisterWay::ForMeOnly, true, target, false),
              L".NET assembly: register it with regasm");
    EXPECT_TRUE(WayRefusal(RegisterWay::ForMeOnly, true, {TargetKind::Other, false, {}}, false));
    EXPECT_FALSE(
        WayRefusal(RegisterWay::AsAdministrator, true, {TargetKind::Other, false, {}}, false));
    EXPECT_EQ(AccessDeniedHint(RegisterWay::Usual, TargetKind::Dll, false),
              L"; try For me only, or As administrator");
    EXPECT_EQ(AccessDeniedHint(RegisterWay::Usual, TargetKind::Other, false),
              L"; try As administrator");
    EXPECT_EQ(AccessDeniedHint(RegisterWay::ForMeOnly, TargetKind::Dll, true), L"");
}

TEST(Outcome, TheRegistryCountSaysWhereTheClassesAre) {
    RegistrationCount count;
    EXPECT_EQ(RegistrationLine(L"x.dll", true, count),
              L"x.dll registered, but no class names this file: it may have registered only a "
              L"type library, or another path");
    EXPECT_EQ(RegistrationLine(L"x.dll", false, count),
              L"x.dll unregistered: no class names it any more");
    count.machine = {2, true, false};
    EXPECT_EQ(RegistrationLine(L"x.dll", true, count),
              L"x.dll registered: 2 classes (machine, 64-bit view)");
    count.user = {1, true, true};
    EXPECT_EQ(RegistrationLine(L"x.dll", false, count),
              L"x.dll unregistered, but 3 classes still name it (machine: 2, 64-bit view; "
              L"per-user: 1, 32- and 64-bit views)");
    count.twoViews = false;
    count.machine = {};
    EXPECT_EQ(RegistrationLine(L"x.dll", true, count), L"x.dll registered for you only: 1 class");
    count.twoViews = true;
    EXPECT_EQ(RegistrationLine(L"x.dll", true, count),
              L"x.dll registered for you only: 1 class (32- and 64-bit views)");
}

TEST(TargetFacts, TheLineWarnsInPlainWordsAndTheLoadFailureSaysWhy) {
    TargetFacts facts;
    EXPECT_EQ(TargetLine(facts), L"file not found");
    facts.file = TargetFacts::File::Found;
    EXPECT_EQ(TargetLine(facts), L"not a program file");
    EXPECT_EQ(LoadFailureDetail(facts), L"not a program file");
    PeImage image;
    image.machine = PeMachine::X86;
    image.isDll = true;
    image.hasClrHeader = true;
    facts.image = image;
    EXPECT_EQ(TargetLine(facts), L"32-bit DLL \u00B7 .NET assembly: register it with regasm");
    facts.image->hasClrHeader = false;
    facts.missing = {L"MSVCP140.dll", L"VCRUNTIME140.dll"};
    facts.missingDelayLoaded = {L"late.dll"};
    EXPECT_EQ(TargetLine(facts),
              L"missing: MSVCP140.dll, VCRUNTIME140.dll (32-bit) \u00B7 delay-loaded, missing: "
              L"late.dll (32-bit) \u00B7 32-bit DLL \u00B7 no DllRegisterServer: regsvr32 cannot "
              L"register it");
    EXPECT_EQ(LoadFailureDetail(facts), L"missing MSVCP140.dll, VCRUNTIME140.dll");
    facts.image->machine = PeMachine::Arm64;
    facts.image->exportsRegister = true;
    facts.processorRuns = false;
    facts.missing.clear();
    facts.missingDelayLoaded.clear();
    EXPECT_EQ(TargetLine(facts),
              L"ARM64 DLL \u00B7 this processor cannot run it \u00B7 registers itself");
    EXPECT_EQ(LoadFailureDetail(facts), L"ARM64 DLL: this processor cannot run it");
}

TEST(ServerValue, TheFileOfAServerKeyWithoutQuotesOrArguments) {
    EXPECT_EQ(ServerFileOfValue(L"C:\\x\\a.dll", false), L"C:\\x\\a.dll");
    EXPECT_EQ(ServerFileOfValue(L" \"C:\\a b\\a.dll\" ", false), L"C:\\a b\\a.dll");
    EXPECT_EQ(ServerFileOfValue(L"\"C:\\a b\\s.exe\" /automation", true), L"C:\\a b\\s.exe");
    EXPECT_EQ(ServerFileOfValue(L"C:\\Program Files\\s.EXE -Embedding", true),
              L"C:\\Program Files\\s.EXE");
    EXPECT_EQ(ServerFileOfValue(L"C:\\x\\s.exe", true), L"C:\\x\\s.exe");
    EXPECT_EQ(ServerFileOfValue(L"C:\\x\\s.exeguard.exe", true), L"C:\\x\\s.exeguard.exe");
    EXPECT_EQ(ServerFileOfValue(L"C:\\x\\server /a", true), L"C:\\x\\server");
    EXPECT_EQ(ServerFileOfValue(L"\"C:\\open", true), L"C:\\open");
    EXPECT_EQ(ServerFileOfValue(L"   ", true), L"");
}

}  // namespace
}  // namespace tolvar
