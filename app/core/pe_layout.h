// Where the fields of a program file lie, and the values Tolvar looks for in them: offsets in
// bytes from the start of the structure that holds them, all numbers little-endian. The reader
// and the test images both take them from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvar::pe {

// The MS-DOS header at the start of the file.
inline constexpr std::uint16_t kDosSignature = 0x5A4D;  // "MZ"
inline constexpr std::size_t kDosHeaderSize = 0x40;
inline constexpr std::size_t kDosNewHeaderOffset = 0x3C;  // 32 bits: where "PE\0\0" lies

inline constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
inline constexpr std::size_t kPeSignatureSize = 4;

// The file header, right after the signature.
inline constexpr std::size_t kFileMachine = 0;                // 16 bits
inline constexpr std::size_t kFileNumberOfSections = 2;       // 16 bits
inline constexpr std::size_t kFileSizeOfOptionalHeader = 16;  // 16 bits
inline constexpr std::size_t kFileCharacteristics = 18;       // 16 bits
inline constexpr std::size_t kFileHeaderSize = 20;
inline constexpr std::uint16_t kFileExecutableImage = 0x0002;  // characteristics
inline constexpr std::uint16_t kFileDll = 0x2000;

inline constexpr std::uint16_t kMachineX86 = 0x014C;
inline constexpr std::uint16_t kMachineX64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The optional header, right after the file header. Where PE32 and PE32+ differ, the PE32+
// offset has the suffix 64.
inline constexpr std::size_t kOptMagic = 0;  // 16 bits
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::size_t kOptImageBase = 28;    // 32 bits
inline constexpr std::size_t kOptImageBase64 = 24;  // 64 bits
inline constexpr std::size_t kOptSectionAlignment = 32;
inline constexpr std::size_t kOptFileAlignment = 36;
inline constexpr std::size_t kOptMajorSubsystemVersion = 48;  // 16 bits
inline constexpr std::size_t kOptSizeOfImage = 56;
inline constexpr std::size_t kOptSizeOfHeaders = 60;
inline constexpr std::size_t kOptSubsystem = 68;  // 16 bits
inline constexpr std::size_t kOptNumberOfRvaAndSizes = 92;
inline constexpr std::size_t kOptNumberOfRvaAndSizes64 = 108;
inline constexpr std::size_t kOptDataDirectories = 96;
inline constexpr std::size_t kOptDataDirectories64 = 112;

// Each data directory: an RVA (32 bits), then a size (32 bits).
inline constexpr std::size_t kDataDirectorySize = 8;
inline constexpr std::size_t kDataDirectorySizeField = 4;
inline constexpr std::size_t kDataDirectoryCount = 16;
inline constexpr std::size_t kDirExport = 0;
inline constexpr std::size_t kDirImport = 1;
inline constexpr std::size_t kDirDelayImport = 13;
inline constexpr std::size_t kDirClr = 14;

// The section table, right after the optional header.
inline constexpr std::size_t kSectionName = 0;  // 8 bytes
inline constexpr std::size_t kSectionVirtualSize = 8;
inline constexpr std::size_t kSectionVirtualAddress = 12;
inline constexpr std::size_t kSectionSizeOfRawData = 16;
inline constexpr std::size_t kSectionPointerToRawData = 20;
inline constexpr std::size_t kSectionCharacteristics = 36;
inline constexpr std::size_t kSectionHeaderSize = 40;

// The export directory; its tables hold 32-bit RVAs, except the name ordinals (16 bits, indexes
// into the function table).
inline constexpr std::size_t kExportNumberOfFunctions = 20;
inline constexpr std::size_t kExportNumberOfNames = 24;
inline constexpr std::size_t kExportAddressOfFunctions = 28;
inline constexpr std::size_t kExportAddressOfNames = 32;
inline constexpr std::size_t kExportAddressOfNameOrdinals = 36;
inline constexpr std::size_t kExportDirectorySize = 40;
inline constexpr std::size_t kExportRvaSize = 4;
inline constexpr std::size_t kExportOrdinalSize = 2;

// An import descriptor; the list ends with an all-zero one, and for the loader at the first
// without a name or without an address table (FirstThunk).
inline constexpr std::size_t kImportOriginalFirstThunk = 0;
inline constexpr std::size_t kImportName = 12;
inline constexpr std::size_t kImportFirstThunk = 16;
inline constexpr std::size_t kImportDescriptorSize = 20;

// A delay-load descriptor; the list ends with an all-zero one. Without the RVA attribute, the
// addresses in it are virtual addresses (an old linker's): the image base plus the RVA.
inline constexpr std::size_t kDelayAttributes = 0;
inline constexpr std::size_t kDelayName = 4;
inline constexpr std::size_t kDelayModuleHandle = 8;
inline constexpr std::size_t kDelayImportAddressTable = 12;
inline constexpr std::size_t kDelayImportNameTable = 16;
inline constexpr std::size_t kDelayDescriptorSize = 32;
inline constexpr std::uint32_t kDelayAttributeRva = 0x1;

// The CLR (COM descriptor) header of a .NET assembly; it begins with its own size (32 bits).
inline constexpr std::size_t kClrHeaderSize = 72;

}  // namespace tolvar::pe
