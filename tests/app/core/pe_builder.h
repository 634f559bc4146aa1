// Small program files made in memory, for the PE reader's tests and for crafted files on disk:
// the headers and one section that holds every directory and name. There is no real code: every
// exported function is the one return instruction at the start of the section.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pe_layout.h"

namespace tolvar::testing {

struct PeExport {
    std::string name;
    std::string forwarder;  // "MODULE.Function" or "MODULE.#ordinal"; empty: code in this file
};

struct PeBuilder {
    std::uint16_t machine = pe::kMachineX86;
    bool pe32Plus = false;
    bool dll = true;
    std::vector<PeExport> exports;
    std::vector<std::string> imports;
    std::vector<std::string> delayImports;
    bool delayByAddress = false;  // an old linker's delay-load descriptors: VAs, not RVAs
    bool clr = false;
    std::uint64_t imageBase = 0x10000000;

    // Where things are, for tests that alter an image afterwards. The headers take the first
    // file-alignment unit; the section starts one section-alignment unit into the image.
    static constexpr std::size_t kHeadersSize = 0x200;
    static constexpr std::uint32_t kSectionRva = 0x1000;
    static constexpr std::size_t kFileHeader = pe::kDosHeaderSize + pe::kPeSignatureSize;
    static constexpr std::size_t kOptionalHeader = kFileHeader + pe::kFileHeaderSize;
    static std::size_t FileOffset(std::uint32_t rva) { return rva - kSectionRva + kHeadersSize; }
    std::size_t DirectoryEntry(std::size_t index) const {
        return kOptionalHeader + (pe32Plus ? pe::kOptDataDirectories64 : pe::kOptDataDirectories) +
               index * pe::kDataDirectorySize;
    }
    std::size_t SectionHeader() const { return DirectoryEntry(pe::kDataDirectoryCount); }

