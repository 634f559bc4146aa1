#include "reg_file.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tolvar {
namespace {

using namespace std::literals;

// The units' bytes, UTF-16 LE, as the registry holds a text.
std::string Units(std::wstring_view text) {
    std::string bytes;
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8 & 0xFF);
    }
    return bytes;
}

std::string Numbered(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += static_cast<char>(i);
    return bytes;
}

TEST(RegFile, WritesWhatRegeditWrites) {
    const std::wstring server = L"HKEY_CLASSES_ROOT\\CLSID\\{0C3E2B6A-1D5F-4A7B-9E8C-2F6D4B1A3C5E}";
    // Given in an order of its own: the file puts each key right before its subkeys, and a
    // key's subkeys before a sibling whose name only continues the key's name.
    RegSnapshot snapshot;
    snapshot[L"HKEY_CLASSES_ROOT\\Sample.2"];
    snapshot[L"HKEY_CLASSES_ROOT\\Sample\\CLSID"] = {{L"", kRegSz, Units(L"{0C3E}\0"sv)}};
    snapshot[L"HKEY_CLASSES_ROOT\\Sample"] = {{L"", kRegSz, Units(L"Sample\0"sv)}};
    snapshot[server + L"\\InprocServer32"] = {
        {L"", kRegExpandSz, Units(L"%SystemRoot%\\System32\\sample.dll\0"sv)},
        {L"ThreadingModel", kRegSz, Units(L"Both\0"sv)}};
    snapshot[server] = {{L"", kRegSz, Units(L"Sample \"quoted\" C:\\dir\\\0"sv)},
                        {L"Flags", kRegDword, "\xab\x12\0\0"s},
                        {L"Say \"hi\"\\", kRegMultiSz, Units(L"a\0b\0\0"sv)},
                        {L"Cut", kRegSz, Units(L"ab")},           // no terminator: not text
                        {L"Lines", kRegSz, Units(L"a\r\n\0"sv)},  // a line break: not text
                        {L"Short", kRegDword, "\x01\x02\x03"},
                        {L"Big", kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"},
                        {L"Nothing", kRegNone, ""},
                        {L"Odd", 0x20000, "\xff"},
                        {L"Blob", kRegBinary, Numbered(30)}};
    snapshot[L"HKEY_CLASSES_ROOT\\CLSID"];

    const RegFileText file = WriteRegFile(snapshot);
    EXPECT_TRUE(file.unwritten.empty());
    EXPECT_EQ(
        file.text,
        L"Windows Registry Editor Version 5.00\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\CLSID]\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\CLSID\\{0C3E2B6A-1D5F-4A7B-9E8C-2F6D4B1A3C5E}]\r\n"
        L"@=\"Sample \\\"quoted\\\" C:\\\\dir\\\\\"\r\n"
        L"\"Flags\"=dword:000012ab\r\n"
        L"\"Say \\\"hi\\\"\\\\\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        L"\"Cut\"=hex(1):61,00,62,00\r\n"
        L"\"Lines\"=hex(1):61,00,0d,00,0a,00,00,00\r\n"
        L"\"Short\"=hex(4):01,02,03\r\n"
        L"\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
        L"\"Nothing\"=hex(0):\r\n"
        L"\"Odd\"=hex(20000):ff\r\n"
        // Continued once the line reaches 77 characters, counted from the name.
        L"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        L"  16,17,18,19,1a,1b,1c,1d\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\CLSID\\{0C3E2B6A-1D5F-4A7B-9E8C-2F6D4B1A3C5E}\\InprocServer32]\r\n"
        L"@=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\\r\n"
        L"  00,5c,00,53,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,73,00,61,00,\\\r\n"
        L"  6d,00,70,00,6c,00,65,00,2e,00,64,00,6c,00,6c,00,00,00\r\n"
        L"\"ThreadingModel\"=\"Both\"\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\Sample]\r\n"
        L"@=\"Sample\"\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\Sample\\CLSID]\r\n"
        L"@=\"{0C3E}\"\r\n"
        L"\r\n"
        L"[HKEY_CLASSES_ROOT\\Sample.2]\r\n"
        L"\r\n");

    // UTF-16 LE after a byte order mark.
    EXPECT_EQ(RegFileBytes(L"[\x4e2d]\r\n"), "\xff\xfe[\0\x2d\x4e]\0\r\0\n\0"s);
}

