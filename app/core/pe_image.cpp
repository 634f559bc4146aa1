#include "pe_image.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "pe_layout.h"

namespace tolvar {

namespace {

using namespace pe;
using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kU16 = 2, kU32 = 4, kU64 = 8;

// Little-endian numbers from a run of bytes. A read that does not lie wholly inside them gives 0
// and leaves the reader failed, so that a caller checks once after a group of reads. Offsets are
// 64-bit: an offset taken from the file plus a field's offset cannot overflow.
class Reader {
  public:
    explicit Reader(Bytes bytes) : m_bytes(bytes) {}

    std::uint64_t Number(std::uint64_t offset, std::size_t width) {
        if (!Fits(m_bytes, offset, width)) {
            m_ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;) value = value << 8 | m_bytes[offset + i];
        return value;
    }
    std::uint16_t U16(std::uint64_t offset) {
        return static_cast<std::uint16_t>(Number(offset, kU16));
    }
    std::uint32_t U32(std::uint64_t offset) {
        return static_cast<std::uint32_t>(Number(offset, kU32));
    }
    std::uint64_t U64(std::uint64_t offset) { return Number(offset, kU64); }
    bool Ok() const { return m_ok; }

    static bool Fits(Bytes bytes, std::uint64_t offset, std::uint64_t size) {
        return offset <= bytes.size() && size <= bytes.size() - offset;
    }

  private:
    Bytes m_bytes;
    bool m_ok = true;
};

struct Directory {
    std::uint64_t rva = 0;  // 0: the file has none
    std::uint64_t size = 0;
};

struct Section {
    std::uint64_t rva = 0;
    std::uint64_t fileOffset = 0;
    std::uint64_t fileSize = 0;  // the part of the section the file holds
};

// DLL names in the order first seen; a later one equal without regard to ASCII case is the same
// module to the loader.
class ModuleNames {
  public:
    explicit ModuleNames(std::vector<std::string>& names) : m_names(names) {}

    void Add(std::string name) {
        std::string folded = name;
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (m_folded.insert(std::move(folded)).second) m_names.push_back(std::move(name));
    }

  private:
    std::vector<std::string>& m_names;
    std::unordered_set<std::string> m_folded;
};

PeMachine MachineOf(std::uint16_t code) {
    switch (code) {
        case kMachineX86:
            return PeMachine::X86;
        case kMachineX64:
            return PeMachine::X64;
        case kMachineArm64:
            return PeMachine::Arm64;
        default:
            return PeMachine::Other;
    }
}

// True when the bytes hold `name` followed by its terminator.
bool IsName(Bytes bytes, std::string_view name) {
    return bytes.size() > name.size() && bytes[name.size()] == 0 &&
           std::equal(name.begin(), name.end(), bytes.begin());
}

class Parser {
  public:
    explicit Parser(Bytes file) : m_file(file) {}

    std::optional<PeImage> Read() {
        if (!ReadHeaders() || !ReadExports() || !ReadImports() || !ReadDelayImports() ||
            !ReadClrHeader()) {
            return std::nullopt;
        }
        return std::move(m_image);
    }

  private:
    bool ReadHeaders() {
        Reader file(m_file);
        if (file.U16(0) != kDosSignature) return false;
        const std::uint64_t signature = file.U32(kDosNewHeaderOffset);
        if (file.U32(signature) != kPeSignature) return false;
        const std::uint64_t header = signature + kPeSignatureSize;
        m_image.machineCode = file.U16(header + kFileMachine);
        m_image.machine = MachineOf(m_image.machineCode);
        m_image.isDll = (file.U16(header + kFileCharacteristics) & kFileDll) != 0;
        const std::uint64_t sectionCount = file.U16(header + kFileNumberOfSections);
        const std::uint64_t optionalSize = file.U16(header + kFileSizeOfOptionalHeader);

        const std::uint64_t optional = header + kFileHeaderSize;
        const std::uint16_t magic = file.U16(optional + kOptMagic);
        if (magic != kMagicPe32 && magic != kMagicPe32Plus) return false;
        m_image.is64Bit = magic == kMagicPe32Plus;
        const std::uint64_t directories =
            m_image.is64Bit ? kOptDataDirectories64 : kOptDataDirectories;
        if (optionalSize < directories) return false;
        m_imageBase = m_image.is64Bit ? file.U64(optional + kOptImageBase64)
                                      : file.U32(optional + kOptImageBase);
        m_headersSize = file.U32(optional + kOptSizeOfHeaders);
        // Entries beyond the optional header's stated size are not there, whatever the count.
        const std::uint64_t directoryCount = std::min<std::uint64_t>(
            file.U32(optional +
                     (m_image.is64Bit ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes)),
            (optionalSize - directories) / kDataDirectorySize);
        for (const std::size_t index : {kDirExport, kDirImport, kDirDelayImport, kDirClr}) {
            if (index >= directoryCount) continue;
            const std::uint64_t entry = optional + directories + index * kDataDirectorySize;
            m_directories[index] = {file.U32(entry), file.U32(entry + kDataDirectorySizeField)};
        }
        if (!file.Ok() || m_headersSize > m_file.size()) return false;
        return ReadSections(file, optional + optionalSize, sectionCount);
    }

