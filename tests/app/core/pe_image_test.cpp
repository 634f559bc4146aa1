#include "pe_image.h"

#include <gtest/gtest.h>

#include "pe_builder.h"

namespace tolvar {
namespace {

using testing::GetLe;
using testing::PeBuilder;
using testing::PutLe;
using Names = std::vector<std::string>;

TEST(PeImage, MachineBitnessAndKindAreReadAsWritten) {
    constexpr std::uint16_t kMachineArmThumb2 = 0x1C4;
    struct Case {
        std::uint16_t code;
        bool pe32Plus, dll;
        PeMachine machine;
    };
    for (const Case c : {Case{pe::kMachineX86, false, true, PeMachine::X86},
                         Case{pe::kMachineX64, true, false, PeMachine::X64},
                         Case{pe::kMachineArm64, true, true, PeMachine::Arm64},
                         Case{kMachineArmThumb2, false, true, PeMachine::Other}}) {
        PeBuilder b;
        b.machine = c.code, b.pe32Plus = c.pe32Plus, b.dll = c.dll;
        PeImage expected;  // and, without directories, nothing else
        expected.machine = c.machine, expected.machineCode = c.code;
        expected.is64Bit = c.pe32Plus, expected.isDll = c.dll;
        EXPECT_EQ(ReadPeImage(b.Build()), expected) << c.code;
    }
}

TEST(PeImage, ExactNamesCountAndTheirForwardersNameModulesOnce) {
    PeBuilder b;
    b.exports = {{"DllCanUnloadNow", ""},
                 {"DllRegisterServerEx", ""},
                 {"DllRegisterServer", "OTHER.DllRegisterServer"},
                 {"DllUnregisterServer", "other.#2"},      // the same module
                 {"DllInstall", "api.ms.win.DllInstall"},  // the last dot ends the module
                 {"Helper", "NOT.Followed"}};
    auto image = ReadPeImage(b.Build());
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->exportsRegister && image->exportsUnregister && image->exportsInstall);
    EXPECT_EQ(image->forwardedTo, (Names{"api.ms.win", "OTHER.dll"}));  // name table order

    b.exports = {{"DllRegisterServerEx", ""}, {"DllRegister", ""}, {"DllUnregisterServer", ""}};
    image = ReadPeImage(b.Build());
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->exportsRegister || image->exportsInstall);
    EXPECT_TRUE(image->exportsUnregister);
    EXPECT_TRUE(image->forwardedTo.empty());

    for (const char* forwarder : {"NoModule", ".DllRegisterServer"}) {
        b.exports = {{"DllRegisterServer", forwarder}};
        EXPECT_FALSE(ReadPeImage(b.Build())) << forwarder;
    }
}

TEST(PeImage, ImportsAndDelayImportsApartInOrderWithoutCaseDuplicates) {
    for (const bool byAddress : {false, true}) {
        PeBuilder b;
        b.delayByAddress = byAddress;
        b.imports = {"KERNEL32.dll", "ole32.dll", "kernel32.DLL", "USER32.dll"};
        b.delayImports = {"OLEAUT32.dll", "ole32.dll", "oleaut32.dll"};
        b.clr = true;
        auto bytes = b.Build();
        const auto image = ReadPeImage(bytes);
        ASSERT_TRUE(image) << byAddress;
        EXPECT_EQ(image->imports, (Names{"KERNEL32.dll", "ole32.dll", "USER32.dll"}));
        EXPECT_EQ(image->delayImports, (Names{"OLEAUT32.dll", "ole32.dll"}));
        EXPECT_TRUE(image->hasClrHeader);
        // The loader's list ends at a descriptor without an address table, as at one without a
        // name.
        auto shorter = bytes;
        const std::size_t descriptors =
            PeBuilder::FileOffset(GetLe(bytes, b.DirectoryEntry(pe::kDirImport), 4));
        PutLe(shorter, descriptors + 3 * pe::kImportDescriptorSize + pe::kImportFirstThunk, 0, 4);
        const auto ended = ReadPeImage(shorter);
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->imports, (Names{"KERNEL32.dll", "ole32.dll"}));
        // An image base above the names' addresses leaves the old descriptors pointing nowhere.
        PutLe(bytes, PeBuilder::kOptionalHeader + pe::kOptImageBase, b.imageBase + 0x10000, 4);
        EXPECT_EQ(ReadPeImage(bytes).has_value(), !byAddress);
    }
}

