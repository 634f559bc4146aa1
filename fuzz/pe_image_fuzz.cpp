// The program file reader on any bytes: no read outside them (the sanitizers, on copies of exact
// size), and what it tells comes from the bytes: a file read whole reads the same with bytes
// appended, a shorter prefix reads the same or not at all, the header fields it reports are the
// ones written (the processor read from the headers alone too), and the DLL names are well formed
// and distinct without regard to case.
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "pe_image.h"
#include "pe_layout.h"

using namespace tolvar;

namespace {

std::optional<PeImage> ReadCopy(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> copy(data, data + size);
    return ReadPeImage(copy);
}

std::uint64_t Le(const std::uint8_t* data, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | data[at + i];
    return value;
}

void CheckNames(const std::vector<std::string>& names, std::size_t longest) {
    std::set<std::string> folded;
    for (std::string name : names) {
        FUZZ_CHECK(!name.empty() && name.size() <= longest && name.find('\0') == name.npos);
        for (char& c : name) c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        FUZZ_CHECK(folded.insert(name).second);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto image = ReadCopy(data, size);

    // A cut anywhere: the last byte, and one that depends on all of them.
    std::size_t hash = 0;
    for (std::size_t i = 0; i < size; ++i) hash = hash * 31 + data[i];
    for (const std::size_t cut : {size - 1, size == 0 ? 0 : hash % size}) {
        if (cut >= size) continue;
        const auto shorter = ReadCopy(data, cut);
        FUZZ_CHECK(!shorter || shorter == image);
    }
    if (!image) return 0;
    // The machine read from the headers alone is the whole reading's.
    FUZZ_CHECK(ReadPeMachine(std::vector<std::uint8_t>(data, data + size)) == image->machine);

    std::vector<std::uint8_t> longer(data, data + size);
    longer.resize(size + 16, 0xFF);
    FUZZ_CHECK(ReadPeImage(longer) == image);

    // The fields as written (the reader found them inside the bytes).
    using namespace pe;
    FUZZ_CHECK(Le(data, 0, 2) == kDosSignature);
    const std::size_t signature = Le(data, kDosNewHeaderOffset, 4);
    FUZZ_CHECK(Le(data, signature, kPeSignatureSize) == kPeSignature);
    const std::size_t header = signature + kPeSignatureSize;
    FUZZ_CHECK(image->machineCode == Le(data, header + kFileMachine, 2));
    const bool known = image->machineCode == kMachineX86 || image->machineCode == kMachineX64 ||
                       image->machineCode == kMachineArm64;
    FUZZ_CHECK(known == (image->machine != PeMachine::Other));
    FUZZ_CHECK(image->isDll == ((Le(data, header + kFileCharacteristics, 2) & kFileDll) != 0));
    const auto magic = Le(data, header + kFileHeaderSize + kOptMagic, 2);
    FUZZ_CHECK(image->is64Bit == (magic == kMagicPe32Plus));

    CheckNames(image->imports, kMaxNameLength);
    CheckNames(image->delayImports, kMaxNameLength);
    // A forwarder's module ends before its dot, and may get ".dll".
    CheckNames(image->forwardedTo, kMaxNameLength - 1 + kDllExtension.size());
    FUZZ_CHECK(image->forwardedTo.empty() || image->exportsRegister || image->exportsUnregister ||
               image->exportsInstall);
    return 0;
}
