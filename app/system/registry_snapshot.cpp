#include "registry_snapshot.h"

#include <vector>

#include "error_log.h"
#include "win32_handles.h"

namespace tolvar {

static_assert(kRegNone == REG_NONE && kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ &&
              kRegBinary == REG_BINARY && kRegDword == REG_DWORD && kRegMultiSz == REG_MULTI_SZ &&
              kRegQword == REG_QWORD);

namespace {

constexpr REGSAM kReading = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
// The buffers' first sizes; each grows as a name or a value needs.
constexpr std::size_t kFirstNameChars = 128;
constexpr std::size_t kFirstDataBytes = 512;
constexpr std::size_t kGrowth = 2;

// One tree's reading, with buffers shared by all its keys.
class TreeReader {
  public:
    explicit TreeReader(RegSnapshot& snapshot) : m_snapshot(snapshot) {}

    LSTATUS ReadKey(HKEY key, const std::wstring& path, bool top) {
        std::vector<RegValue> values;
        if (const LSTATUS status = ReadValues(key, values)) return status;
        if (!top || !values.empty()) m_snapshot[path] = std::move(values);
        std::vector<std::wstring> names;
        if (const LSTATUS status = ReadSubkeyNames(key, names)) return status;
        for (const std::wstring& name : names) {
            HKEY opened = nullptr;
            if (const LSTATUS status = RegOpenKeyExW(key, name.c_str(), 0, kReading, &opened)) {
                return status;
            }
            const UniqueRegKey subkey(opened);
            if (const LSTATUS status = ReadKey(subkey.get(), path + L'\\' + name, false)) {
                return status;
            }
        }
        return ERROR_SUCCESS;
    }

  private:
    LSTATUS ReadValues(HKEY key, std::vector<RegValue>& values) {
        for (DWORD index = 0;; ++index) {
            DWORD chars = 0, bytes = 0, type = REG_NONE;
            LSTATUS status = ERROR_SUCCESS;
            for (;;) {
                chars = static_cast<DWORD>(m_name.size());
                bytes = static_cast<DWORD>(m_data.size());
                status = RegEnumValueW(key, index, m_name.data(), &chars, nullptr, &type,
                                       reinterpret_cast<BYTE*>(m_data.data()), &bytes);
                if (status != ERROR_MORE_DATA) break;
                // The data's need is reported; the name's is not, so the name grows otherwise.
                if (bytes > m_data.size()) {
                    m_data.resize(bytes);
                } else {
                    m_name.resize(m_name.size() * kGrowth);
                }
            }
            if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
            if (status != ERROR_SUCCESS) return status;
            values.push_back(
                {std::wstring(m_name.data(), chars), type, std::string(m_data.data(), bytes)});
        }
    }

    // All names first: the buffer is the reading's, and each subkey's reading uses it too.
    LSTATUS ReadSubkeyNames(HKEY key, std::vector<std::wstring>& names) {
        for (DWORD index = 0;; ++index) {
            DWORD chars = 0;
            LSTATUS status = ERROR_SUCCESS;
            for (;;) {
                chars = static_cast<DWORD>(m_name.size());
                status = RegEnumKeyExW(key, index, m_name.data(), &chars, nullptr, nullptr, nullptr,
                                       nullptr);
                if (status != ERROR_MORE_DATA) break;
                m_name.resize(m_name.size() * kGrowth);
            }
            if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
            if (status != ERROR_SUCCESS) return status;
            names.emplace_back(m_name.data(), chars);
        }
    }

    RegSnapshot& m_snapshot;
    std::wstring m_name = std::wstring(kFirstNameChars, L'\0');
    std::string m_data = std::string(kFirstDataBytes, '\0');
};

}  // namespace

LSTATUS ReadTree(HKEY parent, const std::wstring& subkey, const std::wstring& rootName,
                 RegSnapshot& snapshot) {
    HKEY opened = nullptr;
    if (const LSTATUS status = RegOpenKeyExW(parent, subkey.c_str(), 0, kReading, &opened)) {
        return status;
    }
    const UniqueRegKey key(opened);
    RegSnapshot read;
    if (const LSTATUS status = TreeReader(read).ReadKey(key.get(), rootName, true)) return status;
    snapshot.merge(read);
    return ERROR_SUCCESS;
}

LSTATUS DeleteTree(HKEY parent, const std::wstring& subkey) {
    if (subkey.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeW(parent, subkey.c_str());
}

namespace {

bool WriteFileBytes(const std::wstring& path, const std::string& bytes, DWORD& error) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        error = GetLastError();
        return false;
    }
    return true;
}

}  // namespace

SavedRegFile SaveMappedRegistration(HKEY parent, const std::wstring& key,
                                    std::span<const std::wstring_view> roots,
                                    const std::wstring& file) {
    SavedRegFile saved;
    RegSnapshot snapshot;
    for (const std::wstring_view root : roots) {
        const std::wstring subkey = key + L"\\" + std::wstring(root);
        const LSTATUS read = ReadTree(parent, subkey, std::wstring(root), snapshot);
        if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) saved.error = read;
    }
    if (const LSTATUS deleted = DeleteTree(parent, key);
        deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        LogFailure("removing the throw-away key of a .reg file", "RegDeleteTreeW");
    }
    if (saved.error != ERROR_SUCCESS || snapshot.empty()) return saved;
    const RegFileText text = WriteRegFile(snapshot);
    if (!WriteFileBytes(file, RegFileBytes(text.text), saved.error)) return saved;
    saved.keys = snapshot.size();
    saved.unwritten = text.unwritten.size();
    return saved;
}

}  // namespace tolvar
