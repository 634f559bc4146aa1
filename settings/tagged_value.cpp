#include "tagged_value.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace tolvar {

namespace {

constexpr wchar_t kTrueText[] = L"True";
constexpr wchar_t kFalseText[] = L"False";
constexpr std::int64_t kCurrencyScale = 10000;

// Only named in a discarded branch, which clang counts as unused.
template <class>
[[maybe_unused]] constexpr bool kAlwaysFalse = false;

[[noreturn]] void ThrowOverflow() {
    throw TaggedValueError(TaggedValueError::Code::Overflow, "value outside the 32-bit range");
}

[[noreturn]] void ThrowMismatch(const char* what) {
    throw TaggedValueError(TaggedValueError::Code::TypeMismatch, what);
}

std::int32_t CheckedInt32(std::int64_t v) {
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        ThrowOverflow();
    return static_cast<std::int32_t>(v);
}

// Exact on the scaled integer: a detour through double would lose digits of large amounts.
std::int32_t CurrencyToInt32(std::int64_t scaled) {
    std::int64_t q = scaled / kCurrencyScale;
    const std::int64_t r = scaled % kCurrencyScale;
    const std::int64_t half = kCurrencyScale / 2;
    const bool odd = q % 2 != 0;
    if (r > half || (r == half && odd)) ++q;
    if (r < -half || (r == -half && odd)) --q;
    return CheckedInt32(q);
}

}  // namespace

ValueKind TaggedValue::Kind() const {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, EmptyValue>)
                return ValueKind::Empty;
            else if constexpr (std::is_same_v<T, NullValue>)
                return ValueKind::Null;
            else if constexpr (std::is_same_v<T, std::int16_t>)
                return ValueKind::Int16;
            else if constexpr (std::is_same_v<T, std::int32_t>)
                return ValueKind::Int32;
            else if constexpr (std::is_same_v<T, float>)
                return ValueKind::Float;
            else if constexpr (std::is_same_v<T, double>)
                return ValueKind::Double;
            else if constexpr (std::is_same_v<T, Currency>)
                return ValueKind::Currency;
            else if constexpr (std::is_same_v<T, Date>)
                return ValueKind::Date;
            else if constexpr (std::is_same_v<T, std::wstring>)
                return ValueKind::Text;
            else if constexpr (std::is_same_v<T, bool>)
                return ValueKind::Boolean;
            else if constexpr (std::is_same_v<T, std::uint8_t>)
                return ValueKind::Byte;
            else if constexpr (std::is_same_v<T, std::vector<std::wstring>>)
                return ValueKind::TextArray;
            else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>)
                return ValueKind::ByteArray;
            else
                static_assert(kAlwaysFalse<T>, "every alternative has its kind");
        },
        m_value);
}

std::int32_t RoundToInt32(double value) {
    if (std::isnan(value)) ThrowOverflow();
    double whole = std::floor(value);
    const double frac = value - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        whole > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        ThrowOverflow();
    return static_cast<std::int32_t>(whole);
}

std::int32_t TaggedValue::ToInt32() const {
    return std::visit(
        [](const auto& v) -> std::int32_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, EmptyValue>)
                return 0;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? -1 : 0;
            else if constexpr (std::is_integral_v<T>)
                return v;
            else if constexpr (std::is_floating_point_v<T>)
                return RoundToInt32(v);
            else if constexpr (std::is_same_v<T, Currency>)
                return CurrencyToInt32(v.scaled);
            else if constexpr (std::is_same_v<T, Date>)
                return RoundToInt32(v.days);
            else
                ThrowMismatch("value has no number form");
        },
        m_value);
}

std::optional<std::wstring> PureText(const TaggedValue& value) {
    return std::visit(
        [](const auto& v) -> std::optional<std::wstring> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, EmptyValue>)
                return std::wstring();
            else if constexpr (std::is_same_v<T, std::wstring>)
                return v;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? kTrueText : kFalseText;
            else if constexpr (std::is_integral_v<T>)
                return std::to_wstring(v);
            else if constexpr (std::is_floating_point_v<T> || std::is_same_v<T, Currency> ||
                               std::is_same_v<T, Date>)
                return std::nullopt;
            else
                ThrowMismatch("value has no text form");
        },
        value.Content());
}

}  // namespace tolvar
