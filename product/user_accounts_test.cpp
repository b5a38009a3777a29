#include "product/user_accounts.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <set>
#include <string>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/engine_test_support.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "product/user_accounts_test_support.h"

namespace uinst {
namespace {

using test::TTempFolder;
using test::TTestAccounts;

TEST(UserAccounts, ProfileListWithOwnAndDefaultShellFolders) {
    TTempFolder temp;
    TTestAccounts accounts(temp.Path());
    const String root = temp.Path();
    for (const char16_t* name : {u"Alice", u"Bob", u"Ghost", u"Current", u"Odd", u"Carol"})
        CreateDirectoryW(WidePtr(root + name), nullptr);

    // Registry order: by name. The profile folder of Alice comes through a variable of its own.
    SetEnvironmentVariableW(L"UINST_TEST_PROFILES", WidePtr(ExcludeTrailingPathDelimiter(root)));
    accounts.AddProfile(u"S-1-5-21-7-1001", u"%UINST_TEST_PROFILES%\\Alice", /*expandable=*/true);
    accounts.SetAppData(u"S-1-5-21-7-1001", u"%UserProfile%\\Roaming");     // logged on: own key, any case
    accounts.AddProfile(u"S-1-5-21-7-1002", root + u"Bob\\");               // logged off: the defaults
    accounts.AddProfile(u"S-1-5-21-7-1003.BAK", root + u"Ghost");           // left by a failed logon
    accounts.AddProfile(u"S-1-5-21-7-1004", UpperCase(root + u"Current"));  // the current user again
    accounts.AddProfile(u"S-1-5-21-7-1005", root + u"Missing");
    accounts.AddRawProfileKey(u"S-1-5-21-7-1006");  // no ProfileImagePath
    accounts.AddProfile(u"S-1-5-21-7-1007", root + u"Odd");
    accounts.SetAppData(u"S-1-5-21-7-1007", u"%HOMEDRIVE%%HOMEPATH%\\AppData");  // names no folder by itself
    accounts.AddDwordProfile(u"S-1-5-21-7-1008");                                // not a string
    accounts.AddProfile(u"S-1-5-21-7-1009", root + u"Carol");
    accounts.SetAppData(u"S-1-5-21-7-1009", u"D:\\Roaming\\%USERPROFILE%-%userprofile%\\%OTHER%");
    accounts.SetAppData(u".DEFAULT", u"%USERPROFILE%\\AppData\\Roaming");

    const auto list = TORLUserAccounts::Populate();
    ASSERT_EQ(list->Count(), 4);
    EXPECT_EQ(list->Items(0).UserName, u"Current");
    EXPECT_EQ(list->Items(0).ProfilePath, root + u"Current\\");
    EXPECT_EQ(list->Items(1).UserName, u"Alice");
    EXPECT_EQ(list->Items(1).ProfilePath, root + u"Alice\\");
    EXPECT_EQ(list->Items(1).AppDataPath, root + u"Alice\\Roaming\\");
    EXPECT_EQ(list->Items(2).UserName, u"Bob");
    EXPECT_EQ(list->Items(2).ProfilePath, root + u"Bob\\");
    EXPECT_EQ(list->Items(2).AppDataPath, root + u"Bob\\AppData\\Roaming\\");
    // Only %USERPROFILE% is replaced; other variables stay as they are.
    const String carol = root + u"Carol";
    EXPECT_EQ(list->Items(3).AppDataPath, u"D:\\Roaming\\" + carol + u"-" + carol + u"\\%OTHER%\\");
    SetEnvironmentVariableW(L"UINST_TEST_PROFILES", nullptr);
}

TEST(UserAccounts, AnAccountWithoutShellFoldersIsLeftOut) {
    TTempFolder temp;
    TTestAccounts accounts(temp.Path());
    CreateDirectoryW(WidePtr(temp.Path() + u"Dave"), nullptr);
    accounts.AddProfile(u"S-1-5-21-7-1010", temp.Path() + u"Dave");
    // Neither the account's own key nor ".DEFAULT" exists.
    auto list = TORLUserAccounts::Populate();
    EXPECT_EQ(list->Count(), 1);
    // ".DEFAULT" without the value: left out too.
    accounts.SetAppData(u".DEFAULT", u"");
    list = TORLUserAccounts::Populate();
    EXPECT_EQ(list->Count(), 1);
}

TEST(UserAccounts, WithoutProfileListOnlyTheCurrentUser) {
    TTempFolder temp;
    TTestAccounts accounts(temp.Path());
    UserAccountsSource().ProfileListKey += u"\\Missing";
    const auto list = TORLUserAccounts::Populate();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Items(0).UserName, u"Current");
}

// The current user's folders come from the system; when it cannot name them the account is left
// out rather than given folders relative to wherever the program runs.
String Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD n = GetEnvironmentVariableW(name, value, 32768);
    return n > 0 && n < 32768 ? FromWide(value, n) : String();
}

