// Access to one private-profile (INI) file through the system's wide profile functions, so that
// a UTF-16 file (which starts with a byte-order mark) gives back texts the ANSI code page cannot
// hold. The object holds the file's name and a buffer its reads share (so one object is for one
// thread); the system does all parsing, caching and writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tagged_value.h"

namespace tolvar {

class ProfileReadBuffer;

class clsProfile {
  public:
    // The reads' fixed buffer, in UTF-16 characters; the system is told one less, so the buffer
    // always ends in a code-0 character.
    static constexpr std::size_t kTextBufferChars = 200000;
    // The longest text argument, in bytes of its ANSI form: what the ANSI profile functions can
    // take (each becomes a counted UTF-16 string of at most 65535 bytes). The wide calls keep
    // that limit, so a call fails exactly where the ANSI one would; a longer text fails here
    // without reaching the system.
    static constexpr std::size_t kMaxTextBytes = 32766;

    // A text argument that may be absent: absent reaches the system as a null pointer.
    using OptText = std::optional<std::wstring>;

    // Addresses "<executable's directory>\<executable's base name>.ini".
    clsProfile();
    // Flushes the file once, under the name current at that moment.
    ~clsProfile();
    // A copy would flush a second time.
    clsProfile(const clsProfile&) = delete;
    clsProfile& operator=(const clsProfile&) = delete;

    // The key's value, or defVal when the key is missing; a key present with an empty value
    // gives the empty text even when defVal is not empty.
    std::wstring GetString(OptText Section, OptText Key, OptText defVal = std::nullopt) const;
    std::int32_t GetInt(OptText Section, OptText Key, std::int32_t defVal = 0) const;
    // The section names in file order, as an array of texts (no elements for no file).
    TaggedValue GetSectNames() const;
    // The writes and deletions are true when the system call succeeded.
    bool WriteString(OptText Section, OptText Key, OptText Data) const;
    bool DeleteKey(OptText Section, OptText Key) const;
    bool DeleteSection(OptText Section) const;
    // Writes the system's cached copy of the file to disk.
    void Flush() const;

    std::wstring FileName() const { return m_strFileName; }
    void FileName(const std::wstring& strFileName) { m_strFileName = strFileName; }

  private:
    ProfileReadBuffer& Buffer() const;

    std::wstring m_strFileName;
    mutable std::unique_ptr<ProfileReadBuffer> m_buffer;  // made by the first read
};

}  // namespace tolvar
