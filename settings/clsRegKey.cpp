#include "clsRegKey.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "expand_environment.h"
#include "multi_sz.h"
#include "null_cut.h"

namespace tolvar {

namespace {

constexpr wchar_t kKeyClass[] = L"0";
// Name and class buffers: 256 characters, of which the system may use 255 with the zero.
constexpr size_t kNameBufferChars = 256;
constexpr DWORD kNameCapacity = kNameBufferChars - 1;
constexpr LONG kQueryFailed = -1;

// Absent reaches the system as a null pointer, empty as a pointer to empty text.
const wchar_t* Arg(const clsRegKey::OptText& text) {
    return text ? text->c_str() : nullptr;
}

std::wstring CutText(const std::wstring& units) {
    return std::wstring(CutAtNull(std::wstring_view(units)));
}

// Reads the key's count of sub-keys or of values; the class text and time are asked for too.
// A class text too long for its buffer is ERROR_MORE_DATA, as from every other call here and
// from the ANSI function; the wide one reports ERROR_INSUFFICIENT_BUFFER for it.
LONG QueryCount(HKEY hKey, bool subKeys, DWORD& count) {
    std::wstring keyClass(kNameBufferChars, L'\0');
    DWORD classCapacity = kNameCapacity;
    FILETIME lastWrite{};
    count = 0;
    const LONG rc = RegQueryInfoKeyW(
        hKey, keyClass.data(), &classCapacity, nullptr, subKeys ? &count : nullptr, nullptr,
        nullptr, subKeys ? nullptr : &count, nullptr, nullptr, nullptr, &lastWrite);
    return rc == ERROR_INSUFFICIENT_BUFFER ? ERROR_MORE_DATA : rc;
}

// Reads name i of the key's sub-keys or values into a fresh buffer.
LONG EnumName(HKEY hKey, bool subKeys, DWORD index, std::wstring& keyClass, std::wstring& name) {
    std::wstring buffer(kNameBufferChars, L'\0');
    DWORD capacity = kNameCapacity;
    LONG rc;
    if (subKeys) {
        DWORD classCapacity = kNameCapacity;
        FILETIME lastWrite{};
        rc = RegEnumKeyExW(hKey, index, buffer.data(), &capacity, nullptr, keyClass.data(),
                           &classCapacity, &lastWrite);
    } else {
        rc = RegEnumValueW(hKey, index, buffer.data(), &capacity, nullptr, nullptr, nullptr,
                           nullptr);
    }
    if (rc == ERROR_SUCCESS) name = CutText(buffer);
    return rc;
}

LONG EnumNames(HKEY hKey, bool subKeys, TaggedValue& names) {
    DWORD count = 0;
    LONG rc = QueryCount(hKey, subKeys, count);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<std::wstring> list(count);
    std::wstring keyClass(kNameBufferChars, L'\0');
    for (DWORD i = 0; i < count; ++i) {
        std::fill(keyClass.begin(), keyClass.end(), L'\0');
        rc = EnumName(hKey, subKeys, i, keyClass, list[i]);
        if (rc != ERROR_SUCCESS) break;
    }
    if (rc == ERROR_SUCCESS) names = std::move(list);
    return rc;
}

}  // namespace

clsRegKey::~clsRegKey() {
    CloseReg();
}

clsRegKey::clsRegKey(clsRegKey&& other) noexcept : m_hKey(std::exchange(other.m_hKey, nullptr)) {}

clsRegKey& clsRegKey::operator=(clsRegKey&& other) noexcept {
    if (this != &other) {
        CloseReg();
        m_hKey = std::exchange(other.m_hKey, nullptr);
    }
    return *this;
}

LONG clsRegKey::SetValue(TaggedValue vntValue, OptText lpszValueName) {
    DWORD type = REG_SZ;
    std::int32_t number = 0;
    std::wstring text;
    const void* data = nullptr;
    size_t size = 0;
    switch (vntValue.Kind()) {
        case ValueKind::Int16:
        case ValueKind::Int32:
        case ValueKind::Float:
        case ValueKind::Double:
        case ValueKind::Currency:
        case ValueKind::Boolean:
            type = REG_DWORD;
            number = vntValue.ToInt32();  // little-endian on every Windows target
            data = &number;
            size = sizeof number;
            break;
        case ValueKind::ByteArray: {
            // An array without elements is written as a binary value of no bytes.
            const auto& array = *vntValue.Get<std::vector<std::uint8_t>>();
            type = REG_BINARY;
            data = array.empty() ? static_cast<const void*>(&number) : array.data();
            size = array.size();
            break;
        }
        default:
            // Terminated, as readers that trust the count expect; the empty text is the single
            // terminating zero. Wide, so that every character is kept.
            text = vntValue.ToText();
            data = text.c_str();
            size = (text.size() + 1) * sizeof(wchar_t);
            break;
    }
    return RegSetValueExW(m_hKey, Arg(lpszValueName), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size));
}