    // Every section's file data must lie in the bytes, so a truncated file is refused here.
    // Sections must follow each other in address order, as the loader has them, so that an RVA
    // finds its section by a binary search.
    bool ReadSections(Reader& file, std::uint64_t table, std::uint64_t count) {
        if (!Reader::Fits(m_file, table, count * kSectionHeaderSize)) return false;
        m_sections.reserve(count);
        std::uint64_t end = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t at = table + i * kSectionHeaderSize;
            const std::uint64_t virtualSize = file.U32(at + kSectionVirtualSize);
            const std::uint64_t rva = file.U32(at + kSectionVirtualAddress);
            const std::uint64_t rawSize = file.U32(at + kSectionSizeOfRawData);
            const std::uint64_t rawOffset = file.U32(at + kSectionPointerToRawData);
            if (!Reader::Fits(m_file, rawOffset, rawSize) || rva < end) return false;
            // Without a virtual size, the section is as large as its file data; beyond its file
            // data, it is zeros that no name or table of ours may lie in.
            const std::uint64_t size = virtualSize != 0 ? virtualSize : rawSize;
            m_sections.push_back({rva, rawOffset, std::min(size, rawSize)});
            end = rva + size;
        }
        return file.Ok();
    }

    // The file's bytes from an RVA to the end of the section (or headers) that holds it; nothing
    // when those are fewer than `size`.
    std::optional<Bytes> At(std::uint64_t rva, std::uint64_t size) const {
        const auto after = std::upper_bound(
            m_sections.begin(), m_sections.end(), rva,
            [](std::uint64_t value, const Section& section) { return value < section.rva; });
        Bytes bytes;
        if (after != m_sections.begin() && rva - after[-1].rva < after[-1].fileSize) {
            const Section& section = after[-1];
            const std::uint64_t into = rva - section.rva;
            bytes = m_file.subspan(section.fileOffset + into, section.fileSize - into);
        } else if (rva < m_headersSize) {
            bytes = m_file.subspan(rva, m_headersSize - rva);  // the headers map one to one
        } else {
            return std::nullopt;
        }
        if (bytes.size() < size) return std::nullopt;
        return bytes;
    }

    // The zero-terminated text at an RVA; nothing when it does not end within kMaxNameLength
    // characters and within its section.
    std::optional<std::string> Text(std::uint64_t rva) const {
        const auto bytes = At(rva, 0);
        if (!bytes) return std::nullopt;
        const auto head = bytes->first(std::min<std::size_t>(bytes->size(), kMaxNameLength + 1));
        const auto end = std::find(head.begin(), head.end(), std::uint8_t{0});
        if (end == head.end()) return std::nullopt;
        return std::string(head.begin(), end);
    }

