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
// zero until touched, the system writes only what it returns, and that is zeroed again after each
// read. One made and released per read cost about 35 us under Wine, a tenth of a 1,000-entry
// load.
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
    wchar_t* data() const { return m_data; }
    // What a read placed there: its count of characters and the code-0 one after them.
    std::wstring_view Read(DWORD count) const {
        return {m_data, static_cast<std::size_t>(count) + 1};
    }
    // Zero again after a read of `count`: past it the system writes at most two code-0
    // characters (a cut list of names ends in two).
    void Clear(DWORD count) const {
        std::fill_n(m_data, std::min(static_cast<std::size_t>(count) + 2, kTextBufferChars), L'\0');
    }

  private:
    wchar_t* m_data;
};

namespace {

// Reads into the buffer; the result is the count of characters the system placed there, which
// it follows with a code-0 character.
DWORD ReadProfile(const ProfileReadBuffer& buffer, const clsProfile::OptText& section,
                  const clsProfile::OptText& key, const clsProfile::OptText& defVal,
                  const std::wstring& file) {
    if (!Fits({section, key, defVal, file})) return 0;
    return GetPrivateProfileStringW(Arg(section), Arg(key), Arg(defVal), buffer.data(),
                                    kTextCapacity, file.c_str());
}

// What `take` makes of a read into the object's buffer, which is zero again afterwards.
template <class Take>
auto ReadWith(const ProfileReadBuffer& buffer, const clsProfile::OptText& section,
              const clsProfile::OptText& key, const clsProfile::OptText& defVal,
              const std::wstring& file, Take take) {
    const DWORD count = ReadProfile(buffer, section, key, defVal, file);
    const struct Cleared {
        const ProfileReadBuffer& buffer;
        DWORD count;
        ~Cleared() { buffer.Clear(count); }
    } cleared{buffer, count};
    return take(buffer.Read(count), count);
}

}  // namespace

clsProfile::clsProfile() : m_strFileName(DefaultFileName()) {}

clsProfile::~clsProfile() {
    Flush();
}

const ProfileReadBuffer& clsProfile::Buffer() const {
    if (!m_buffer) m_buffer = std::make_unique<ProfileReadBuffer>();
    return *m_buffer;
}

std::wstring clsProfile::GetString(OptText Section, OptText Key, OptText defVal) const {
    return ReadWith(Buffer(), Section, Key, defVal, m_strFileName,
                    [](std::wstring_view read, DWORD count) {
                        return count == 0 ? std::wstring() : std::wstring(CutAtNull(read));
                    });
}

std::int32_t clsProfile::GetInt(OptText Section, OptText Key, std::int32_t defVal) const {
    if (!Fits({Section, Key, m_strFileName})) return defVal;
    return static_cast<std::int32_t>(
        GetPrivateProfileIntW(Arg(Section), Arg(Key), defVal, m_strFileName.c_str()));
}

TaggedValue clsProfile::GetSectNames() const {
    return ReadWith(Buffer(), std::nullopt, std::nullopt, std::nullopt, m_strFileName,
                    [](std::wstring_view read, DWORD count) -> TaggedValue {
                        if (count < 1) return std::vector<std::wstring>();
                        return SplitAtNulls(TrimTrailingNulls(read));
                    });
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