LONG clsRegKey::QueryValue(TaggedValue& vntValue, OptText lpszValueName) const {
    const wchar_t* name = Arg(lpszValueName);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(m_hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return kQueryFailed;
    auto read = [&](void* buffer, DWORD capacity) {
        size = capacity;
        return RegQueryValueExW(m_hKey, name, nullptr, &type, static_cast<BYTE*>(buffer), &size);
    };
    // Texts are read wide, so that a directory named outside the ANSI code page stays exact.
    // A size of an odd number of bytes leaves its last byte out.
    const auto units = [&size] { return std::wstring(size / sizeof(wchar_t), L'\0'); };
    // The first read's type decides; the second read overwrites `type`.
    const DWORD firstType = type;
    switch (firstType) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::wstring buffer = units();
            const LONG rc = read(buffer.data(), DWORD(buffer.size() * sizeof(wchar_t)));
            const std::wstring text = CutText(buffer);
            vntValue = firstType == REG_EXPAND_SZ ? ExpandEnvironmentText(text) : text;
            return rc;
        }
        case REG_BINARY: {
            std::vector<std::uint8_t> buffer(size);
            // A value of no bytes is an empty array: there is no first element to read into.
            const LONG rc = size == 0 ? ERROR_SUCCESS : read(buffer.data(), size);
            vntValue = std::move(buffer);
            return rc;
        }
        case REG_DWORD: {
            // Never more than the integer's own 4 bytes: a longer value gives ERROR_MORE_DATA.
            std::uint32_t number = 0;
            const LONG rc = read(&number, std::min<DWORD>(size, sizeof number));
            vntValue = static_cast<std::int32_t>(number);
            return rc;
        }
        case REG_MULTI_SZ: {
            std::wstring buffer = units();
            if (buffer.empty()) return kQueryFailed;
            const LONG rc = read(buffer.data(), DWORD(buffer.size() * sizeof(wchar_t)));
            if (rc != ERROR_SUCCESS) return rc;
            std::vector<std::wstring> texts;
            for (std::wstring_view text : SplitMultiSz(std::wstring_view(buffer))) {
                texts.emplace_back(text);
            }
            vntValue = std::move(texts);
            return rc;
        }
        default:
            return kQueryFailed;
    }
}

LONG clsRegKey::OpenReg(HKEY hKeyParent, OptText lpszKeyName, REGSAM samDesired) {
    HKEY hKey = nullptr;
    const LONG rc = RegOpenKeyExW(hKeyParent, Arg(lpszKeyName), 0, samDesired, &hKey);
    if (rc != ERROR_SUCCESS) return rc;
    const LONG closed = CloseReg();
    m_hKey = hKey;
    return closed;
}

LONG clsRegKey::CloseReg() {
    if (m_hKey == nullptr) return ERROR_SUCCESS;
    return RegCloseKey(std::exchange(m_hKey, nullptr));
}

LONG clsRegKey::CreateKey(HKEY hKeyParent, OptText lpszKeyName, DWORD dwOptions, REGSAM samDesired,
                          DWORD* lpdwDisposition) {
    std::wstring keyClass(kKeyClass);
    SECURITY_ATTRIBUTES security{};  // all zero: the default security
    HKEY hKey = nullptr;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExW(hKeyParent, Arg(lpszKeyName), 0, keyClass.data(), dwOptions,
                                    samDesired, &security, &hKey, &disposition);
    if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
    if (rc != ERROR_SUCCESS) return rc;
    const LONG closed = CloseReg();
    m_hKey = hKey;
    return closed;
}

HKEY clsRegKey::Detach() {
    return std::exchange(m_hKey, nullptr);
}

LONG clsRegKey::DeleteSubKey(std::wstring& lpszSubKey) const {
    return RegDeleteKeyW(m_hKey, lpszSubKey.c_str());
}

LONG clsRegKey::DeleteValue(std::wstring& lpszValue) const {
    return RegDeleteValueW(m_hKey, lpszValue.c_str());
}

LONG clsRegKey::RecurseDeleteKey(std::wstring& lpszKey) const {
    clsRegKey child;
    LONG rc = child.OpenReg(m_hKey, lpszKey, KEY_ALL_ACCESS);
    if (rc != ERROR_SUCCESS) return rc;
    // Always index 0: every child found is deleted before the next look. Any failure of the
    // enumeration, ERROR_NO_MORE_ITEMS or a name too long for the buffer, ends the children.
    std::wstring keyClass(kNameBufferChars, L'\0');
    for (;;) {
        std::wstring name;
        if (EnumName(child.get_m_hKey(), true, 0, keyClass, name) != ERROR_SUCCESS) {
            rc = DeleteSubKey(lpszKey);
            break;
        }
        rc = child.RecurseDeleteKey(name);
        if (rc != ERROR_SUCCESS) break;
    }
    child.CloseReg();
    return rc;
}

LONG clsRegKey::EnumSubKeyNames(TaggedValue& vntKeyNames) const {
    return EnumNames(m_hKey, true, vntKeyNames);
}

LONG clsRegKey::EnumValueNames(TaggedValue& vntValueNames) const {
    return EnumNames(m_hKey, false, vntValueNames);
}

}  // namespace tolvar
