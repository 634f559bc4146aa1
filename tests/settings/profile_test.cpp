#include <windows.h>

#include "ansi.h"
#include "clsProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tolvar {
namespace {

constexpr UINT kWesternCodePage = 1252;

std::wstring TempDir() {
    char buf[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, buf);
    return FromAnsi(buf);
}

class Profile : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_file = TempDir() + L"tolvar-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 FromAnsi(info->name()) + L".ini";
        m_profile.FileName(m_file);
    }
    void TearDown() override { DeleteFileA(ToAnsi(m_file).c_str()); }

    // Writes the file itself, bypassing the profile functions.
    void WriteFile(const std::string& content) {
        std::ofstream(ToAnsi(m_file), std::ios::binary) << content;
    }
    std::string ReadFile() {
        std::ifstream in(ToAnsi(m_file), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::wstring> Sections() {
        const TaggedValue names = m_profile.GetSectNames();
        EXPECT_EQ(names.Kind(), ValueKind::TextArray);
        return *names.Get<std::vector<std::wstring>>();
    }

    std::wstring m_file;
    clsProfile m_profile;
};

// This program copied under another name into a folder the ANSI code page cannot name: run there,
// its default profile file is the one beside it, named after it.
constexpr wchar_t kWriteDefaultProfile[] = L"TOLVAR_TEST_WRITE_DEFAULT_PROFILE";

TEST(ProfileDefault, BesideTheExecutableAndNamedAfterIt) {
    if (GetEnvironmentVariableW(kWriteDefaultProfile, nullptr, 0) != 0) {
        EXPECT_TRUE(clsProfile().WriteString(L"S", L"K", L"v"));
        return;
    }
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring dir = TempDir() + L"tolvar-" + std::to_wstring(GetCurrentProcessId()) +
                             L"-\x0418\x0432\x0430\x043D \x5DE5\x5177";
    if (!CreateDirectoryW(dir.c_str(), nullptr)) {
        GTEST_SKIP() << "this Wine cannot make a folder named outside the ANSI code page; run "
                        "under a UTF-8 locale (LC_ALL=C.UTF-8)";
    }
    const std::wstring copy = dir + L"\\\x043F\x0440\x043E\x0444\x0438\x043B\x044C.exe";
    const std::wstring expected = dir + L"\\\x043F\x0440\x043E\x0444\x0438\x043B\x044C.ini";
    ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), TRUE));
    std::wstring line = L"\"" + copy + L"\" --gtest_filter=ProfileDefault.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    SetEnvironmentVariableW(kWriteDefaultProfile, L"1");
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &child);
    SetEnvironmentVariableW(kWriteDefaultProfile, nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(code, 0u);
    std::ifstream written(std::filesystem::path(expected), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "[S]\r\nK=v\r\n");
    written.close();
    DeleteFileW(expected.c_str());
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(dir.c_str());
}

