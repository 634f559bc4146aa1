// Whether a history file's text already says exactly what a save would write, so that the save
// can leave it alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

struct SavedSection {
    std::string name;   // ANSI, as the system writes it
    std::string value;  // the one key's value
};

// True when the text holds exactly these sections, in this order, each with the single line
// "<key>=<value>" and nothing else. Line ends may be CR LF or LF; blank lines do not count.
bool ProfileTextHolds(std::string_view text, const std::vector<SavedSection>& sections,
                      std::string_view key);

}  // namespace tolvar