// The builder's section ends the file, and every section's file data must be in the bytes: so
// every shorter prefix is refused. A section whose data ends sooner leaves some structure
// incomplete, and must be refused, whether the file goes on or ends there too (then without a read
// past it: each cut is a copy of its own size, so the sanitizer sees any read beyond it).
TEST(PeImage, CutsAreRefusedWithoutReadingPastThemAndAppendedBytesChangeNothing) {
    PeBuilder b;
    b.exports = {{"DllInstall", ""}, {"DllRegisterServer", "OTHER.DllRegisterServer"}};
    b.imports = {"ole32.dll"};
    b.delayImports = {"user32.dll"};
    b.clr = true;
    const auto bytes = b.Build();
    const auto whole = ReadPeImage(bytes);
    ASSERT_TRUE(whole);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_FALSE(ReadPeImage(std::vector(bytes.begin(), bytes.begin() + n))) << n;
    }
    const std::size_t section = b.SectionHeader();
    const std::size_t data = GetLe(bytes, section + pe::kSectionVirtualSize, 4);
    for (std::size_t n = 1; n < data; ++n) {
        auto shorter = bytes;
        PutLe(shorter, section + pe::kSectionVirtualSize, n, 4);
        EXPECT_FALSE(ReadPeImage(shorter)) << n;
        std::vector cut(shorter.begin(), shorter.begin() + PeBuilder::kHeadersSize + n);
        PutLe(cut, section + pe::kSectionSizeOfRawData, n, 4);
        EXPECT_FALSE(ReadPeImage(cut)) << n;
    }
    auto longer = bytes;
    longer.resize(bytes.size() + 64, 0xFF);
    EXPECT_EQ(ReadPeImage(longer), whole);
}

TEST(PeImage, HostileValuesAndNamesAreRefused) {
    PeBuilder b;
    b.exports = {{"DllRegisterServer", ""}};
    b.imports = {"ole32.dll"};
    const auto good = b.Build();
    ASSERT_TRUE(ReadPeImage(good));
    const auto with = [&](std::size_t at, std::uint64_t value, std::size_t width = 4) {
        auto bytes = good;
        PutLe(bytes, at, value, width);
        return ReadPeImage(bytes);
    };
    const std::size_t exports =
        PeBuilder::FileOffset(GetLe(good, b.DirectoryEntry(pe::kDirExport), 4));
    const std::size_t section = b.SectionHeader();
    EXPECT_FALSE(with(pe::kDosNewHeaderOffset, good.size()));
    EXPECT_FALSE(with(pe::kDosNewHeaderOffset, 0xFFFFFFFE));  // + 4 wraps in 32 bits
    EXPECT_FALSE(with(PeBuilder::kFileHeader + pe::kFileNumberOfSections, 0xFFFF, 2));
    EXPECT_FALSE(with(section + pe::kSectionPointerToRawData, 0xFFFFFFFF));
    EXPECT_FALSE(with(exports + pe::kExportNumberOfNames, 0xFFFFFFFF));
    EXPECT_FALSE(with(exports + pe::kExportNumberOfNames, 0x40000000));  // * 4 wraps in 32 bits
    const std::size_t ordinals = GetLe(good, exports + pe::kExportAddressOfNameOrdinals, 4);
    EXPECT_FALSE(with(PeBuilder::FileOffset(ordinals), 1, 2));  // past the one function
    EXPECT_FALSE(with(b.DirectoryEntry(pe::kDirImport), 0x7FFFF000));
    EXPECT_FALSE(with(b.DirectoryEntry(pe::kDirExport), good.size() + PeBuilder::kSectionRva));
    // A directory whose RVA is zero is absent, whatever its size.
    const auto absent = with(b.DirectoryEntry(pe::kDirImport), 0);
    ASSERT_TRUE(absent);
    EXPECT_TRUE(absent->imports.empty() && absent->exportsRegister);

    for (const std::size_t length : {std::size_t{0}, kMaxNameLength, kMaxNameLength + 1}) {
        b.imports = {std::string(length, 'a')};
        EXPECT_EQ(ReadPeImage(b.Build()).has_value(), length == kMaxNameLength) << length;
    }
}

}  // namespace
}  // namespace tolvar
