#include <windows.h>

#include "ansi.h"
#include "clsRegKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace tolvar {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::wstring>;

struct RawValue {
    LONG rc = 0;
    DWORD type = 0;
    Bytes bytes;
    bool operator==(const RawValue&) const = default;
};

// A throw-away key under HKCU\Software per test, removed with RecurseDeleteKey.
class RegKey : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_name =
            L"TolvarTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + FromAnsi(info->name());
        ASSERT_EQ(m_software.OpenReg(HKEY_CURRENT_USER, L"Software", KEY_ALL_ACCESS), 0);
        DWORD disposition = 0;
        ASSERT_EQ(m_key.CreateKey(m_software.get_m_hKey(), m_name, 0, KEY_ALL_ACCESS, &disposition),
                  0);
        ASSERT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    }
    void TearDown() override {
        m_key.CloseReg();
        EXPECT_EQ(m_software.RecurseDeleteKey(m_name), 0);
    }

    HKEY key() const { return m_key.get_m_hKey(); }
    void RawSet(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(RegSetValueExA(key(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  0);
    }
    RawValue RawGet(const char* name) {
        RawValue v;
        DWORD size = 0;
        v.rc = RegQueryValueExA(key(), name, nullptr, &v.type, nullptr, &size);
        v.bytes.resize(size);
        if (v.rc == 0 && size > 0)
            v.rc = RegQueryValueExA(key(), name, nullptr, &v.type, v.bytes.data(), &size);
        return v;
    }
    // The value that QueryValue reads back after a raw write, and its status.
    std::pair<LONG, TaggedValue> Query(DWORD type, const std::string& bytes) {
        RawSet("v", type, bytes);
        TaggedValue value(L"untouched");
        const LONG rc = m_key.QueryValue(value, L"v");
        return {rc, value};
    }
    void MakeChild(const std::wstring& path) {
        clsRegKey child;
        ASSERT_EQ(child.CreateKey(key(), path), 0);
    }
    bool Exists(const std::wstring& path) {
        clsRegKey probe;
        return probe.OpenReg(key(), path) == 0;
    }

    std::wstring m_name;
    clsRegKey m_software;
    clsRegKey m_key;
};

TEST_F(RegKey, StateAndOwnership) {
    clsRegKey fresh;
    TaggedValue untouched(5);
    EXPECT_EQ(fresh.CloseReg(), 0);
    EXPECT_EQ(fresh.Detach(), nullptr);
    EXPECT_EQ(fresh.QueryValue(untouched, std::nullopt), -1);
    EXPECT_EQ(untouched, TaggedValue(5));

    MakeChild(L"a");
    MakeChild(L"b");
    clsRegKey k;
    ASSERT_EQ(k.OpenReg(key(), L"a"), 0);
    ASSERT_EQ(k.OpenReg(key(), L"b"), 0);  // over a held key
    const HKEY held = k.get_m_hKey();
    EXPECT_EQ(k.OpenReg(key(), L"missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(k.get_m_hKey(), held);
    EXPECT_EQ(k.SetValue(1, L"x"), ERROR_ACCESS_DENIED);  // KEY_READ by default
    EXPECT_EQ(k.CloseReg(), 0);
    EXPECT_EQ(k.CloseReg(), 0);

    // Detach hands the key out unclosed; Attach hands it back for destruction to close.
    HKEY raw = nullptr;
    {
        clsRegKey owner;
        ASSERT_EQ(owner.OpenReg(key(), L"a"), 0);
        clsRegKey moved(std::move(owner));
        EXPECT_EQ(owner.get_m_hKey(), nullptr);
        raw = moved.Detach();
    }
    DWORD count = 99;
    ASSERT_EQ(RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              0);
    { clsRegKey(std::move(k)).Attach(raw); }
    EXPECT_NE(RegCloseKey(raw), 0);  // already closed
}

TEST_F(RegKey, CreateKeyDispositionsAndClass) {
    clsRegKey k;
    DWORD disposition = 99;
    EXPECT_EQ(k.CreateKey(key(), L"c", 0, KEY_ALL_ACCESS, &disposition), 0);
    EXPECT_EQ(disposition, 1u);
    EXPECT_EQ(k.CreateKey(key(), L"c", 0, KEY_ALL_ACCESS, &disposition), 0);
    EXPECT_EQ(disposition, 2u);
    char keyClass[16] = {};
    DWORD classLength = sizeof keyClass;
    ASSERT_EQ(RegQueryInfoKeyA(k.get_m_hKey(), keyClass, &classLength, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_STREQ(keyClass, "0");
    const HKEY held = k.get_m_hKey();
    EXPECT_NE(k.CreateKey(nullptr, L"c", 0, KEY_ALL_ACCESS, &disposition), 0);
    EXPECT_EQ(disposition, 0u);
    EXPECT_EQ(k.get_m_hKey(), held);
}

TEST_F(RegKey, QueryValueOfEveryType) {
    const auto text = [](const wchar_t* t) { return std::pair<LONG, TaggedValue>(0, t); };
    EXPECT_EQ(Query(REG_SZ, "ab\0cd"s), text(L"ab"));
    EXPECT_EQ(Query(REG_SZ, ""), text(L""));
    EXPECT_EQ(Query(REG_SZ, "abc"), text(L"abc"));  // stored without its zero
    EXPECT_EQ(Query(REG_DWORD, "\x34\x12"), std::make_pair(0L, TaggedValue(0x1234)));
    EXPECT_EQ(Query(REG_DWORD, "\xff\xff\xff\xff"), std::make_pair(0L, TaggedValue(-1)));
    EXPECT_EQ(Query(REG_DWORD, "12345678").first, ERROR_MORE_DATA);
    EXPECT_EQ(Query(REG_BINARY, "\1\2\3"), std::make_pair(0L, TaggedValue(Bytes{1, 2, 3})));
    EXPECT_EQ(Query(REG_BINARY, ""), std::make_pair(0L, TaggedValue(Bytes{})));

    SetEnvironmentVariableA("TOLVAR_TEST_DIR", "C:\\Zelvo");
    EXPECT_EQ(Query(REG_EXPAND_SZ, "%TOLVAR_TEST_DIR%\\bin\0"s), text(L"C:\\Zelvo\\bin"));
    EXPECT_EQ(Query(REG_EXPAND_SZ, "%TOLVAR_NO_SUCH_VAR%\\bin\0"s),
              text(L"%TOLVAR_NO_SUCH_VAR%\\bin"));

    const std::pair<std::string, Texts> layouts[] = {
        {"a\0b\0\0"s, {L"a", L"b"}},
        {"a\0\0"s, {L"a"}},
        {"\0"s, {L""}},
        {"\0\0"s, {L""}},
        {"a\0\0\0"s, {L"a", L""}},
        {"a\0\0b\0\0"s, {L"a", L"", L"b"}},
        // "ab" without terminators: Wine reports a terminator of its own; see MultiSz tests.
    };
    for (const auto& [bytes, texts] : layouts)
        EXPECT_EQ(Query(REG_MULTI_SZ, bytes), std::make_pair(0L, TaggedValue(texts)));

    const std::pair<LONG, TaggedValue> untouched(-1, L"untouched");
    EXPECT_EQ(Query(REG_MULTI_SZ, ""), untouched);
    EXPECT_EQ(Query(REG_QWORD, "12345678"), untouched);
    EXPECT_EQ(Query(REG_NONE, "x"), untouched);
    TaggedValue value(L"untouched");
    EXPECT_EQ(m_key.QueryValue(value, L"missing"), -1);
    EXPECT_EQ(value, TaggedValue(L"untouched"));
}

TEST_F(RegKey, SetValueTypesAndBytes) {
    const auto set = [&](TaggedValue v) {
        EXPECT_EQ(m_key.SetValue(std::move(v), L"v"), 0);
        return RawGet("v");
    };
    const auto raw = [](DWORD type, const std::string& b) {
        return RawValue{0, type, Bytes(b.begin(), b.end())};
    };
    EXPECT_EQ(set(5), raw(REG_DWORD, "\5\0\0\0"s));
    EXPECT_EQ(set(std::int16_t{-2}), raw(REG_DWORD, "\xfe\xff\xff\xff"));
    EXPECT_EQ(set(true), raw(REG_DWORD, "\xff\xff\xff\xff"));
    EXPECT_EQ(set(2.5), raw(REG_DWORD, "\2\0\0\0"s));
    EXPECT_EQ(set(3.5f), raw(REG_DWORD, "\4\0\0\0"s));
    EXPECT_EQ(set(Currency{15000}), raw(REG_DWORD, "\2\0\0\0"s));
    EXPECT_EQ(set(L"abc"), raw(REG_SZ, "abc\0"s));
    EXPECT_EQ(set(L""), raw(REG_SZ, "\0"s));
    EXPECT_EQ(set(TaggedValue()), raw(REG_SZ, "\0"s));
    EXPECT_EQ(set(std::uint8_t{7}), raw(REG_SZ, "7\0"s));
    EXPECT_EQ(set(Bytes{1, 2, 3}), raw(REG_BINARY, "\1\2\3"));
    EXPECT_EQ(set(Bytes{}), raw(REG_BINARY, ""));
    const RawValue date = set(Date{36526.5});  // 1 Jan 2000, noon: the locale's text
    EXPECT_EQ(date.type, static_cast<DWORD>(REG_SZ));
    EXPECT_GT(date.bytes.size(), 8u);
    EXPECT_EQ(date.bytes.back(), 0);

    for (const TaggedValue& bad :
         {TaggedValue(2147483648.0), TaggedValue(NullValue{}), TaggedValue(Texts{L"a"})}) {
        EXPECT_THROW(m_key.SetValue(bad, L"bad"), TaggedValueError);
        EXPECT_EQ(RawGet("bad").rc, ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegKey, DeleteAndRecurseDelete) {
    std::wstring missing = L"missing";
    EXPECT_EQ(m_key.DeleteValue(missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_key.DeleteSubKey(missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_key.RecurseDeleteKey(missing), ERROR_FILE_NOT_FOUND);

    for (const auto* path : {L"t\\a\\x\\deep", L"t\\a\\y", L"t\\b", L"keep"}) MakeChild(path);
    clsRegKey leaf;
    ASSERT_EQ(leaf.OpenReg(key(), L"t\\a\\x\\deep", KEY_ALL_ACCESS), 0);
    ASSERT_EQ(leaf.SetValue(L"v", L"n"), 0);
    leaf.CloseReg();
    std::wstring tree = L"t";
    EXPECT_EQ(m_key.RecurseDeleteKey(tree), 0);
    EXPECT_FALSE(Exists(L"t"));
    EXPECT_TRUE(Exists(L"keep"));

    RawSet("v", REG_SZ, "x");
    std::wstring value = L"v";
    EXPECT_EQ(m_key.DeleteValue(value), 0);
    EXPECT_EQ(RawGet("v").rc, ERROR_FILE_NOT_FOUND);

    clsRegKey none;
    TaggedValue names(L"untouched");
    EXPECT_EQ(none.SetValue(1, L"v"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(none.DeleteValue(value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(none.DeleteSubKey(value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(none.RecurseDeleteKey(value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(none.EnumSubKeyNames(names), ERROR_INVALID_HANDLE);
    EXPECT_EQ(none.EnumValueNames(names), ERROR_INVALID_HANDLE);
    EXPECT_EQ(names, TaggedValue(L"untouched"));
}

TEST_F(RegKey, Enumeration) {
    const auto sorted = [](const TaggedValue& v) {
        Texts t = *v.Get<Texts>();
        std::sort(t.begin(), t.end());
        return t;
    };
    TaggedValue names;
    EXPECT_EQ(m_key.EnumSubKeyNames(names), 0);
    EXPECT_EQ(names, TaggedValue(Texts{}));
    names = TaggedValue();
    EXPECT_EQ(m_key.EnumValueNames(names), 0);
    EXPECT_EQ(names, TaggedValue(Texts{}));

    for (const auto* name : {L"k2", L"k1", L"k3"}) MakeChild(name);
    EXPECT_EQ(m_key.EnumSubKeyNames(names), 0);
    EXPECT_EQ(sorted(names), (Texts{L"k1", L"k2", L"k3"}));

    RawSet(nullptr, REG_SZ, "default");
    RawSet("n", REG_DWORD, "\1\0\0\0"s);
    EXPECT_EQ(m_key.EnumValueNames(names), 0);
    EXPECT_EQ(sorted(names), (Texts{L"", L"n"}));

    // A name of 255 characters does not fit the buffer: nothing is delivered.
    const std::string longName(255, 'L');
    RawSet(longName.c_str(), REG_SZ, "x");
    names = TaggedValue(L"untouched");
    EXPECT_EQ(m_key.EnumValueNames(names), ERROR_MORE_DATA);
    EXPECT_EQ(names, TaggedValue(L"untouched"));
    MakeChild(FromAnsi(longName));
    EXPECT_EQ(m_key.EnumSubKeyNames(names), ERROR_MORE_DATA);
    EXPECT_EQ(names, TaggedValue(L"untouched"));
    EXPECT_EQ(RegDeleteKeyA(key(), longName.c_str()), 0);

    // Nor does a class text of 255 characters on the key itself.
    std::wstring longClass(255, L'C');
    HKEY classed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key(), L"classed", 0, longClass.data(), 0, KEY_READ, nullptr,
                              &classed, nullptr),
              0);
    clsRegKey owner;
    owner.Attach(classed);
    EXPECT_EQ(owner.EnumSubKeyNames(names), ERROR_MORE_DATA);
    EXPECT_EQ(owner.EnumValueNames(names), ERROR_MORE_DATA);
    EXPECT_EQ(names, TaggedValue(L"untouched"));
    EXPECT_EQ(RegDeleteKeyW(key(), L"classed"), 0);
}

}  // namespace
}  // namespace tolvar

namespace tolvar {
namespace {

// Run under a double-byte code page by its own ctest entry (TOLVAR_TEST_CP932 set).
TEST_F(RegKey, DoubleByteTextsSurvive) {
    if (GetEnvironmentVariableA("TOLVAR_TEST_CP932", nullptr, 0) == 0) {
        GTEST_SKIP() << "runs as its own test entry under code page 932 (settings_tests_cp932)";
    }
    ASSERT_EQ(GetACP(), 932u);
    const std::wstring hiragana = L"\u3042\u3044";  // 82 A0 82 A2 in Shift-JIS
    EXPECT_EQ(Query(REG_MULTI_SZ, "\x82\xa0\x82\xa2\0b\0\0"s),
              std::make_pair(0L, TaggedValue(Texts{hiragana, L"b"})));
    EXPECT_EQ(m_key.SetValue(hiragana, L"v"), 0);
    const std::string sjis = "\x82\xa0\x82\xa2\0"s;
    EXPECT_EQ(RawGet("v"), (RawValue{0, REG_SZ, Bytes(sjis.begin(), sjis.end())}));

    // The expanded text takes 7 bytes in Shift-JIS but 4 UTF-16 units, and the trail byte of
    // U+8868 (95 5C) is a backslash.
    constexpr wchar_t kVariable[] = L"TOLVAR_TEST_JA";
    ASSERT_TRUE(SetEnvironmentVariableW(kVariable, L"\u65e5\u672c"));
    EXPECT_EQ(Query(REG_EXPAND_SZ, "%" + ToAnsi(kVariable) + "%\\\x95\x5c\0"s),
              std::make_pair(0L, TaggedValue(L"\u65e5\u672c\\\u8868")));
}

}  // namespace
}  // namespace tolvar
