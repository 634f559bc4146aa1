#include <windows.h>

#include "clsProfile.h"

#include <initializer_list>
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

// A fresh zero-filled buffer per read, straight from the system: its pages are zero until
// touched, and the system writes only what it returns, so a read costs no 400 KB of zeroing and
// leaves the heap as it found it.
class ZeroedBuffer {
  public:
    explicit ZeroedBuffer(std::size_t chars)
        : m_data(static_cast<wchar_t*>(VirtualAlloc(nullptr, chars * sizeof(wchar_t),
                                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        if (!m_data) throw std::bad_alloc();
    }
    ~ZeroedBuffer() { VirtualFree(m_data, 0, MEM_RELEASE); }
    ZeroedBuffer(const ZeroedBuffer&) = delete;
    ZeroedBuffer& operator=(const ZeroedBuffer&) = delete;
    wchar_t* data() const { return m_data; }
    std::wstring_view view(std::size_t chars) const { return {m_data, chars}; }

  private:
    wchar_t* m_data;
};

// Reads into the buffer; the result is the count of characters the system placed there, which
// it follows with a code-0 character.
DWORD ReadProfile(const ZeroedBuffer& buffer, const clsProfile::OptText& section,
                  const clsProfile::OptText& key, const clsProfile::OptText& defVal,
                  const std::wstring& file) {
    if (!Fits({section, key, defVal, file})) return 0;
    return GetPrivateProfileStringW(Arg(section), Arg(key), Arg(defVal), buffer.data(),
                                    kTextCapacity, file.c_str());
}

}  // namespace

clsProfile::clsProfile() : m_strFileName(DefaultFileName()) {}

clsProfile::~clsProfile() {
    Flush();
}

std::wstring clsProfile::GetString(OptText Section, OptText Key, OptText defVal) const {
    const ZeroedBuffer buffer(kTextBufferChars);
    const DWORD count = ReadProfile(buffer, Section, Key, defVal, m_strFileName);
    if (count == 0) return {};
    return std::wstring(CutAtNull(buffer.view(count + 1)));
}

std::int32_t clsProfile::GetInt(OptText Section, OptText Key, std::int32_t defVal) const {
    if (!Fits({Section, Key, m_strFileName})) return defVal;
    return static_cast<std::int32_t>(
        GetPrivateProfileIntW(Arg(Section), Arg(Key), defVal, m_strFileName.c_str()));
}

TaggedValue clsProfile::GetSectNames() const {
    const ZeroedBuffer buffer(kTextBufferChars);
    const DWORD count =
        ReadProfile(buffer, std::nullopt, std::nullopt, std::nullopt, m_strFileName);
    if (count < 1) return std::vector<std::wstring>();
    return SplitAtNulls(TrimTrailingNulls(buffer.view(count + 1)));
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
