#include "registry_snapshot.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "error_log.h"
#include "registry_view.h"
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

// How long the end of a removal is waited for when its owner goes.
constexpr DWORD kRemovalWaitMs = 10000;

// One tree's reading, with buffers shared by all its keys. Each key's counts and longest names
// are asked for first, so that no call is made only to learn that there is no more: under Wine each
// call is a round trip to its server.
class TreeReader {
  public:
    explicit TreeReader(RegSnapshot& snapshot) : m_snapshot(snapshot) {}

    LSTATUS ReadKey(HKEY key, const std::wstring& path, bool top) {
        DWORD subkeys = 0, values = 0, nameChars = 0, valueNameChars = 0, dataBytes = 0;
        if (const LSTATUS status =
                RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &nameChars, nullptr,
                                 &values, &valueNameChars, &dataBytes, nullptr, nullptr)) {
            return status;
        }
        Fit(std::max(nameChars, valueNameChars) + 1, dataBytes);
        std::vector<RegValue> read;
        if (const LSTATUS status = ReadValues(key, values, read)) return status;
        if (!top || !read.empty()) m_snapshot[path] = std::move(read);
        std::vector<std::wstring> names;
        if (const LSTATUS status = ReadSubkeyNames(key, subkeys, names)) return status;
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
    void Fit(std::size_t nameChars, std::size_t dataBytes) {
        if (m_name.size() < nameChars) m_name.resize(nameChars);
        if (m_data.size() < dataBytes) m_data.resize(dataBytes);
    }

    // As many as the key said it had: what is read is a tree that nothing writes to any more. The
    // buffers still grow should a name or a value need it.
    LSTATUS ReadValues(HKEY key, DWORD count, std::vector<RegValue>& values) {
        values.reserve(count);
        for (DWORD index = 0; index < count; ++index) {
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
        return ERROR_SUCCESS;
    }

    // All names first: the buffer is the walk's, and each subkey's reading uses it too.
    LSTATUS ReadSubkeyNames(HKEY key, DWORD count, std::vector<std::wstring>& names) {
        names.reserve(count);
        for (DWORD index = 0; index < count; ++index) {
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
        return ERROR_SUCCESS;
    }

    RegSnapshot& m_snapshot;
    std::wstring m_name = std::wstring(kFirstNameChars, L'\0');
    std::string m_data = std::string(kFirstDataBytes, '\0');
};

DWORD WINAPI RemoveTree(void* parameter) {
    const std::unique_ptr<std::wstring> subkey(static_cast<std::wstring*>(parameter));
    const LSTATUS status = DeleteTree(HKEY_CURRENT_USER, *subkey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        LogFailure("removing a throw-away key", "RegDeleteTreeW");
    }
    return static_cast<DWORD>(status);
}

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

std::wstring MappedViewKey(const std::wstring& key, MappedView view) {
    return key + (view == MappedView::Wow64 ? L"\\WoW64" : L"\\Native");
}

LSTATUS DeleteTree(HKEY parent, const std::wstring& subkey) {
    if (subkey.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeW(parent, subkey.c_str());
}

TreeRemoval::~TreeRemoval() {
    for (const UniqueHandle& thread : m_threads) {
        if (WaitForSingleObject(thread.get(), kRemovalWaitMs) != WAIT_OBJECT_0) {
            LogFailure("waiting for the removal of a throw-away key", "WaitForSingleObject");
        }
    }
}

void TreeRemoval::Start(std::wstring subkey) {
    std::erase_if(m_threads, [](const UniqueHandle& thread) {
        return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
    });
    auto owned = std::make_unique<std::wstring>(std::move(subkey));
    UniqueHandle thread(CreateThread(nullptr, 0, &RemoveTree, owned.get(), 0, nullptr));
    if (!thread) LogFailure("starting the removal of a throw-away key", "CreateThread");
    // The thread owns the name now; without a thread the removal is done here.
    void* const parameter = owned.release();
    if (!thread) {
        RemoveTree(parameter);
        return;
    }
    m_threads.push_back(std::move(thread));
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
    for (const MappedView view : {MappedView::Native, MappedView::Wow64}) {
        const std::wstring viewKey = MappedViewKey(key, view);
        for (const std::wstring_view root : roots) {
            RegSnapshot part;
            const LSTATUS read =
                ReadTree(parent, viewKey + L"\\" + std::wstring(root), std::wstring(root), part);
            if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) saved.error = read;
            if (view == MappedView::Native) {
                snapshot.merge(part);
                continue;
            }
            for (auto& [path, values] : part) {
                snapshot.try_emplace(ThirtyTwoBitViewPath(path), std::move(values));
            }
        }
    }
    if (saved.error != ERROR_SUCCESS || snapshot.empty()) return saved;
    const RegFileText text = WriteRegFile(snapshot);
    if (!WriteFileBytes(file, RegFileBytes(text.text), saved.error)) return saved;
    saved.keys = snapshot.size();
    saved.unwritten = text.unwritten.size();
    return saved;
}

}  // namespace tolvar
