// The text form of the kinds whose text depends on the user's locale: the system's own
// variant conversions (oleaut32), as every other program reading such a value would show it.
#include <windows.h>
#include <oleauto.h>

#include "tagged_value.h"

#include <type_traits>

namespace tolvar {

namespace {

// Owns the BSTR that a conversion hands back.
class Bstr {
  public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_bstr); }
    BSTR* out() { return &m_bstr; }
    std::wstring str() const { return std::wstring(m_bstr, SysStringLen(m_bstr)); }

  private:
    BSTR m_bstr = nullptr;
};

std::wstring Checked(HRESULT hr, const Bstr& text) {
    if (FAILED(hr)) {
        throw TaggedValueError(TaggedValueError::Code::TypeMismatch, "no text form");
    }
    return text.str();
}

}  // namespace

std::wstring TaggedValue::ToText() const {
    if (auto text = PureText(*this)) return std::move(*text);
    Bstr text;
    const LCID lcid = LOCALE_USER_DEFAULT;
    return std::visit(
        [&](const auto& v) -> std::wstring {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, float>) {
                return Checked(VarBstrFromR4(v, lcid, 0, text.out()), text);
            } else if constexpr (std::is_same_v<T, double>) {
                return Checked(VarBstrFromR8(v, lcid, 0, text.out()), text);
            } else if constexpr (std::is_same_v<T, Currency>) {
                CY cy;
                cy.int64 = v.scaled;
                return Checked(VarBstrFromCy(cy, lcid, 0, text.out()), text);
            } else if constexpr (std::is_same_v<T, Date>) {
                return Checked(VarBstrFromDate(v.days, lcid, 0, text.out()), text);
            } else {
                // PureText answers every other kind.
                return Checked(E_UNEXPECTED, text);
            }
        },
        Content());
}

}  // namespace tolvar