    bool ReadExports() {
        const Directory directory = m_directories[kDirExport];
        if (directory.rva == 0) return true;
        const auto bytes = At(directory.rva, kExportDirectorySize);
        if (!bytes) return false;
        Reader fields(*bytes);
        const std::uint64_t functionCount = fields.U32(kExportNumberOfFunctions);
        const std::uint64_t functions = fields.U32(kExportAddressOfFunctions);
        const std::uint64_t nameCount = fields.U32(kExportNumberOfNames);
        if (nameCount == 0) return true;
        // Both tables lie in the file, which bounds the count by the file's size.
        const auto names = At(fields.U32(kExportAddressOfNames), nameCount * kExportRvaSize);
        const auto ordinals =
            At(fields.U32(kExportAddressOfNameOrdinals), nameCount * kExportOrdinalSize);
        if (!names || !ordinals) return false;
        Reader nameTable(*names), ordinalTable(*ordinals);

        const std::array<std::pair<std::string_view, bool*>, 3> wanted{{
            {kDllRegisterServer, &m_image.exportsRegister},
            {kDllUnregisterServer, &m_image.exportsUnregister},
            {kDllInstall, &m_image.exportsInstall},
        }};
        ModuleNames forwardedTo(m_image.forwardedTo);
        for (std::uint64_t i = 0; i < nameCount; ++i) {
            const auto name = At(nameTable.U32(i * kExportRvaSize), 1);
            if (!name) return false;
            const auto match = std::find_if(wanted.begin(), wanted.end(),
                                            [&](const auto& w) { return IsName(*name, w.first); });
            // A name listed again counts once, by its first entry: forwarders are read at most
            // three times, however many names a hostile file repeats.
            if (match == wanted.end() || *match->second) continue;
            *match->second = true;

            const std::uint64_t index = ordinalTable.U16(i * kExportOrdinalSize);
            if (index >= functionCount) return false;
            const auto function = At(functions + index * kExportRvaSize, kExportRvaSize);
            if (!function) return false;
            // Code lies outside the export directory; inside it, "MODULE.Function" or
            // "MODULE.#ordinal" names where the export really is.
            const std::uint64_t target = Reader(*function).U32(0);
            if (target < directory.rva || target - directory.rva >= directory.size) continue;
            const auto forwarder = Text(target);
            const auto dot = forwarder ? forwarder->rfind('.') : std::string::npos;
            if (dot == std::string::npos || dot == 0) return false;
            std::string module = forwarder->substr(0, dot);
            if (module.find('.') == std::string::npos) module += kDllExtension;
            forwardedTo.Add(std::move(module));
        }
        return true;
    }

    // DLL names of a descriptor list, up to the first descriptor that `nameOf` gives 0 for (the
    // one that ends it). The list must end within the section that holds its start: each step
    // then takes a descriptor's worth of the file, so a hostile file cannot make it run long.
    // `nameOf` gives a descriptor's name RVA, or nothing when it cannot have one.
    template <typename NameOf>
    bool ReadDllNames(std::size_t directoryIndex, std::size_t descriptorSize, NameOf nameOf,
                      std::vector<std::string>& names) {
        const Directory directory = m_directories[directoryIndex];
        if (directory.rva == 0) return true;
        const auto list = At(directory.rva, 0);
        if (!list) return false;
        ModuleNames modules(names);
        for (std::size_t at = 0; Reader::Fits(*list, at, descriptorSize); at += descriptorSize) {
            const auto rva = nameOf(list->subspan(at, descriptorSize));
            if (!rva) return false;
            if (*rva == 0) return true;
            auto name = Text(*rva);
            if (!name || name->empty()) return false;
            modules.Add(std::move(*name));
        }
        return false;
    }

    bool ReadImports() {
        return ReadDllNames(
            kDirImport, kImportDescriptorSize,
            [](Bytes descriptor) -> std::optional<std::uint64_t> {
                // The loader's list ends at a descriptor without a name or without an address
                // table, whatever follows it.
                Reader fields(descriptor);
                if (fields.U32(kImportFirstThunk) == 0) return 0;
                return fields.U32(kImportName);
            },
            m_image.imports);
    }

    bool ReadDelayImports() {
        return ReadDllNames(
            kDirDelayImport, kDelayDescriptorSize,
            [this](Bytes descriptor) -> std::optional<std::uint64_t> {
                Reader fields(descriptor);
                const std::uint64_t name = fields.U32(kDelayName);
                if (name == 0 || (fields.U32(kDelayAttributes) & kDelayAttributeRva) != 0) {
                    return name;
                }
                // An old linker's descriptor: a virtual address, at or above the image base.
                if (name < m_imageBase) return std::nullopt;
                return name - m_imageBase;
            },
            m_image.delayImports);
    }

    bool ReadClrHeader() {
        const Directory directory = m_directories[kDirClr];
        if (directory.rva == 0) return true;
        m_image.hasClrHeader = true;
        return At(directory.rva, kClrHeaderSize).has_value();
    }

    Bytes m_file;
    PeImage m_image;
    std::uint64_t m_imageBase = 0;
    std::uint64_t m_headersSize = 0;
    std::array<Directory, kDataDirectoryCount> m_directories{};
    std::vector<Section> m_sections;
};

}  // namespace

std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> bytes) {
    return Parser(bytes).Read();
}

std::optional<PeMachine> ReadPeMachine(std::span<const std::uint8_t> head) {
    Reader file(head);
    if (file.U16(0) != kDosSignature) return std::nullopt;
    const std::uint64_t signature = file.U32(kDosNewHeaderOffset);
    if (file.U32(signature) != kPeSignature) return std::nullopt;
    const std::uint16_t machine = file.U16(signature + kPeSignatureSize + kFileMachine);
    if (!file.Ok()) return std::nullopt;
    return MachineOf(machine);
}

}  // namespace tolvar
