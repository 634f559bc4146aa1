#include "history_text.h"

#include <unordered_map>

namespace tolvar {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// What the profile functions take for a blank: the C locale's white space and Ctrl-Z. None of
// these bytes is ever the second byte of a double-byte character.
bool IsProfileBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimFront(text);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// The next non-blank line, without its line end; false at the end of the text.
bool NextLine(std::string_view& text, std::string_view& line) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        line = text.substr(0, end);
        text = end == text.npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) return true;
    }
    return false;
}

bool IsSectionLine(std::string_view line, std::string_view name) {
    return line.size() == name.size() + 2 && line.front() == '[' && line.back() == ']' &&
           line.substr(1, name.size()) == name;
}

bool IsKeyLine(std::string_view line, std::string_view key, std::string_view value) {
    return line.size() == key.size() + 1 + value.size() && line.substr(0, key.size()) == key &&
           line[key.size()] == '=' && line.substr(key.size() + 1) == value;
}

}  // namespace

std::vector<SavedSection> AsProfileStoresThem(const std::vector<SavedSection>& sections) {
    std::vector<SavedSection> stored;
    stored.reserve(sections.size());
    std::unordered_map<std::string, std::size_t> byName;
    for (const SavedSection& section : sections) {
        const std::string_view name = Trim(section.name);
        if (name.empty()) continue;
        std::string value(TrimFront(section.value));
        const auto [at, added] = byName.try_emplace(FoldAscii(name), stored.size());
        if (added) {
            stored.push_back({std::string(name), std::move(value)});
        } else {
            stored[at->second].value = std::move(value);
        }
    }
    return stored;
}

std::string ProfileText(const std::vector<SavedSection>& sections, std::string_view key) {
    std::size_t size = 0;
    for (const SavedSection& s : sections) {
        size += s.name.size() + s.value.size() + key.size() + 3 + 2 * kLineEnd.size();
    }
    std::string text;
    text.reserve(size);
    for (const SavedSection& s : sections) {
        text.append("[").append(s.name).append("]").append(kLineEnd);
        text.append(key).append("=").append(s.value).append(kLineEnd);
    }
    return text;
}

bool ProfileTextHolds(std::string_view text, const std::vector<SavedSection>& sections,
                      std::string_view key) {
    std::string_view line;
    for (const SavedSection& section : sections) {
        if (!NextLine(text, line) || !IsSectionLine(line, section.name)) return false;
        if (!NextLine(text, line) || !IsKeyLine(line, key, section.value)) return false;
    }
    return !NextLine(text, line);
}

}  // namespace tolvar
