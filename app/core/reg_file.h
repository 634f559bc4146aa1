// Registry keys and values as a .reg file ("Windows Registry Editor Version 5.00"), written the
// way regedit writes them, and read back exactly.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// Value types by winnt.h's numbers (REG_*), for code without windows.h. Any other number is a
// type too: the file carries it as it is.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// The names a key path of a .reg file starts with.
inline constexpr std::wstring_view kClassesRootName = L"HKEY_CLASSES_ROOT";
inline constexpr std::wstring_view kCurrentUserName = L"HKEY_CURRENT_USER";
inline constexpr std::wstring_view kLocalMachineName = L"HKEY_LOCAL_MACHINE";
inline constexpr std::wstring_view kUsersName = L"HKEY_USERS";
inline constexpr std::wstring_view kCurrentConfigName = L"HKEY_CURRENT_CONFIG";

// Names and texts are UTF-16 units, as the wide registry functions give them.
struct RegValue {
    std::wstring name;  // empty for the key's default value
    std::uint32_t type = kRegNone;
    std::string data;  // the bytes exactly as the registry holds them
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// Each key right before its subkeys, and a key's whole tree before its next sibling: the paths'
// units compared in order, with the separator below every other unit.
struct KeyPathOrder {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const noexcept;
};

// Keys by full path under a root's name ("HKEY_CLASSES_ROOT\CLSID\{...}"), each with its values
// in the order they were read.
using RegSnapshot = std::map<std::wstring, std::vector<RegValue>, KeyPathOrder>;

// A name the file cannot hold, left out of it: a whole key (with its values), or one value.
// A key path must start with a root's name and have no empty part; no name may hold a zero,
// a line break (CR or LF) or, where wchar_t is wider, a unit beyond 16 bits.
struct UnwrittenName {
    std::wstring key;
    std::optional<std::wstring> value;  // set when only this value of the key was left out
    friend bool operator==(const UnwrittenName&, const UnwrittenName&) = default;
};

struct RegFileText {
    std::wstring text;                     // lines end with CR LF
    std::vector<UnwrittenName> unwritten;  // in file order; empty when the file holds everything
};

// The file's text: the header, a blank line, then one block per key in snapshot order (its
// "[path]" line, its values, a blank line). Strings and double words are written as text where
// that gives back exactly their bytes, everything else as hex bytes, wrapped as regedit wraps
// them. What the file cannot name is left out and listed, never written otherwise.
RegFileText WriteRegFile(const RegSnapshot& snapshot);

// The bytes of the file to save: a byte order mark, then the text as UTF-16 LE.
std::string RegFileBytes(std::wstring_view text);

// The keys and values a file's bytes hold: UTF-16 LE with a byte order mark, the version 5
// header, key lines, values as text, dword or hex bytes (continued over lines), blank lines and
// ';' comments. None for anything else, including deletions ("[-key]", "name"=-).
std::optional<RegSnapshot> ReadRegFile(std::string_view bytes);

}  // namespace tolvar
