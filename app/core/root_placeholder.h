// The SDK root placeholder of stored history paths.
#pragma once

#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::wstring_view kRootPlaceholder = L"<Zelvo_ROOT>\\";

// Every occurrence of the placeholder (exact letter case), left to right, replaced by the root;
// the inserted root is not searched again.
std::wstring ExpandRootPlaceholder(std::wstring_view name, std::wstring_view root);

}  // namespace tolvar