TEST_F(Profile, MissingKeysGiveTheDefaultButEmptyValuesDoNot) {
    WriteFile("[S]\r\nEmpty=\r\nNumber=42\r\n");
    EXPECT_EQ(m_profile.GetString(L"S", L"Missing"), L"");
    EXPECT_EQ(m_profile.GetString(L"S", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(m_profile.GetString(L"S", L"Empty", L"dflt"), L"");
    EXPECT_EQ(m_profile.GetInt(L"S", L"Missing"), 0);
    EXPECT_EQ(m_profile.GetInt(L"S", L"Missing", -7), -7);
    EXPECT_EQ(m_profile.GetInt(L"S", L"Number", -7), 42);
}

TEST_F(Profile, SectionNamesInFileOrder) {
    EXPECT_TRUE(Sections().empty());  // no file
    WriteFile("; nothing but a comment\r\n");
    EXPECT_TRUE(Sections().empty());
    WriteFile("[B]\r\nk=1\r\n[A]\r\n[C:\\x\\y.dll]\r\nFileName=y.dll\r\n");
    EXPECT_EQ(Sections(), (std::vector<std::wstring>{L"B", L"A", L"C:\\x\\y.dll"}));
}

TEST_F(Profile, DeletionsRemoveRatherThanEmpty) {
    ASSERT_TRUE(m_profile.WriteString(L"S", L"K", L"v"));
    ASSERT_TRUE(m_profile.WriteString(L"S", L"L", L"w"));
    ASSERT_TRUE(m_profile.WriteString(L"T", L"K", L"x"));
    ASSERT_TRUE(m_profile.DeleteKey(L"S", L"K"));
    EXPECT_EQ(m_profile.GetString(L"S", L"K", L"gone"), L"gone");
    EXPECT_EQ(m_profile.GetString(L"S", L"L"), L"w");
    ASSERT_TRUE(m_profile.DeleteSection(L"S"));
    EXPECT_EQ(Sections(), std::vector<std::wstring>{L"T"});
    m_profile.Flush();
    EXPECT_EQ(ReadFile().find("L="), std::string::npos);
}

// The wide calls must read an ANSI file exactly as the ANSI calls do, and a UTF-16 file whole.
TEST_F(Profile, AnsiFilesReadAsByTheAnsiCallsAndUtf16FilesWhole) {
    using Opt = clsProfile::OptText;
    // C:\Programmy\a.dll in Cyrillic and D:\gongju\b.ocx in Chinese, beyond any one code page.
    const std::wstring cyrillic =
        L"C:\\\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b\\a.dll";
    const std::wstring cjk = L"D:\\\u5de5\u5177\\b.ocx";
    const std::wstring utf16 = L"\ufeff[" + cyrillic + L"]\r\nFileName=a.dll\r\n[" + cjk +
                               L"]\r\nFileName=\u5de5\u5177\r\n";
    WriteFile(
        std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * sizeof(wchar_t)));
    EXPECT_EQ(Sections(), (std::vector<std::wstring>{cyrillic, cjk}));
    EXPECT_EQ(m_profile.GetString(cjk, L"FileName"), L"\u5de5\u5177");

    // Under a double-byte code page these bytes read as other texts, which the ANSI calls cannot
    // give back unchanged.
    if (GetACP() != kWesternCodePage) GTEST_SKIP() << "the ANSI file is code page 1252 text";
    const std::wstring cafe = L"Caf\u00e9 Menu";
    // E9, E8 and FB are letters of code page 1252; blanks, quotes and empty values on purpose.
    WriteFile(
        "[Caf\xe9 Menu]\r\n  Plat du jour = Cr\xe8me br\xfbl\xe9\x65  \r\nPrice=  -12 \r\n"
        "Quoted=\"  a b \"\r\nEmpty=\r\nHex=0x1F\r\nWord=\xe9t\xe9\r\n"
        "[  Spaced Section  ]\r\nk=1\r\n[C:\\Program Files\\Caf\xe9\\x.dll]\r\nFileName=x.dll\r\n");
    const AnsiArg file(m_file);
    std::string buffer(clsProfile::kTextBufferChars, '\0');
    const auto ansiRead = [&](const Opt& section, const Opt& key, const Opt& defVal) {
        std::fill(buffer.begin(), buffer.end(), '\0');
        return GetPrivateProfileStringA(AnsiArg(section).get(), AnsiArg(key).get(),
                                        AnsiArg(defVal).get(), buffer.data(),
                                        clsProfile::kTextBufferChars - 1, file.get());
    };

    const std::tuple<Opt, Opt, Opt> reads[] = {
        {cafe, L"Plat du jour", std::nullopt},
        {L"caf\u00c9 MENU", L"PLAT DU JOUR", std::nullopt},
        {L" Caf\u00e9 Menu ", L" Plat du jour ", std::nullopt},
        {cafe, L"Quoted", std::nullopt},
        {cafe, L"Empty", L"dflt"},
        {cafe, L"Missing", L"d\u00e9faut  "},
        {cafe, std::nullopt, std::nullopt},
        {cafe, L"", L"dflt"},
        {std::nullopt, L"k", L"dflt"},
        {L"", L"k", L"dflt"},
        {L"Spaced Section", L"k", L"dflt"},
        {L"C:\\Program Files\\Caf\u00e9\\x.dll", L"FileName", std::nullopt},
    };
    for (const auto& [section, key, defVal] : reads) {
        ansiRead(section, key, defVal);
        EXPECT_EQ(m_profile.GetString(section, key, defVal), FromAnsi(buffer.c_str()))
            << section.value_or(L"(absent)") << L" / " << key.value_or(L"(absent)");
    }
    for (const wchar_t* key : {L"Price", L"Hex", L"Empty", L"Word", L"Missing", L"Plat du jour"}) {
        EXPECT_EQ(m_profile.GetInt(cafe, key, -3),
                  static_cast<std::int32_t>(GetPrivateProfileIntA(
                      ToAnsi(cafe).c_str(), ToAnsi(key).c_str(), -3, file.get())))
            << key;
    }
    std::vector<std::wstring> ansiNames;
    const DWORD count = ansiRead(std::nullopt, std::nullopt, std::nullopt);
    for (std::size_t at = 0; at < count;) {
        const std::string_view name(buffer.c_str() + at);
        ansiNames.push_back(FromAnsi(name));
        at += name.size() + 1;
    }
    EXPECT_EQ(Sections(), ansiNames);
}

TEST_F(Profile, LongValueIsCutToTheBuffer) {
    WriteFile("[S]\r\nK=" + std::string(250000, 'x') + "\r\n");
    const std::wstring value = m_profile.GetString(L"S", L"K");
    EXPECT_EQ(value, std::wstring(199998, L'x'));
}

TEST_F(Profile, TextsTooLongForTheSystemFailQuietly) {
    const std::wstring longest(clsProfile::kMaxTextBytes, L'n'), tooLong(40000, L'n');
    EXPECT_TRUE(m_profile.WriteString(longest, L"K", L"v"));
    EXPECT_EQ(m_profile.GetString(longest, L"K"), L"v");
    EXPECT_FALSE(m_profile.WriteString(tooLong, L"K", L"v"));
    EXPECT_FALSE(m_profile.WriteString(L"S", L"K", tooLong));
    EXPECT_FALSE(m_profile.DeleteSection(tooLong));
    EXPECT_EQ(m_profile.GetString(tooLong, L"K", L"dflt"), L"");
    EXPECT_EQ(m_profile.GetInt(tooLong, L"K", 7), 7);
    EXPECT_EQ(Sections(), std::vector<std::wstring>{longest});
}

TEST_F(Profile, ReleaseFlushesToDisk) {
    {
        clsProfile profile;
        profile.FileName(m_file);
        ASSERT_TRUE(profile.WriteString(L"C:\\a b\\x.dll", L"FileName", L"x.dll"));
    }
    const std::string content = ReadFile();
    EXPECT_NE(content.find("[C:\\a b\\x.dll]"), std::string::npos);
    EXPECT_NE(content.find("FileName=x.dll"), std::string::npos);
}

}  // namespace
}  // namespace tolvar
