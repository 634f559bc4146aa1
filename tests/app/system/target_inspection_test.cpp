#include "target_inspection.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "pe_builder.h"
#include "test_support.h"

namespace tolvar {
namespace {

using testing::PeBuilder;
using testing::TempDir;
using Names = std::vector<std::string>;

constexpr bool k64Bit = sizeof(void*) == 8;
constexpr UINT kWesternCodePage = 1252;

std::optional<PeImage> ReadBuilt(const char* name) {
    const std::string bytes = testing::ReadFile(testing::TestDirectory() / name);
    return ReadPeImage(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool Has(const Names& names, std::string name) {
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    };
    for (const std::string& each : names) {
        if (lower(each) == lower(name)) return true;
    }
    return false;
}

PeBuilder DllOfThisWidth() {
    PeBuilder dll;
    dll.machine = k64Bit ? pe::kMachineX64 : pe::kMachineX86;
    dll.pe32Plus = k64Bit;
    return dll;
}

// The reader's offsets are checked against what linkers wrote, not against its own table: the
// test server and noexport.dll (GCC and GNU ld), and delay_import.dll (clang and lld), each
// built beside the tests for this width.
TEST(PeImage, FilesTheLinkersBuiltReadAsBuilt) {
    const PeMachine machine = k64Bit ? PeMachine::X64 : PeMachine::X86;
    const auto server = ReadBuilt("testcom.dll");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->machine, machine);
    EXPECT_EQ(server->is64Bit, k64Bit);
    EXPECT_TRUE(server->isDll && server->exportsRegister && server->exportsUnregister);
    EXPECT_FALSE(server->exportsInstall || server->hasClrHeader);
    EXPECT_TRUE(Has(server->imports, "advapi32.dll"));  // it writes its class to the registry
    EXPECT_TRUE(server->delayImports.empty() && server->forwardedTo.empty());

    const auto plain = ReadBuilt("noexport.dll");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->machine, machine);
    EXPECT_TRUE(plain->isDll);
    EXPECT_FALSE(plain->exportsRegister || plain->exportsUnregister || plain->exportsInstall);
    EXPECT_TRUE(Has(plain->imports, "kernel32.dll"));

    const auto late = ReadBuilt("delay_import.dll");
    ASSERT_TRUE(late);
    EXPECT_EQ(late->machine, machine);
    EXPECT_EQ(late->is64Bit, k64Bit);
    EXPECT_TRUE(late->isDll);
    EXPECT_FALSE(late->exportsRegister || late->exportsUnregister || late->exportsInstall);
    EXPECT_EQ(late->delayImports, Names{"noexport.dll"});
    EXPECT_TRUE(Has(late->imports, "kernel32.dll"));  // the delay-load helper's LoadLibrary
    EXPECT_FALSE(Has(late->imports, "noexport.dll"));
}

// A name with bytes above 0x7F is looked for, and shown, as the loader reads it: in the ANSI code
// page. Of a crafted target's 200 missing DLLs a few are named, then counted, ahead of the rest.
TEST(TargetInspection, NamesAreReadInTheAnsiCodePageAndAFewMissingLeadTheLine) {
    if (GetACP() != kWesternCodePage) GTEST_SKIP() << "needs code page 1252 (LC_ALL=C.UTF-8)";
    const TempDir dir;
    PeBuilder target = DllOfThisWidth();
    target.exports = {{"DllRegisterServer", ""}};
    target.imports = {"caf\xE9.dll", "na\xEFve.dll"};
    constexpr int kNowhere = 200;
    for (int i = 0; i < kNowhere; ++i) {
        target.imports.push_back("tolvar-nowhere-" + std::to_string(i) + ".dll");
    }
    const auto write = [&](const std::wstring& name, const PeBuilder& dll) {
        const std::vector<std::uint8_t> bytes = dll.Build();
        testing::WriteFile(dir.path() / name, std::string(bytes.begin(), bytes.end()));
    };
    write(L"target.dll", target);
    write(L"caf\u00E9.dll", DllOfThisWidth());

    const TargetFacts facts = InspectTarget(dir.file("target.dll"), {});
    ASSERT_EQ(facts.missing.size(), std::size_t{kNowhere + 1});
    const std::wstring named = L"na\u00EFve.dll, tolvar-nowhere-0.dll, tolvar-nowhere-1.dll and " +
                               std::to_wstring(kNowhere + 1 - kListedMissing) + L" more";
    const std::wstring bits = k64Bit ? L"64-bit" : L"32-bit";
    EXPECT_EQ(TargetLine(facts), L"missing: " + named + L" (" + bits + L") \u00B7 " + bits +
                                     L" DLL \u00B7 registers itself");
    EXPECT_EQ(LoadFailureDetail(facts), L"missing " + named);
}

}  // namespace
}  // namespace tolvar
