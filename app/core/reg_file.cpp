#include "reg_file.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace tolvar {

namespace {

constexpr std::wstring_view kHeader = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kLineEnd = L"\r\n";
constexpr wchar_t kSeparator = L'\\';
constexpr wchar_t kKeyStart = L'[';
constexpr wchar_t kKeyEnd = L']';
constexpr wchar_t kDeletion = L'-';
constexpr wchar_t kComment = L';';
constexpr wchar_t kDefaultName = L'@';
constexpr wchar_t kAssign = L'=';
constexpr wchar_t kQuote = L'"';
constexpr wchar_t kEscape = L'\\';
constexpr std::wstring_view kDwordTag = L"dword:";
constexpr std::wstring_view kBinaryTag = L"hex:";
constexpr std::wstring_view kTypedHexStart = L"hex(";
constexpr std::wstring_view kTypedHexEnd = L"):";
constexpr wchar_t kByteSeparator = L',';
constexpr wchar_t kContinued = L'\\';
constexpr std::wstring_view kContinuationIndent = L"  ";
// regedit ends a hex line with a continuation once the line is this long or longer.
constexpr std::size_t kHexLineChars = 77;

constexpr std::array kRootNames = {kClassesRootName, kCurrentUserName, kLocalMachineName,
                                   kUsersName, kCurrentConfigName};

constexpr char kByteOrderMark[] = "\xFF\xFE";
constexpr std::size_t kByteOrderMarkBytes = sizeof kByteOrderMark - 1;
constexpr std::size_t kUnitBytes = 2;
constexpr std::size_t kDwordBytes = 4;
constexpr std::size_t kDwordDigits = 8;
constexpr std::size_t kByteDigits = 2;
constexpr unsigned kBitsPerByte = 8;
constexpr unsigned kBitsPerDigit = 4;
constexpr std::uint32_t kByteMask = 0xFF;
constexpr std::uint32_t kLastUnit = 0xFFFF;
constexpr std::uint32_t kDigitMask = 0xF;
constexpr std::uint32_t kFirstLetterDigit = 10;
constexpr wchar_t kDigits[] = L"0123456789abcdef";

// A unit as the number it stands for, whatever the width and sign of wchar_t.
std::uint32_t UnitOf(wchar_t c) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

wchar_t UnitAt(std::string_view bytes, std::size_t index) {
    const auto byte = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]));
    };
    return static_cast<wchar_t>(byte(index * kUnitBytes) | byte(index * kUnitBytes + 1)
                                                               << kBitsPerByte);
}

void AppendUnit(std::string& bytes, wchar_t c) {
    const std::uint32_t unit = UnitOf(c);
    bytes += static_cast<char>(unit & kByteMask);
    bytes += static_cast<char>(unit >> kBitsPerByte & kByteMask);
}

// A line holds every unit but these; a line break would end it, a zero ends regedit's reading.
bool FitsInLine(wchar_t c) {
    const std::uint32_t unit = UnitOf(c);
    return unit != 0 && unit != L'\r' && unit != L'\n' && unit <= kLastUnit;
}

bool NameFits(std::wstring_view name) {
    return std::all_of(name.begin(), name.end(), FitsInLine);
}

// A root's name, then parts that are not empty.
bool KeyPathFits(std::wstring_view path) {
    const std::wstring_view root = path.substr(0, path.find(kSeparator));
    const std::wstring_view twoSeparators = L"\\\\";
    return NameFits(path) &&
           std::find(kRootNames.begin(), kRootNames.end(), root) != kRootNames.end() &&
           path.back() != kSeparator && path.find(twoSeparators) == path.npos;
}

void AppendQuoted(std::wstring& out, std::wstring_view text) {
    out += kQuote;
    for (const wchar_t c : text) {
        if (c == kEscape || c == kQuote) out += kEscape;
        out += c;
    }
    out += kQuote;
}

// The text whose quoted form stands for exactly these bytes: whole units, the last one the only
// zero, and no line break.
std::optional<std::wstring> ExactText(std::string_view data) {
    if (data.size() < kUnitBytes || data.size() % kUnitBytes != 0) return std::nullopt;
    const std::size_t units = data.size() / kUnitBytes - 1;
    if (UnitAt(data, units) != 0) return std::nullopt;
    std::wstring text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const wchar_t c = UnitAt(data, i);
        if (!FitsInLine(c)) return std::nullopt;
        text += c;
    }
    return text;
}

void AppendHexNumber(std::wstring& out, std::uint32_t number, std::size_t minDigits) {
    std::wstring digits;
    for (; number != 0 || digits.size() < minDigits; number >>= kBitsPerDigit) {
        digits += kDigits[number & kDigitMask];
    }
    out.append(digits.rbegin(), digits.rend());
}

