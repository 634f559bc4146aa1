// Owns at most one open registry key and offers the usual registry operations on it. Every
// operation reports the registry's own code as its status (0 on success) and raises nothing for a
// registry failure; SetValue alone throws, TaggedValueError, when its value cannot be converted.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tagged_value.h"

namespace tolvar {

class clsRegKey {
  public:
    // A name that may be absent: absent reaches the system as a null pointer (for a value name,
    // the key's unnamed default value).
    using OptText = std::optional<std::wstring>;

    clsRegKey() = default;
    ~clsRegKey();  // closes the held key
    // Move-only: a copy would close one key twice. The source is left holding no key.
    clsRegKey(clsRegKey&& other) noexcept;
    clsRegKey& operator=(clsRegKey&& other) noexcept;
    clsRegKey(const clsRegKey&) = delete;
    clsRegKey& operator=(const clsRegKey&) = delete;

    // The held handle; a write stores it unchanged, without closing the one held before.
    HKEY get_m_hKey() const { return m_hKey; }
    void put_m_hKey(HKEY hKey) { m_hKey = hKey; }

    // Writes REG_DWORD for the numeric kinds and boolean, REG_BINARY for a byte array and
    // REG_SZ (UTF-16, terminated) for everything else. Throws TaggedValueError, writing nothing,
    // for a number outside the 32-bit range or a value without a text form.
    LONG SetValue(TaggedValue vntValue, OptText lpszValueName);
    // Reads REG_SZ, REG_EXPAND_SZ (expanded), REG_BINARY, REG_DWORD and REG_MULTI_SZ. Returns -1,
    // leaving vntValue untouched, when the value is missing or of another type, or an empty
    // REG_MULTI_SZ; otherwise the code of the read.
    LONG QueryValue(TaggedValue& vntValue, OptText lpszValueName) const;
    // On success the key held before is closed, and that close's code is the status.
    LONG OpenReg(HKEY hKeyParent, OptText lpszKeyName, REGSAM samDesired = KEY_READ);
    // Forgets the handle even when closing fails; 0 when no key is held.
    LONG CloseReg();
    // Class text "0", default security. The disposition (1 created, 2 opened, 0 on failure) is
    // written whether or not the call succeeds.
    LONG CreateKey(HKEY hKeyParent, OptText lpszKeyName, DWORD dwOptions = REG_OPTION_NON_VOLATILE,
                   REGSAM samDesired = KEY_ALL_ACCESS, DWORD* lpdwDisposition = nullptr);
    // Hands the held key to the caller, unclosed.
    HKEY Detach();
    // Takes a key in; the one held before is not closed.
    void Attach(HKEY hKey) { m_hKey = hKey; }
    // The names are passed by reference and come back unchanged: the wide functions take every
    // character as it is.
    LONG DeleteSubKey(std::wstring& lpszSubKey) const;
    LONG DeleteValue(std::wstring& lpszValue) const;
    // Deletes the child key and its whole subtree, depth first; stops at the first failure,
    // keeping what was deleted until then.
    LONG RecurseDeleteKey(std::wstring& lpszKey) const;
    // The names in the system's index order, as an array of texts; on any failure (a name, or
    // the key's class text, of 255 characters or more gives ERROR_MORE_DATA) the output keeps
    // what it held.
    LONG EnumSubKeyNames(TaggedValue& vntKeyNames) const;
    LONG EnumValueNames(TaggedValue& vntValueNames) const;

  private:
    HKEY m_hKey = nullptr;
};

}  // namespace tolvar
