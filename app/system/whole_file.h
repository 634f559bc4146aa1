// A whole file's bytes, read at once.
#pragma once

#include <optional>
#include <string>

namespace tolvar {

// Nothing when the file cannot be opened or read, or is larger than the caller should hold.
std::optional<std::string> ReadWholeFile(const std::wstring& path);

}  // namespace tolvar