// The bytes two digits each, a comma between; the line is continued as soon as it reaches
// regedit's length, counted from its start.
void AppendHex(std::wstring& out, std::size_t lineStart, std::uint32_t type,
               std::string_view data) {
    if (type == kRegBinary) {
        out += kBinaryTag;
    } else {
        out += kTypedHexStart;
        AppendHexNumber(out, type, 1);
        out += kTypedHexEnd;
    }
    std::size_t column = out.size() - lineStart;
    for (std::size_t i = 0; i < data.size(); ++i) {
        AppendHexNumber(out, static_cast<unsigned char>(data[i]), kByteDigits);
        if (i + 1 == data.size()) break;
        out += kByteSeparator;
        column += kByteDigits + 1;
        if (column >= kHexLineChars) {
            out += kContinued;
            out += kLineEnd;
            out += kContinuationIndent;
            column = kContinuationIndent.size();
        }
    }
}

void AppendValue(std::wstring& out, const RegValue& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += kDefaultName;
    } else {
        AppendQuoted(out, value.name);
    }
    out += kAssign;
    if (value.type == kRegSz) {
        if (const auto text = ExactText(value.data)) {
            AppendQuoted(out, *text);
            return;
        }
    }
    if (value.type == kRegDword && value.data.size() == kDwordBytes) {
        std::uint32_t number = 0;
        for (std::size_t i = kDwordBytes; i-- > 0;) {
            number = number << kBitsPerByte | static_cast<unsigned char>(value.data[i]);
        }
        out += kDwordTag;
        AppendHexNumber(out, number, kDwordDigits);
        return;
    }
    AppendHex(out, lineStart, value.type, value.data);
}

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.substr(0, start.size()) == start;
}

std::optional<std::uint32_t> DigitValue(wchar_t c) {
    const std::uint32_t unit = UnitOf(c);
    if (unit >= L'0' && unit <= L'9') return unit - L'0';
    if (unit >= L'a' && unit <= L'f') return unit - L'a' + kFirstLetterDigit;
    if (unit >= L'A' && unit <= L'F') return unit - L'A' + kFirstLetterDigit;
    return std::nullopt;
}

// Takes from the line's start from one to `maxDigits` hex digits, as many as there are.
std::optional<std::uint32_t> TakeHexNumber(std::wstring_view& line, std::size_t maxDigits) {
    std::uint32_t number = 0;
    std::size_t digits = 0;
    for (; digits < maxDigits && digits < line.size(); ++digits) {
        const auto digit = DigitValue(line[digits]);
        if (!digit) break;
        number = number << kBitsPerDigit | *digit;
    }
    if (digits == 0) return std::nullopt;
    line.remove_prefix(digits);
    return number;
}

// Takes a quoted text from the line's start, undoing the escapes of its quotes and backslashes.
std::optional<std::wstring> TakeQuoted(std::wstring_view& line) {
    if (line.empty() || line.front() != kQuote) return std::nullopt;
    std::wstring text;
    for (std::size_t i = 1; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == kQuote) {
            line.remove_prefix(i + 1);
            return text;
        }
        if (c == kEscape) {
            if (++i == line.size()) return std::nullopt;
            c = line[i];
            if (c != kEscape && c != kQuote) return std::nullopt;
        }
        text += c;
    }
    return std::nullopt;
}

// The lines of the text, each without its line end (CR LF, or LF alone).
std::optional<std::vector<std::wstring_view>> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find(L'\n');
        std::wstring_view line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        if (line.find(L'\r') != line.npos) return std::nullopt;
        lines.push_back(line);
    }
    return lines;
}

// Takes the bytes of a hex value, from the rest of its first line and the lines that continue
// it; `next` is the index of the line after the first, and after the last one taken on return.
bool TakeHexBytes(std::wstring_view line, const std::vector<std::wstring_view>& lines,
                  std::size_t& next, std::string& data) {
    while (!line.empty()) {
        if (line.size() < kByteDigits) return false;
        std::wstring_view digits = line.substr(0, kByteDigits);
        const auto byte = TakeHexNumber(digits, kByteDigits);
        if (!byte || !digits.empty()) return false;
        data += static_cast<char>(*byte);
        line.remove_prefix(kByteDigits);
        if (line.empty()) break;
        if (line.front() != kByteSeparator) return false;
        line.remove_prefix(1);
        if (line.size() == 1 && line.front() == kContinued) {
            if (next == lines.size()) return false;
            line = lines[next++];
            line.remove_prefix(std::min(line.find_first_not_of(L" \t"), line.size()));
        }
        if (line.empty()) return false;  // a comma that no byte follows
    }
    return true;
}

