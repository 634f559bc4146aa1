#include "root_placeholder.h"

namespace tolvar {

std::wstring ExpandRootPlaceholder(std::wstring_view name, std::wstring_view root) {
    std::wstring out;
    out.reserve(name.size());
    std::size_t from = 0;
    for (auto at = name.find(kRootPlaceholder); at != name.npos;
         at = name.find(kRootPlaceholder, from)) {
        out.append(name, from, at - from);
        out += root;
        from = at + kRootPlaceholder.size();
    }
    out.append(name, from);
    return out;
}

}  // namespace tolvar