TEST(RegFile, LeavesOutAndListsWhatNoLineCanName) {
    RegSnapshot snapshot;
    for (const std::wstring_view path :
         {L"HKEY_CURRENT_USER\\a\r\nb"sv, L"HKEY_CURRENT_USER\\a\0b"sv,
          L"HKEY_CURRENT_USER\\a\\\\b"sv, L"HKEY_CURRENT_USER\\"sv, L"HKCU\\a"sv,
          L"-HKEY_CURRENT_USER\\a"sv, L"hkey_current_user\\a"sv}) {
        snapshot[std::wstring(path)] = {{L"v", kRegSz, Units(L"x\0"sv)}};
    }
    snapshot[L"HKEY_CURRENT_USER"] = {{L"line\nbreak", kRegSz, Units(L"x\0"sv)},
                                      {L"kept", kRegSz, Units(L"x\0"sv)},
                                      {std::wstring(L"zero\0"sv), kRegSz, Units(L"x\0"sv)}};

    const RegFileText file = WriteRegFile(snapshot);
    EXPECT_EQ(file.text,
              L"Windows Registry Editor Version 5.00\r\n\r\n"
              L"[HKEY_CURRENT_USER]\r\n\"kept\"=\"x\"\r\n\r\n");
    const std::vector<UnwrittenName> expected = {
        {L"-HKEY_CURRENT_USER\\a", std::nullopt},
        {L"HKCU\\a", std::nullopt},
        {L"HKEY_CURRENT_USER", L"line\nbreak"},
        {L"HKEY_CURRENT_USER", std::wstring(L"zero\0"sv)},
        {L"HKEY_CURRENT_USER\\", std::nullopt},
        {L"HKEY_CURRENT_USER\\a\\\\b", std::nullopt},
        {std::wstring(L"HKEY_CURRENT_USER\\a\0b"sv), std::nullopt},
        {L"HKEY_CURRENT_USER\\a\r\nb", std::nullopt},
        {L"hkey_current_user\\a", std::nullopt}};
    EXPECT_EQ(file.unwritten, expected);
}

// What regedit and people write beyond the writer's own forms, and what no snapshot can hold.
TEST(RegFile, ReadsRegeditsFormsAndRefusesTheRest) {
    const auto read = [](std::wstring_view text) { return ReadRegFile(RegFileBytes(text)); };
    const auto parsed = read(
        L"Windows Registry Editor Version 5.00\n\n"
        L"; a comment\n"
        L"[HKEY_CURRENT_USER\\a]b]\n"
        L"\"\"=dword:1\n"
        L"\"t\"=hex(7):41,\\\n"
        L"\t  00,\\\n"
        L"00,00\n"
        L"\"u\"=hex:AB\n");
    ASSERT_TRUE(parsed);
    const RegSnapshot expected = {{L"HKEY_CURRENT_USER\\a]b",
                                   {{L"", kRegDword, "\x01\0\0\0"s},
                                    {L"t", kRegMultiSz, "\x41\0\0\0"s},
                                    {L"u", kRegBinary, "\xab"}}}};
    EXPECT_EQ(*parsed, expected);

    constexpr std::wstring_view kHeader = L"Windows Registry Editor Version 5.00\r\n";
    for (const std::wstring_view body :
         {L"\"v\"=\"x\"\r\n"sv,              // a value before any key
          L"[-HKEY_CURRENT_USER\\a]\r\n"sv,  // a deletion
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=-\r\n"sv,
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=hex:01,\r\n"sv,  // a comma that no byte follows
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=hex:01,\\\r\n"sv,
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=hex:1\r\n"sv,
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=\"a\\n\"\r\n"sv,  // an escape regedit does not know
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=\"x\"y\r\n"sv,
          L"[HKEY_CURRENT_USER\\a]\r\n\"v\"=dword:123456789\r\n"sv}) {
        EXPECT_FALSE(read(std::wstring(kHeader) + std::wstring(body))) << std::wstring(body);
    }
    EXPECT_TRUE(read(kHeader));
    EXPECT_FALSE(read(L"REGEDIT4\r\n"));
    EXPECT_FALSE(ReadRegFile("Windows Registry Editor Version 5.00\r\n"));  // no byte order mark
}

}  // namespace
}  // namespace tolvar
