// Where the texts of a REG_MULTI_SZ value begin and end in its raw bytes.
#pragma once

#include <string_view>
#include <vector>

namespace tolvar {

// Splits the value's bytes into the byte runs of its texts, without decoding them: a
// double-byte code page is decoded per text by the caller. The last byte is the list's final
// terminator and is never looked at; a zero byte ends a text, except the one just before that
// terminator. Empty texts stay where consecutive zero bytes leave them. At least one text
// results (the empty one for one or two zero bytes); no bytes at all give no text.
std::vector<std::string_view> SplitMultiSz(std::string_view bytes);
// The same rule over UTF-16 units, as the wide registry functions deliver the value.
std::vector<std::wstring_view> SplitMultiSz(std::wstring_view units);

}  // namespace tolvar
