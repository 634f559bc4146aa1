#include <windows.h>

#include "ansi.h"
#include "clsProfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tolvar {
namespace {

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

TEST(ProfileDefault, NamedAfterTheExecutable) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string expected = exe;
    expected.replace(expected.rfind('.'), std::string::npos, ".ini");
    EXPECT_EQ(clsProfile().FileName(), FromAnsi(expected));
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
