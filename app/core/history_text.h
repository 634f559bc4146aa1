// The history file's text as the profile functions write it, and whether a file already says
// exactly that, so that a save can leave it alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

struct SavedSection {
    std::wstring name;
    std::wstring value;  // the one key's value
};

// The sections as the profile functions store them: blanks around a name and before a value are
// dropped, a section whose name then equals an earlier one's (ASCII letters without regard to
// case) only gives that one its value, and one left without a name is never listed, so it goes.
// A value that begins and ends with the same quotation mark is stored inside one more pair of
// double quotation marks: the profile functions take one pair off on reading, so it comes back
// exactly.
// (Wine also takes a few blanks beyond ASCII for blanks; a path that begins or ends with one is
// not kept here as it would be there.)
std::vector<SavedSection> AsProfileStoresThem(const std::vector<SavedSection>& sections);

// The text the profile functions write for these sections, each holding the one key: a line
// "[name]" then "key=value", each ended by CR LF. Expects sections as stored (above).
std::wstring ProfileText(const std::vector<SavedSection>& sections, std::wstring_view key);

// True when the text holds exactly these sections, in this order, each with the single line
// "<key>=<value>" and nothing else. Line ends may be CR LF or LF; blank lines do not count.
bool ProfileTextHolds(std::wstring_view text, const std::vector<SavedSection>& sections,
                      std::wstring_view key);

}  // namespace tolvar
