#include "design.h"

namespace tolvar {

std::wstring DialogFilterForSystem(std::wstring_view filter) {
    std::wstring out(filter);
    for (auto& c : out) {
        if (c == L'|') c = L'\0';
    }
    out.append(2, L'\0');
    return out;
}

}  // namespace tolvar