// Reads one value line (with the lines continuing it) into `value`.
bool TakeValue(std::wstring_view line, const std::vector<std::wstring_view>& lines,
               std::size_t& next, RegValue& value) {
    if (!line.empty() && line.front() == kDefaultName) {
        line.remove_prefix(1);
    } else if (auto name = TakeQuoted(line)) {
        value.name = std::move(*name);
    } else {
        return false;
    }
    if (line.empty() || line.front() != kAssign) return false;
    line.remove_prefix(1);
    if (!line.empty() && line.front() == kQuote) {
        const auto text = TakeQuoted(line);
        if (!text || !line.empty()) return false;
        value.type = kRegSz;
        for (const wchar_t c : *text) AppendUnit(value.data, c);
        AppendUnit(value.data, L'\0');
        return true;
    }
    if (StartsWith(line, kDwordTag)) {
        line.remove_prefix(kDwordTag.size());
        const auto number = TakeHexNumber(line, kDwordDigits);
        if (!number || !line.empty()) return false;
        value.type = kRegDword;
        for (std::size_t i = 0; i < kDwordBytes; ++i) {
            value.data += static_cast<char>(*number >> (i * kBitsPerByte) & kByteMask);
        }
        return true;
    }
    if (StartsWith(line, kBinaryTag)) {
        line.remove_prefix(kBinaryTag.size());
        value.type = kRegBinary;
    } else if (StartsWith(line, kTypedHexStart)) {
        line.remove_prefix(kTypedHexStart.size());
        const auto type = TakeHexNumber(line, kDwordDigits);
        if (!type || !StartsWith(line, kTypedHexEnd)) return false;
        line.remove_prefix(kTypedHexEnd.size());
        value.type = *type;
    } else {
        return false;
    }
    return TakeHexBytes(line, lines, next, value.data);
}

}  // namespace

bool KeyPathOrder::operator()(std::wstring_view a, std::wstring_view b) const noexcept {
    const auto rank = [](wchar_t c) {
        return c == kSeparator ? -1 : static_cast<std::int64_t>(UnitOf(c));
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](wchar_t x, wchar_t y) { return rank(x) < rank(y); });
}

RegFileText WriteRegFile(const RegSnapshot& snapshot) {
    RegFileText file;
    std::wstring& out = file.text;
    out += kHeader;
    out += kLineEnd;
    out += kLineEnd;
    for (const auto& [path, values] : snapshot) {
        if (!KeyPathFits(path)) {
            file.unwritten.push_back({path, std::nullopt});
            continue;
        }
        out += kKeyStart;
        out += path;
        out += kKeyEnd;
        out += kLineEnd;
        for (const RegValue& value : values) {
            if (!NameFits(value.name)) {
                file.unwritten.push_back({path, value.name});
                continue;
            }
            AppendValue(out, value);
            out += kLineEnd;
        }
        out += kLineEnd;
    }
    return file;
}

std::string RegFileBytes(std::wstring_view text) {
    std::string bytes(kByteOrderMark, kByteOrderMarkBytes);
    bytes.reserve(bytes.size() + text.size() * kUnitBytes);
    for (const wchar_t c : text) AppendUnit(bytes, c);
    return bytes;
}

std::optional<RegSnapshot> ReadRegFile(std::string_view bytes) {
    if (bytes.substr(0, kByteOrderMarkBytes) != kByteOrderMark || bytes.size() % kUnitBytes != 0) {
        return std::nullopt;
    }
    bytes.remove_prefix(kByteOrderMarkBytes);
    std::wstring text(bytes.size() / kUnitBytes, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = UnitAt(bytes, i);
    const auto lines = Lines(text);
    if (!lines || lines->empty() || lines->front() != kHeader) return std::nullopt;

    RegSnapshot snapshot;
    std::vector<RegValue>* key = nullptr;
    for (std::size_t next = 1; next < lines->size();) {
        const std::wstring_view line = (*lines)[next++];
        if (line.empty() || line.front() == kComment) continue;
        if (line.front() == kKeyStart) {
            // The path runs to the line's last bracket: a key's name may hold brackets.
            if (line.size() < 3 || line.back() != kKeyEnd || line[1] == kDeletion) {
                return std::nullopt;
            }
            key = &snapshot[std::wstring(line.substr(1, line.size() - 2))];
            continue;
        }
        RegValue value;
        if (!key || !TakeValue(line, *lines, next, value)) return std::nullopt;
        key->push_back(std::move(value));
    }
    return snapshot;
}

}  // namespace tolvar
