#include <windows.h>

#include "clsProfile.h"

#include <initializer_list>
#include <new>
#include <string_view>
#include <string>
#include <vector>

#include "ansi.h"
#include "module_path.h"
#include "null_cut.h"

namespace tolvar {

namespace {

// One fixed buffer per read, no retry: the system writes at most kTextCapacity bytes, so the
// buffer always ends in at least one code-0 byte.
constexpr std::size_t kTextBufferChars = clsProfile::kTextBufferChars;
constexpr DWORD kTextCapacity = kTextBufferChars - 1;
constexpr wchar_t kIniExtension[] = L".ini";
constexpr wchar_t kPathSeparator = L'\\';

std::wstring DefaultFileName() {
    return ExecutableDirectory() + kPathSeparator + ExecutableBaseName() + kIniExtension;
}

// A longer text cannot name anything in a profile file, and makes Wine's profile functions read
// wild memory, so such a call fails here without reaching the system.
bool Fits(std::initializer_list<const AnsiArg*> args) {
    for (const AnsiArg* arg : args) {
        if (arg->size() > clsProfile::kMaxTextBytes) return false;
    }
    return true;
}

// A fresh zero-filled buffer per read, straight from the system: its pages are zero until
// touched, and the system writes only what it returns, so a read costs no 200 KB of zeroing and
// leaves the heap as it found it.
class ZeroedBuffer {
  public:
    explicit ZeroedBuffer(std::size_t size)
        : m_data(static_cast<char*>(
              VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        if (!m_data) throw std::bad_alloc();
    }
    ~ZeroedBuffer() { VirtualFree(m_data, 0, MEM_RELEASE); }
    ZeroedBuffer(const ZeroedBuffer&) = delete;
    ZeroedBuffer& operator=(const ZeroedBuffer&) = delete;
    char* data() const { return m_data; }
    std::string_view view(std::size_t size) const { return {m_data, size}; }

  private:
    char* m_data;
};

// Reads into the buffer; the result is the count of characters the system placed there, which
// it follows with a code-0 character.
DWORD ReadProfile(const ZeroedBuffer& buffer, const AnsiArg& section, const AnsiArg& key,
                  const AnsiArg& defVal, const std::wstring& fileName) {
    const AnsiArg file(fileName);
    if (!Fits({&section, &key, &defVal, &file})) return 0;
    return GetPrivateProfileStringA(section.get(), key.get(), defVal.get(), buffer.data(),
                                    kTextCapacity, file.get());
}

}  // namespace

clsProfile::clsProfile() : m_strFileName(DefaultFileName()) {}

clsProfile::~clsProfile() {
    Flush();
}

// Only the part of the buffer that the result needs is converted back: a code-0 byte is never
// part of a multi-byte character, so cutting before converting gives the same text.
std::wstring clsProfile::GetString(OptText Section, OptText Key, OptText defVal) const {
    const ZeroedBuffer buffer(kTextBufferChars);
    const DWORD count =
        ReadProfile(buffer, AnsiArg(Section), AnsiArg(Key), AnsiArg(defVal), m_strFileName);
    if (count == 0) return {};
    return FromAnsi(CutAtNull(buffer.view(count + 1)));
}

std::int32_t clsProfile::GetInt(OptText Section, OptText Key, std::int32_t defVal) const {
    const AnsiArg section(Section), key(Key), file(m_strFileName);
    if (!Fits({&section, &key, &file})) return defVal;
    return static_cast<std::int32_t>(
        GetPrivateProfileIntA(section.get(), key.get(), defVal, file.get()));
}

TaggedValue clsProfile::GetSectNames() const {
    const AnsiArg absent(std::optional<std::wstring>{});
    const ZeroedBuffer buffer(kTextBufferChars);
    const DWORD count = ReadProfile(buffer, absent, absent, absent, m_strFileName);
    if (count < 1) return std::vector<std::wstring>();
    return SplitAtNulls(FromAnsi(TrimTrailingNulls(buffer.view(count + 1))));
}

bool clsProfile::WriteString(OptText Section, OptText Key, OptText Data) const {
    const AnsiArg section(Section), key(Key), data(Data), file(m_strFileName);
    if (!Fits({&section, &key, &data, &file})) return false;
    return WritePrivateProfileStringA(section.get(), key.get(), data.get(), file.get()) != 0;
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
