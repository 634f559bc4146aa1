// A value that carries its kind: the registry values and name lists of clsRegKey and the
// section-name list of clsProfile. The kind codes are the COM variant type numbers, so a value
// keeps the meaning those numbers have for every other program.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace tolvar {

enum class ValueKind : std::int32_t {
    Empty = 0,
    Null = 1,
    Int16 = 2,
    Int32 = 3,
    Float = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    Text = 8,
    Boolean = 11,
    Byte = 17,
    TextArray = 0x2008,  // 8200: an array kind is its element kind plus 0x2000
    ByteArray = 0x2011,  // 8209
};

struct EmptyValue {
    friend bool operator==(EmptyValue, EmptyValue) = default;
};
struct NullValue {
    friend bool operator==(NullValue, NullValue) = default;
};

// A fixed-point amount: the value times 10000.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(Currency, Currency) = default;
};

// An OLE automation date: days since 30 December 1899, the time as the fraction.
struct Date {
    double days = 0;
    friend bool operator==(Date, Date) = default;
};

// Raised by the conversions of TaggedValue, and so by clsRegKey::SetValue, which writes
// nothing when its value cannot be converted.
class TaggedValueError : public std::runtime_error {
  public:
    enum class Code {
        Overflow,      // the number lies outside the target's range (or is not a number)
        TypeMismatch,  // the kind has no form of the requested sort (a null, an array of texts)
    };
    TaggedValueError(Code code, const char* what) : std::runtime_error(what), m_code(code) {}
    Code code() const { return m_code; }

  private:
    Code m_code;
};

class TaggedValue {
  public:
    // One alternative per kind, so the kind and the content cannot disagree.
    using Storage = std::variant<EmptyValue, NullValue, std::int16_t, std::int32_t, float, double,
                                 Currency, Date, std::wstring, bool, std::uint8_t,
                                 std::vector<std::wstring>, std::vector<std::uint8_t>>;

    TaggedValue() = default;  // empty
    TaggedValue(NullValue v) : m_value(v) {}
    TaggedValue(std::int16_t v) : m_value(v) {}
    TaggedValue(std::int32_t v) : m_value(v) {}
    TaggedValue(float v) : m_value(v) {}
    TaggedValue(double v) : m_value(v) {}
    TaggedValue(Currency v) : m_value(v) {}
    TaggedValue(Date v) : m_value(v) {}
    TaggedValue(std::wstring v) : m_value(std::move(v)) {}
    TaggedValue(const wchar_t* v) : m_value(std::wstring(v)) {}  // not the pointer-to-bool path
    TaggedValue(bool v) : m_value(v) {}
    TaggedValue(std::uint8_t v) : m_value(v) {}
    TaggedValue(std::vector<std::wstring> v) : m_value(std::move(v)) {}
    TaggedValue(std::vector<std::uint8_t> v) : m_value(std::move(v)) {}

    ValueKind Kind() const;

    // The content when the value is of kind T, else null.
    template <class T>
    const T* Get() const {
        return std::get_if<T>(&m_value);
    }
    const Storage& Content() const { return m_value; }

    // The 32-bit integer form: fractions go to the nearest integer and halves to the even
    // neighbour (2.5 gives 2, 3.5 gives 4); true gives -1 and false 0; empty gives 0.
    // Throws TaggedValueError: Overflow outside the signed 32-bit range (NaN included),
    // TypeMismatch for null, text and the arrays.
    std::int32_t ToInt32() const;

    // The text form. Empty gives the empty text, a text itself, the integers and the byte their
    // decimal digits, a boolean "True" or "False"; float, double, currency and date go through
    // the system's locale conversion. Throws TaggedValueError TypeMismatch for null and arrays.
    // Windows builds only (tagged_value_win.cpp); PureText below is the portable part.
    std::wstring ToText() const;

    friend bool operator==(const TaggedValue&, const TaggedValue&) = default;

  private:
    Storage m_value;
};

// The text form of the kinds that need no locale; no value for float, double, currency and
// date. Throws as ToText.
std::optional<std::wstring> PureText(const TaggedValue& value);

// Rounds half to even, throwing TaggedValueError Overflow outside the signed 32-bit range.
std::int32_t RoundToInt32(double value);

}  // namespace tolvar