    std::vector<std::uint8_t> Build() const;
};

inline void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value,
                  std::size_t width) {
    if (bytes.size() < at + width) bytes.resize(at + width);
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

inline std::uint64_t GetLe(const std::vector<std::uint8_t>& bytes, std::size_t at,
                           std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes.at(at + i);
    return value;
}

inline std::vector<std::uint8_t> PeBuilder::Build() const {
    using namespace pe;
    constexpr std::uint8_t kReturn = 0xC3;
    constexpr std::uint32_t kSectionFlags = 0x60000060;  // code and data, read and execute
    constexpr std::uint16_t kSubsystemGui = 2, kSubsystemVersion = 6;
    const std::size_t pointerSize = pe32Plus ? 8 : 4;

    // The section first, so that the headers can point into it.
    std::vector<std::uint8_t> data{kReturn};
    // Tables aligned as a linker aligns them; texts anywhere.
    const auto reserve = [&](std::size_t size, std::size_t alignment = 8) {
        data.resize((data.size() + alignment - 1) / alignment * alignment);
        const auto rva = static_cast<std::uint32_t>(kSectionRva + data.size());
        data.resize(data.size() + size);
        return rva;
    };
    const auto text = [&](std::string_view s) {
        const auto rva = reserve(s.size() + 1, 1);
        std::copy(s.begin(), s.end(), data.begin() + (rva - kSectionRva));
        return rva;
    };
    const auto set = [&](std::uint32_t rva, std::uint64_t value, std::size_t width = 4) {
        PutLe(data, rva - kSectionRva, value, width);
    };
    std::array<std::pair<std::uint32_t, std::size_t>, kDataDirectoryCount> directories{};

    if (!exports.empty()) {
        // The loader looks names up by binary search.
        auto sorted = exports;
        std::sort(sorted.begin(), sorted.end(),
                  [](const PeExport& a, const PeExport& b) { return a.name < b.name; });
        const std::size_t n = sorted.size();
        const auto directory = reserve(kExportDirectorySize);
        const auto functions = reserve(n * kExportRvaSize);
        const auto names = reserve(n * kExportRvaSize);
        const auto ordinals = reserve(n * kExportOrdinalSize);
        set(directory + kExportNumberOfFunctions, n);
        set(directory + kExportNumberOfNames, n);
        set(directory + kExportAddressOfFunctions, functions);
        set(directory + kExportAddressOfNames, names);
        set(directory + kExportAddressOfNameOrdinals, ordinals);
        for (std::size_t i = 0; i < n; ++i) {
            set(names + i * kExportRvaSize, text(sorted[i].name));
            set(ordinals + i * kExportOrdinalSize, i, kExportOrdinalSize);
            // Forwarder texts inside the directory's extent; code (the return) before it.
            const bool forwarded = !sorted[i].forwarder.empty();
            set(functions + i * kExportRvaSize,
                forwarded ? text(sorted[i].forwarder) : kSectionRva);
        }
        directories[kDirExport] = {directory, kSectionRva + data.size() - directory};
    }
    if (!imports.empty()) {
        const auto descriptors = reserve((imports.size() + 1) * kImportDescriptorSize);
        directories[kDirImport] = {descriptors, (imports.size() + 1) * kImportDescriptorSize};
        for (std::size_t i = 0; i < imports.size(); ++i) {
            const auto at = descriptors + i * kImportDescriptorSize;
            // One function by ordinal, so that a loader cannot skip the DLL as unused.
            const auto thunks = reserve(2 * pointerSize);
            set(thunks, std::uint64_t{1} << (8 * pointerSize - 1) | 1, pointerSize);
            set(at + kImportOriginalFirstThunk, thunks);
            set(at + kImportName, text(imports[i]));
            set(at + kImportFirstThunk, thunks);
        }
    }
    if (!delayImports.empty()) {
        const std::size_t size = (delayImports.size() + 1) * kDelayDescriptorSize;
        const auto descriptors = reserve(size);
        directories[kDirDelayImport] = {descriptors, size};
        const std::uint64_t base = delayByAddress ? imageBase : 0;
        for (std::size_t i = 0; i < delayImports.size(); ++i) {
            const auto at = descriptors + i * kDelayDescriptorSize;
            const auto table = reserve(pointerSize);
            set(at + kDelayAttributes, delayByAddress ? 0 : kDelayAttributeRva);
            set(at + kDelayName, base + text(delayImports[i]));
            set(at + kDelayModuleHandle, base + reserve(pointerSize));
            set(at + kDelayImportAddressTable, base + table);
            set(at + kDelayImportNameTable, base + table);
        }
    }
    if (clr) {
        const auto header = reserve(kClrHeaderSize);
        set(header, kClrHeaderSize);
        directories[kDirClr] = {header, kClrHeaderSize};
    }

    const auto alignUp = [](std::size_t n, std::size_t unit) {
        return (n + unit - 1) / unit * unit;
    };
    const std::size_t rawSize = alignUp(data.size(), kHeadersSize);
    const std::size_t optionalSize = SectionHeader() - kOptionalHeader;
    std::vector<std::uint8_t> image(kHeadersSize + rawSize);
    PutLe(image, 0, kDosSignature, 2);
    PutLe(image, kDosNewHeaderOffset, kDosHeaderSize, 4);
    PutLe(image, kDosHeaderSize, kPeSignature, 4);
    PutLe(image, kFileHeader + kFileMachine, machine, 2);
    PutLe(image, kFileHeader + kFileNumberOfSections, 1, 2);
    PutLe(image, kFileHeader + kFileSizeOfOptionalHeader, optionalSize, 2);
    PutLe(image, kFileHeader + kFileCharacteristics, kFileExecutableImage | (dll ? kFileDll : 0),
          2);
    const std::size_t opt = kOptionalHeader;
    PutLe(image, opt + kOptMagic, pe32Plus ? kMagicPe32Plus : kMagicPe32, 2);
    PutLe(image, opt + (pe32Plus ? kOptImageBase64 : kOptImageBase), imageBase, pointerSize);
    PutLe(image, opt + kOptSectionAlignment, kSectionRva, 4);
    PutLe(image, opt + kOptFileAlignment, kHeadersSize, 4);
    PutLe(image, opt + kOptMajorSubsystemVersion, kSubsystemVersion, 2);
    PutLe(image, opt + kOptSizeOfImage, kSectionRva + alignUp(data.size(), kSectionRva), 4);
    PutLe(image, opt + kOptSizeOfHeaders, kHeadersSize, 4);
    PutLe(image, opt + kOptSubsystem, kSubsystemGui, 2);
    PutLe(image, opt + (pe32Plus ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes),
          kDataDirectoryCount, 4);
    for (std::size_t i = 0; i < kDataDirectoryCount; ++i) {
        PutLe(image, DirectoryEntry(i), directories[i].first, 4);
        PutLe(image, DirectoryEntry(i) + kDataDirectorySizeField, directories[i].second, 4);
    }
    const std::size_t section = SectionHeader();
    constexpr std::string_view kName = ".rdata";
    std::copy(kName.begin(), kName.end(), image.begin() + section + kSectionName);
    PutLe(image, section + kSectionVirtualSize, data.size(), 4);
    PutLe(image, section + kSectionVirtualAddress, kSectionRva, 4);
    PutLe(image, section + kSectionSizeOfRawData, rawSize, 4);
    PutLe(image, section + kSectionPointerToRawData, kHeadersSize, 4);
    PutLe(image, section + kSectionCharacteristics, kSectionFlags, 4);
    std::copy(data.begin(), data.end(), image.begin() + kHeadersSize);
    return image;
}

}  // namespace tolvar::testing
