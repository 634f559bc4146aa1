#include "command_line.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

std::wstring Line(std::wstring_view path, std::wstring_view title, std::int16_t index) {
    return BuildRegisterCommand(path, title, index).commandLine;
}

TEST(CommandLine, KindComesFromTheTitlesLastThreeLettersInAnyCase) {
    for (auto title : {L"a.dll", L"A.DLL", L"x.DlL", L"dll", L"foodll", L"a.ocx", L"B.OCX",
                       L"filter.ax", L"F.AX", L".ax"}) {
        EXPECT_EQ(KindOfTitle(title), TargetKind::Dll) << title;
    }
    for (auto title :
         {L"", L"d", L"ll", L"ax", L"a.exe", L"a.dll ", L"a.dl", L"a.dll.bak", L"relax", L"a.oc"}) {
        EXPECT_EQ(KindOfTitle(title), TargetKind::Other) << title;
    }
}

TEST(CommandLine, FourFormsJoinThePathWithNothingBetween) {
    EXPECT_EQ(Line(L"C:\\x\\a.dll", L"a.dll", 0), L"Regsvr32 C:\\x\\a.dll");
    EXPECT_EQ(Line(L"C:\\x\\a.dll", L"a.dll", 1), L"Regsvr32 /u C:\\x\\a.dll");
    EXPECT_EQ(Line(L"C:\\x\\s.exe", L"s.exe", 0), L"C:\\x\\s.exe /Regserver");
    EXPECT_EQ(Line(L"C:\\x\\s.exe", L"s.exe", 1), L"C:\\x\\s.exe /Unregserver");
    // Any index other than 0 unregisters.
    EXPECT_EQ(Line(L"p", L"a.dll", -1), L"Regsvr32 /u p");
    EXPECT_EQ(Line(L"p", L"a.dll", 7), L"Regsvr32 /u p");
    // The empty title is an other target; the path goes in untrimmed.
    EXPECT_EQ(Line(L" p ", L"", 0), L"\" p \" /Regserver");
    EXPECT_EQ(Line(L"", L"", 0), L" /Regserver");
    // Through the shell, the program goes apart from its arguments.
    EXPECT_EQ(BuildRegisterCommand(L"C:\\a b\\a.dll", L"a.dll", 1, true).parameters,
              L"/u /s \"C:\\a b\\a.dll\"");
    EXPECT_EQ(BuildRegisterCommand(L"C:\\x\\s.exe", L"s.exe", 0).parameters, L"/Regserver");
}

TEST(CommandLine, TheTitleOfAPathFollowsItsLastSeparator) {
    EXPECT_EQ(TitleOfPath(L"C:\\x\\a.dll"), L"a.dll");
    EXPECT_EQ(TitleOfPath(L"C:/x\\y/b.ocx"), L"b.ocx");
    EXPECT_EQ(TitleOfPath(L"plain.exe"), L"plain.exe");
    EXPECT_EQ(TitleOfPath(L"C:\\dir\\"), L"");
}

TEST(CommandLine, APastedPathLosesItsBlanksLineEndsAndOnePairOfQuotes) {
    EXPECT_EQ(CleanTypedPath(L"\t\"C:\\a b\\x.dll\"\r\n"), L"C:\\a b\\x.dll");
    EXPECT_EQ(CleanTypedPath(L"C:\\x.dll \n"), L"C:\\x.dll");
    EXPECT_EQ(CleanTypedPath(L"\"\"C:\\x.dll\"\""), L"\"C:\\x.dll\"");
    EXPECT_EQ(CleanTypedPath(L"C:\\with \"quotes\" inside.exe"), L"C:\\with \"quotes\" inside.exe");
    EXPECT_EQ(CleanTypedPath(L"\"C:\\open.dll"), L"\"C:\\open.dll");
    EXPECT_EQ(CleanTypedPath(L" \r\n "), L"");
    EXPECT_EQ(CleanTypedPath(L"\"\""), L"");
    EXPECT_EQ(CleanTypedPath(L"\""), L"\"");
}

TEST(CommandLine, PathsWithBlanksAreQuotedOnce) {
    EXPECT_EQ(Line(L"C:\\Program Files\\a.dll", L"a.dll", 0),
              L"Regsvr32 \"C:\\Program Files\\a.dll\"");
    EXPECT_EQ(Line(L"C:\\Program Files\\s.exe", L"s.exe", 1),
              L"\"C:\\Program Files\\s.exe\" /Unregserver");
    EXPECT_EQ(Line(L"C:\\a\tb.dll", L"b.dll", 0), L"Regsvr32 \"C:\\a\tb.dll\"");
    // Already enclosed: left alone.
    EXPECT_EQ(Line(L"\"C:\\Program Files\\a.dll\"", L"a.dll", 0),
              L"Regsvr32 \"C:\\Program Files\\a.dll\"");
    // A lone quote is not an enclosure.
    EXPECT_EQ(QuotedPath(L"\""), L"\"");
    EXPECT_EQ(QuotedPath(L"\" x"), L"\"\" x\"");
    EXPECT_EQ(QuotedPath(L"C:\\nospace.dll"), L"C:\\nospace.dll");
}

}  // namespace
}  // namespace tolvar
