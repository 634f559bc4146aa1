// The registration host's command line: the two forms it takes, and nothing near them.
#include <gtest/gtest.h>

#include "host_command.h"

namespace tolvar::host {
namespace {

using Args = std::vector<std::wstring_view>;

TEST(HostCommandTest, TakesTheTwoFormsAndWritesThemBack) {
    const auto user = ParseArguments({L"/user", L"/register", L"C:\\a server\\x.dll"});
    ASSERT_TRUE(user);
    EXPECT_EQ(user->redirect, Redirect::User);
    EXPECT_TRUE(user->registering);
    EXPECT_EQ(user->file, L"C:\\a server\\x.dll");
    EXPECT_EQ(BuildArguments(*user), L"/user /register \"C:\\a server\\x.dll\"");

    const auto map = ParseArguments(
        {L"/map", L"Software\\Tolvar\\Export 1", L"/unregister", L"\\\\host\\s\\y.ocx"});
    ASSERT_TRUE(map);
    EXPECT_EQ(map->redirect, Redirect::Map);
    EXPECT_EQ(map->mapKey, L"Software\\Tolvar\\Export 1");
    EXPECT_FALSE(map->registering);
    EXPECT_EQ(map->file, L"\\\\host\\s\\y.ocx");
    EXPECT_EQ(BuildArguments(*map),
              L"/map \"Software\\Tolvar\\Export 1\" /unregister \"\\\\host\\s\\y.ocx\"");
}

TEST(HostCommandTest, RefusesEverythingElse) {
    const std::wstring_view file = L"C:\\dir\\x.dll";
    const Args refused[] = {
        {},
        {L"/user", L"/register"},
        {L"/user", L"/register", file, file},
        {L"/USER", L"/register", file},
        {L"/user", L"/u", file},
        {L"/user", L"/register", L"x.dll"},         // searched for
        {L"/user", L"/register", L"C:x.dll"},       // relative to a drive's current folder
        {L"/user", L"/register", L"C:/dir/x.dll"},  // the loader wants backslashes
        {L"/user", L"/register", L"C:\\dir\\"},     // a folder
        {L"/map", L"/register", file},              // no key
        {L"/map", L"", L"/register", file},
        {L"/map", L"\\Software\\T", L"/register", file},
        {L"/map", L"Software\\T\\", L"/register", file},
        {L"/map", L"Software\\\\T", L"/register", file},
        {L"/user", L"Software\\T", L"/register", file},  // a key with /user
    };
    for (const Args& args : refused) {
        std::wstring line;
        for (const std::wstring_view arg : args) line.append(arg).append(L" ");
        EXPECT_FALSE(ParseArguments(args)) << std::string(line.begin(), line.end());
    }
}

}  // namespace
}  // namespace tolvar::host
