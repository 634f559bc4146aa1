#include "target_list.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

using Paths = std::vector<std::wstring>;

TEST(TargetList, TheBoxHoldsOnePathOrSeveralInQuotationMarks) {
    EXPECT_EQ(ParseTargets(L"\"C:\\a\\x.dll\" \"C:\\b c\\y.ocx\""),
              (Paths{L"C:\\a\\x.dll", L"C:\\b c\\y.ocx"}));
    EXPECT_EQ(ParseTargets(L" \"C:\\a.dll\"\t\"C:\\b.dll\" \r\n"),
              (Paths{L"C:\\a.dll", L"C:\\b.dll"}));
    EXPECT_EQ(ParseTargets(L"\"C:\\a.dll\" \"C:\\unterminated.dll"),
              (Paths{L"C:\\a.dll", L"C:\\unterminated.dll"}));
    // One path stays as a typed or pasted path is taken.
    EXPECT_EQ(ParseTargets(L"  \"C:\\Program Files\\x.dll\"\r\n"),
              (Paths{L"C:\\Program Files\\x.dll"}));
    EXPECT_EQ(ParseTargets(L"C:\\with \"quotes\" inside.exe"),
              (Paths{L"C:\\with \"quotes\" inside.exe"}));
    EXPECT_EQ(ParseTargets(L"\"C:\\a.dll\"x \"C:\\b.dll\""), (Paths{L"C:\\a.dll\"x \"C:\\b.dll"}));
    EXPECT_EQ(ParseTargets(L" \"\" "), Paths{});
    EXPECT_EQ(ParseTargets(L""), Paths{});
    // What the box shows of them reads back the same.
    const Paths several{L"C:\\a b\\x.dll", L"y.ocx"};
    EXPECT_EQ(ParseTargets(JoinTargets(several)), several);
    EXPECT_EQ(JoinTargets({L"C:\\a b\\x.dll"}), L"C:\\a b\\x.dll");
}

TEST(TargetList, TheDialogsSelectionIsAFolderAndItsNames) {
    using namespace std::string_view_literals;
    EXPECT_EQ(ParseDialogSelection(L"C:\\d\0a.dll\0b c.ocx\0\0"sv),
              (Paths{L"C:\\d\\a.dll", L"C:\\d\\b c.ocx"}));
    EXPECT_EQ(ParseDialogSelection(L"C:\\\0a.dll\0b.dll\0\0"sv),
              (Paths{L"C:\\a.dll", L"C:\\b.dll"}));
    EXPECT_EQ(ParseDialogSelection(L"C:\\d\\one.dll\0\0"sv), (Paths{L"C:\\d\\one.dll"}));
    EXPECT_EQ(ParseDialogSelection(L"\0\0"sv), Paths{});
}

TEST(TargetList, TheCommandLineTakesOneSwitchFirstAndFiles) {
    const auto parse = [](Paths arguments) { return ParseArguments(arguments); };
    using Action = CommandLineRequest::Action;
    CommandLineRequest request = parse({L"/REGISTER", L"a.dll", L"b.dll"});
    EXPECT_EQ(request.action, Action::Register);
    EXPECT_EQ(request.files, (Paths{L"a.dll", L"b.dll"}));
    EXPECT_EQ(parse({L"-unregister", L"a.dll"}).action, Action::Unregister);
    request = parse({L"a.dll", L"-x.dll"});
    EXPECT_TRUE(request.valid);
    EXPECT_EQ(request.action, Action::None);
    EXPECT_EQ(request.files, (Paths{L"a.dll", L"-x.dll"}));
    EXPECT_FALSE(parse({L"/register"}).valid) << "a switch without files";
    request = parse({L"/regsiter", L"a.dll"});
    EXPECT_FALSE(request.valid);
    EXPECT_EQ(request.badSwitch, L"/regsiter");
    EXPECT_FALSE(parse({L"a.dll", L"/register"}).valid) << "the switch comes first";
    EXPECT_TRUE(parse({}).valid);
    EXPECT_FALSE(HasArguments(L"\"C:\\Program Files\\Tolvar.exe\"  "));
    EXPECT_FALSE(HasArguments(L"Tolvar.exe"));
    EXPECT_TRUE(HasArguments(L"\"C:\\Program Files\\Tolvar.exe\" a.dll"));
    EXPECT_TRUE(HasArguments(L"Tolvar /register"));
}

TEST(TargetList, UserAndExportNameTheWay) {
    const auto parse = [](Paths arguments) { return ParseArguments(arguments); };
    CommandLineRequest request = parse({L"/user", L"/Unregister", L"a.dll"});
    EXPECT_TRUE(request.valid);
    EXPECT_EQ(request.action, CommandLineRequest::Action::Unregister);
    EXPECT_EQ(request.way, RegisterWay::ForMeOnly);
    request = parse({L"/export", L"out.reg", L"a.dll", L"b.ocx"});
    EXPECT_EQ(request.way, RegisterWay::ToRegFile);
    EXPECT_EQ(request.regFile, L"out.reg");
    EXPECT_EQ(request.files, (Paths{L"a.dll", L"b.ocx"}));
    EXPECT_FALSE(parse({L"/user", L"a.dll"}).valid) << "for me only names no command";
    EXPECT_FALSE(parse({L"/export", L"out.reg", L"/unregister", L"a.dll"}).valid);
    EXPECT_FALSE(parse({L"/export", L"out.reg"}).valid) << "no files";
    EXPECT_FALSE(parse({L"/register", L"/register", L"a.dll"}).valid);
}

}  // namespace
}  // namespace tolvar