TEST(UserAccounts, CurrentUserFromTheSystem) {
    const auto account = TORLUserAccounts::CurrentUserAccount();
    ASSERT_NE(account, nullptr);
    // Another road to the same answers: the variables the system sets for the user's session.
    const String profile = Environment(L"USERPROFILE"), appData = Environment(L"APPDATA"),
                 user = Environment(L"USERNAME");
    ASSERT_FALSE(profile.empty() || appData.empty() || user.empty());
    EXPECT_TRUE(SameText(account->ProfilePath, IncludeTrailingPathDelimiter(profile)))
        << StringToUtf8(account->ProfilePath);
    EXPECT_TRUE(SameText(account->AppDataPath, IncludeTrailingPathDelimiter(appData)))
        << StringToUtf8(account->AppDataPath);
    EXPECT_TRUE(SameText(account->UserName, user)) << StringToUtf8(account->UserName);

    // On this machine: the current user first, no profile folder twice, every folder absolute.
    const auto list = TORLUserAccounts::Populate();
    ASSERT_GE(list->Count(), 1);
    EXPECT_EQ(list->Items(0).ProfilePath, account->ProfilePath);
    std::set<String> seen;
    for (const auto& item : *list) {
        EXPECT_TRUE(seen.insert(UpperCase(item->ProfilePath)).second) << StringToUtf8(item->ProfilePath);
        EXPECT_TRUE(IsAbsoluteFolderPath(item->AppDataPath)) << StringToUtf8(item->AppDataPath);
    }
}

TEST(UserAccounts, ListDropsEqualProfilesIgnoringCase) {
    TORLUserAccountInfoList list;
    auto make = [](const char16_t* name, const char16_t* profile) {
        auto a = std::make_unique<TORLUserAccountInfo>();
        a->UserName = name;
        a->ProfilePath = profile;
        return a;
    };
    EXPECT_TRUE(list.Add(make(u"a", u"C:\\Users\\A\\")));
    EXPECT_FALSE(list.Add(make(u"b", u"c:\\users\\a\\")));
    EXPECT_TRUE(list.Add(make(u"c", u"C:\\Users\\AB\\")));
    EXPECT_FALSE(list.Add(nullptr));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).UserName, u"a");
}

TEST(UserAccounts, AbsolutePaths) {
    EXPECT_TRUE(IsAbsoluteFolderPath(u"C:\\"));
    EXPECT_TRUE(IsAbsoluteFolderPath(u"d:/x"));
    EXPECT_TRUE(IsAbsoluteFolderPath(u"\\\\server\\share\\"));
    EXPECT_FALSE(IsAbsoluteFolderPath(u""));
    EXPECT_FALSE(IsAbsoluteFolderPath(u"C:"));
    EXPECT_FALSE(IsAbsoluteFolderPath(u"C:x"));
    EXPECT_FALSE(IsAbsoluteFolderPath(u"\\x"));
    EXPECT_FALSE(IsAbsoluteFolderPath(u"%APPDATA%\\x"));
    EXPECT_FALSE(IsAbsoluteFolderPath(u"1:\\x"));
}

}  // namespace
}  // namespace uinst
