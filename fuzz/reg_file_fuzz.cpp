// A snapshot of any keys, values and types written as a .reg file reads back exactly, but for the
// names no line can hold: those are left out and listed, each time the same ones. The snapshot is
// decoded from the input; the input itself is also read as a file, and what the reader takes
// from it goes round the same way.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "fuzz_check.h"
#include "reg_file.h"
#include "registry_view.h"

using namespace tolvar;

namespace {

constexpr std::wstring_view kRoots[] = {kClassesRootName, kCurrentUserName, kLocalMachineName,
                                        kUsersName, kCurrentConfigName};
// Names that are not a root's, or only nearly.
constexpr std::wstring_view kOtherRoots[] = {L"HKCU", L"hkey_classes_root", L"HKEY_CLASSES_ROOT ",
                                             L"-HKEY_CURRENT_USER", L""};
// The units the format treats apart, and a few beyond ASCII; other units come as often.
constexpr wchar_t kSpecialUnits[] = {L'\\', L'"',  L'[', L']',      L'@',      L'=',
                                     L'-',  L';',  L',', L' ',      L'\t',     L'\r',
                                     L'\n', L'\0', L'a', L'\x00E9', L'\xFEFF', L'\xD800'};
constexpr std::size_t kLongestContinuation = 78;  // two blanks, 25 bytes, the mark

std::uint32_t UnitOf(wchar_t c) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

wchar_t Unit(FuzzedDataProvider& in) {
    const auto pick = in.ConsumeIntegralInRange<std::size_t>(0, 2 * std::size(kSpecialUnits));
    if (pick < std::size(kSpecialUnits)) return kSpecialUnits[pick];
    // Where wchar_t is wider, units beyond 16 bits too: no line can hold them.
    return static_cast<wchar_t>(in.ConsumeIntegralInRange<std::uint32_t>(0, 0x1FFFF));
}

std::wstring Name(FuzzedDataProvider& in, std::size_t longest) {
    std::wstring name(in.ConsumeIntegralInRange<std::size_t>(0, longest), L'\0');
    for (auto& c : name) c = Unit(in);
    return name;
}

std::wstring KeyPath(FuzzedDataProvider& in) {
    std::wstring path(
        in.ConsumeIntegralInRange(0, 7) != 0
            ? kRoots[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kRoots) - 1)]
            : kOtherRoots[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kOtherRoots) - 1)]);
    for (int parts = in.ConsumeIntegralInRange(0, 3); parts > 0; --parts) {
        path += L'\\';
        path += Name(in, 6);
    }
    return path;
}

// Raw bytes, or a text's units (the registry's strings) with or without a terminator.
std::string Data(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) {
        return in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 120));
    }
    std::string bytes;
    for (const wchar_t c : Name(in, 60)) {
        bytes += static_cast<char>(UnitOf(c) & 0xFF);
        bytes += static_cast<char>(UnitOf(c) >> 8 & 0xFF);
    }
    if (in.ConsumeIntegralInRange(0, 3) != 0) bytes.append(2, '\0');
    if (in.ConsumeIntegralInRange(0, 7) == 0) bytes += in.ConsumeIntegral<char>();
    return bytes;
}

RegSnapshot Snapshot(FuzzedDataProvider& in) {
    RegSnapshot snapshot;
    for (int keys = in.ConsumeIntegralInRange(0, 6); keys > 0; --keys) {
        auto& values = snapshot[KeyPath(in)];
        for (int count = in.ConsumeIntegralInRange(0, 5); count > 0; --count) {
            RegValue value;
            value.name = in.ConsumeIntegralInRange(0, 3) == 0 ? std::wstring() : Name(in, 12);
            value.type = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 11)
                                          : in.ConsumeIntegral<std::uint32_t>();
            value.data = Data(in);
            values.push_back(std::move(value));
        }
    }
    return snapshot;
}

bool NameFits(std::wstring_view name) {
    return std::none_of(name.begin(), name.end(), [](wchar_t c) {
        return c == L'\0' || c == L'\r' || c == L'\n' || UnitOf(c) > 0xFFFF;
    });
}

bool KeyPathFits(std::wstring_view path) {
    if (!NameFits(path)) return false;
    std::vector<std::wstring_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(L'\\', start);
        parts.push_back(path.substr(start, end - start));
        if (end == path.npos) break;
        start = end + 1;
    }
    return std::find(std::begin(kRoots), std::end(kRoots), parts.front()) != std::end(kRoots) &&
           std::none_of(parts.begin(), parts.end(),
                        [](std::wstring_view part) { return part.empty(); });
}

void CheckRoundTrip(const RegSnapshot& snapshot) {
    RegSnapshot expected;
    std::vector<UnwrittenName> unwritten;
    for (const auto& [path, values] : snapshot) {
        if (!KeyPathFits(path)) {
            unwritten.push_back({path, std::nullopt});
            continue;
        }
        auto& kept = expected[path];
        for (const RegValue& value : values) {
            if (NameFits(value.name)) {
                kept.push_back(value);
            } else {
                unwritten.push_back({path, value.name});
            }
        }
    }
    const RegFileText file = WriteRegFile(snapshot);
    FUZZ_CHECK(file.unwritten == unwritten);
    const auto read = ReadRegFile(RegFileBytes(file.text));
    FUZZ_CHECK(read && *read == expected);

    // Each line ends with CR LF, and a continued hex line is no wider than regedit's.
    FUZZ_CHECK(file.text.size() >= 2 && file.text.substr(file.text.size() - 2) == L"\r\n");
    for (std::size_t start = 0; start < file.text.size();) {
        const std::size_t end = file.text.find(L"\r\n", start);
        const std::wstring_view line(file.text.data() + start, end - start);
        FUZZ_CHECK(line.find_first_of(L"\r\n") == line.npos);
        if (line.substr(0, 2) == L"  ") FUZZ_CHECK(line.size() <= kLongestContinuation);
        start = end + 2;
    }
}

// A key moved into the 32-bit view gains one WOW6432Node part, between two of its parts, and
// nothing else; moved again, it stays where it is.
void CheckThirtyTwoBitView(const std::wstring& path) {
    const std::wstring moved = ThirtyTwoBitViewPath(path);
    FUZZ_CHECK(ThirtyTwoBitViewPath(moved) == moved);
    if (moved == path) return;
    const std::wstring node = std::wstring(kThirtyTwoBitNode) + L'\\';
    bool inserted = false;
    for (std::size_t at = moved.find(node); at != moved.npos; at = moved.find(node, at + 1)) {
        inserted |= at > 0 && moved[at - 1] == L'\\' &&
                    moved.substr(0, at) + moved.substr(at + node.size()) == path;
    }
    FUZZ_CHECK(inserted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto read = ReadRegFile(bytes)) CheckRoundTrip(*read);
    FuzzedDataProvider in(data, size);
    const RegSnapshot snapshot = Snapshot(in);
    CheckRoundTrip(snapshot);
    for (const auto& [path, values] : snapshot) CheckThirtyTwoBitView(path);
    return 0;
}
