#include "history_text.h"

#include <unordered_map>

namespace tolvar {

namespace {

constexpr std::wstring_view kLineEnd = L"\r\n";

// What the profile functions take for a blank: the C locale's white space and Ctrl-Z.
bool IsProfileBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == L'\x1a';
}

std::wstring_view TrimFront(std::wstring_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::wstring_view Trim(std::wstring_view text) {
    text = TrimFront(text);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

// On reading, the profile functions take one pair of matching quotation marks off a value.
bool EnclosedInQuotes(std::wstring_view value) {
    return value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
           value.back() == value.front();
}

// A value the profile functions would read back shorter is stored inside one more pair of double
// quotation marks, which they take off again: every reader gets the value exactly.
std::wstring StoredValue(std::wstring_view value) {
    if (!EnclosedInQuotes(value)) return std::wstring(value);
    std::wstring stored;
    stored.reserve(value.size() + 2);
    stored.append(1, L'"').append(value).append(1, L'"');
    return stored;
}

std::wstring FoldAscii(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return folded;
}

// The next non-blank line, without its line end; false at the end of the text.
bool NextLine(std::wstring_view& text, std::wstring_view& line) {
    while (!text.empty()) {
        const auto end = text.find(L'\n');
        line = text.substr(0, end);
        text = end == text.npos ? std::wstring_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        if (!line.empty()) return true;
    }
    return false;
}

bool IsSectionLine(std::wstring_view line, std::wstring_view name) {
    return line.size() == name.size() + 2 && line.front() == L'[' && line.back() == L']' &&
           line.substr(1, name.size()) == name;
}

bool IsKeyLine(std::wstring_view line, std::wstring_view key, std::wstring_view value) {
    return line.size() == key.size() + 1 + value.size() && line.substr(0, key.size()) == key &&
           line[key.size()] == L'=' && line.substr(key.size() + 1) == value;
}

}  // namespace

std::vector<SavedSection> AsProfileStoresThem(const std::vector<SavedSection>& sections) {
    std::vector<SavedSection> stored;
    stored.reserve(sections.size());
    std::unordered_map<std::wstring, std::size_t> byName;
    for (const SavedSection& section : sections) {
        const std::wstring_view name = Trim(section.name);
        if (name.empty()) continue;
        std::wstring value = StoredValue(TrimFront(section.value));
        const auto [at, added] = byName.try_emplace(FoldAscii(name), stored.size());
        if (added) {
            stored.push_back({std::wstring(name), std::move(value)});
        } else {
            stored[at->second].value = std::move(value);
        }
    }
    return stored;
}

std::wstring ProfileText(const std::vector<SavedSection>& sections, std::wstring_view key) {
    std::size_t size = 0;
    for (const SavedSection& s : sections) {
        size += s.name.size() + s.value.size() + key.size() + 3 + 2 * kLineEnd.size();
    }
    std::wstring text;
    text.reserve(size);
    for (const SavedSection& s : sections) {
        text.append(L"[").append(s.name).append(L"]").append(kLineEnd);
        text.append(key).append(L"=").append(s.value).append(kLineEnd);
    }
    return text;
}

bool ProfileTextHolds(std::wstring_view text, const std::vector<SavedSection>& sections,
                      std::wstring_view key) {
    std::wstring_view line;
    for (const SavedSection& section : sections) {
        if (!NextLine(text, line) || !IsSectionLine(line, section.name)) return false;
        if (!NextLine(text, line) || !IsKeyLine(line, key, section.value)) return false;
    }
    return !NextLine(text, line);
}

}  // namespace tolvar
