#include <windows.h>

#include "clsProfile.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "ansi.h"
#include "module_path.h"
#include "null_cut.h"

namespace tolvar {

namespace {

// One fixed buffer per read, no retry: the system writes at most kTextCapacity characters, so
// the buffer always ends in at least one code-0 character.
constexpr std::size_t kTextBufferChars = clsProfile::kTextBufferChars;
constexpr DWORD kTextCapacity = kTextBufferChars - 1;
constexpr wchar_t kIniExtension[] = L".ini";
constexpr wchar_t kPathSeparator = L'\\';

std::wstring DefaultFileName() {
    return ExecutableDirectory() + kPathSeparator + ExecutableBaseName() + kIniExtension;
}

// Absent reaches the system as a null pointer, empty as a pointer to empty text.
const wchar_t* Arg(const clsProfile::OptText& text) {
    return text ? text->c_str() : nullptr;
}

// No ANSI code page takes more than three bytes for one UTF-16 unit.
constexpr std::size_t kMaxAnsiBytesPerChar = 3;

// A text whose ANSI form is longer than kMaxTextBytes cannot name anything in a profile file;
// such a call fails here without reaching the system. Only a text that could be that long is
// converted to find out: every read of the load passes here.
bool Fits(std::initializer_list<std::optional<std::wstring_view>> args) {
    for (const auto& arg : args) {
        if (arg && arg->size() > clsProfile::kMaxTextBytes / kMaxAnsiBytesPerChar &&
            ToAnsi(*arg).size() > clsProfile::kMaxTextBytes) {
            return false;
        }
    }
    return true;
}

}  // namespace

// The reads' zero-filled buffer, straight from the system and kept between reads: its pages are
// zero until touched, the system writes only what it returns, and each read first zeroes what the
// one before wrote. One made and released per read cost about 35 us under Wine, a tenth of a
// 1,000-entry load.
class ProfileReadBuffer {
  public:
    ProfileReadBuffer()
        : m_data(static_cast<wchar_t*>(VirtualAlloc(nullptr, kTextBufferChars * sizeof(wchar_t),
                                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        if (!m_data) throw std::bad_alloc();
    }
    ~ProfileReadBuffer() { VirtualFree(m_data, 0, MEM_RELEASE); }
    ProfileReadBuffer(const ProfileReadBuffer&) = delete;
    ProfileReadBuffer& operator=(const ProfileReadBuffer&) = delete;

    // The count of characters the system placed in the buffer, which it follows with a code-0
    // character.
    DWORD Read(const clsProfile::OptText& section, const clsProfile::OptText& key,
               const clsProfile::OptText& defVal, const std::wstring& file) {
        std::fill_n(m_data, m_written, L'\0');
        m_written = 0;
        if (!Fits({section, key, defVal, file})) return 0;
        const DWORD count = GetPrivateProfileStringW(Arg(section), Arg(key), Arg(defVal), m_data,
                                                     kTextCapacity, file.c_str());
        // Past the count the system writes at most two code-0 characters (a cut list of names
        // ends in two).
        m_written = std::min(static_cast<std::size_t>(count) + 2, kTextBufferChars);
        return count;
    }
    // What a read of `count` placed there, with the code-0 character after it.
    std::wstring_view View(DWORD count) const {
        return {m_data, static_cast<std::size_t>(count) + 1};
    }

  private:
    wchar_t* m_data;
    std::size_t m_written = 0;
};

clsProfile::clsProfile() : m_strFileName(DefaultFileName()) {}

clsProfile::~clsProfile() {
    Flush();
}

ProfileReadBuffer& clsProfile::Buffer() const {
    if (!m_buffer) m_buffer = std::make_unique<ProfileReadBuffer>();
    return *m_buffer;
}

std::wstring clsProfile::GetString(OptText Section, OptText Key, OptText defVal) const {
    ProfileReadBuffer& buffer = Buffer();
    const DWORD count = buffer.Read(Section, Key, defVal, m_strFileName);
    if (count == 0) return {};
    return std::wstring(CutAtNull(buffer.View(count)));
}

std::int32_t clsProfile::GetInt(OptText Section, OptText Key, std::int32_t defVal) const {
    if (!Fits({Section, Key, m_strFileName})) return defVal;
    return static_cast<std::int32_t>(
        GetPrivateProfileIntW(Arg(Section), Arg(Key), defVal, m_strFileName.c_str()));
}

TaggedValue clsProfile::GetSectNames() const {
    ProfileReadBuffer& buffer = Buffer();
    const DWORD count = buffer.Read(std::nullopt, std::nullopt, std::nullopt, m_strFileName);
    if (count < 1) return std::vector<std::wstring>();
    return SplitAtNulls(TrimTrailingNulls(buffer.View(count)));
}

bool clsProfile::WriteString(OptText Section, OptText Key, OptText Data) const {
    if (!Fits({Section, Key, Data, m_strFileName})) return false;
    const BOOL written =
        WritePrivateProfileStringW(Arg(Section), Arg(Key), Arg(Data), m_strFileName.c_str());
    return written != FALSE;
}

bool clsProfile::DeleteKey(OptText Section, OptText Key) const {
    return WriteString(std::move(Section), std::move(Key), std::nullopt);
}

bool clsProfile::DeleteSection(OptText Section) const {
    return WriteString(std::move(Section), std::nullopt, std::nullopt);
}

void clsProfile::Flush() const {
    WriteString(std::nullopt, std::nullopt, std::nullopt);
}

}  // namespace tolvar
