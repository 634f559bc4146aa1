#include "history_text.h"

namespace tolvar {

namespace {

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
