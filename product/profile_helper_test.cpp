#include "product/profile_helper.h"

#include <gtest/gtest.h>

#include <string>

#include "base/paths.h"
#include "engine/engine_test_support.h"
#include "engine/product_info.h"
#include "platform/files.h"
#include "product/product_info_orvo.h"
#include "product/user_accounts.h"
#include "product/user_accounts_test_support.h"

namespace uinst {
namespace {

using namespace test;

void WriteVersion(const String& folder, int version) {
    const std::string text = "[System]\r\nUserMode=1\r\nVersion=" + std::to_string(version) + "\r\n";
    WriteFileBytes(folder + u"ORVO.ini", text.data(), text.size());
}

void MakeFolders(const String& path) {
    // path ends with a backslash; make each level.
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == u'\\') CreateDirectoryW(WidePtr(path.substr(0, i)), nullptr);
}

class ProfileHelper : public ::testing::Test {
protected:
    void SetUp() override {
        FDest = FTemp.Path() + u"Player\\";
        CreateDirectoryW(WidePtr(FDest), nullptr);
        FCurrentAppData = FTemp.Path() + u"Current\\AppData\\Roaming\\";
        MakeFolders(FCurrentAppData);
    }
    std::unique_ptr<TInstaller> MakeOrvoInstaller(const String& switches = {}) {
        RegisterProductORVO();
        return MakeInstaller(u"/AUTO=\"" + FDest + u"\"" + switches);  // the script's product: TestPlayer 5.03
    }
    static std::vector<String> Describe(const TInstallerProfileInfoList& list) {
        std::vector<String> lines;
        for (const auto& p : list) lines.push_back(p->AccountName + u"|" + p->SourcePath + u"|" + p->TargetPath);
        return lines;
    }

    TTempFolder FTemp;
    TTestAccounts FAccounts{FTemp.Path()};
    String FDest;
    String FCurrentAppData;
};

TEST_F(ProfileHelper, ProfileFolderByVersion) {
    auto installer = MakeOrvoInstaller();
    TORLUserAccountInfo account;
    account.AppDataPath = u"C:\\Users\\Ann\\AppData\\Roaming\\";
    EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(&account, 3999), u"C:\\Users\\Ann\\AppData\\Roaming\\ORVO3\\");
    EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(&account, 0), u"C:\\Users\\Ann\\AppData\\Roaming\\ORVO3\\");
    EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(&account, 4000),
              u"C:\\Users\\Ann\\AppData\\Roaming\\TestPlayer\\");
    EXPECT_EQ(TInstallerProfileHelper::GetTargetPath(&account), u"C:\\Users\\Ann\\AppData\\Roaming\\TestPlayer\\");
    EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(nullptr, 3900), FDest + u"Profile\\");
    EXPECT_EQ(TInstallerProfileHelper::GetSourcePath(nullptr), FDest + u"Profile\\");
    // No folder that removal could mistake for another one: relative or missing bases give none.
    for (const char16_t* base : {u"", u"Roaming\\", u"%APPDATA%\\"}) {
        account.AppDataPath = base;
        EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(&account, 5030), u"") << StringToUtf8(base);
        EXPECT_EQ(TInstallerProfileHelper::GetProfilePath(&account, 3000), u"") << StringToUtf8(base);
    }
}

TEST_F(ProfileHelper, PortableProfileOnlyWhenItsFolderExists) {
    auto installer = MakeOrvoInstaller(u" /PORTABLE");
    ASSERT_TRUE(installer->HasOption(ioPortable));
    CreateDirectoryW(WidePtr(FCurrentAppData + u"TestPlayer"), nullptr);  // users' profiles play no part
    TInstallerProfileInfoList list;
    list.Populate();
    EXPECT_EQ(list.Count(), 0);
    CreateDirectoryW(WidePtr(FDest + u"Profile"), nullptr);
    list.Populate();
    EXPECT_EQ(Describe(list), std::vector<String>{u"SingleUser|" + FDest + u"Profile\\|" + FDest + u"Profile\\"});
}

TEST_F(ProfileHelper, UpdateFromTheOlderGenerationMovesToTheProductFolder) {
    WriteVersion(FDest, 3900);
    const String bobProfile = FTemp.Path() + u"Bob\\";
    const String bobAppData = bobProfile + u"AppData\\Roaming\\";
    MakeFolders(bobAppData + u"TestPlayer\\");  // only a profile of the current generation
    FAccounts.AddProfile(u"S-1-5-21-9-1001", ExcludeTrailingPathDelimiter(bobProfile));
    FAccounts.SetAppData(u".DEFAULT", u"%USERPROFILE%\\AppData\\Roaming");
    CreateDirectoryW(WidePtr(FCurrentAppData + u"ORVO3"), nullptr);

    auto installer = MakeOrvoInstaller();
    ASSERT_EQ(installer->ProductInfo().GetInstalledVersion(), 3900);
    ASSERT_TRUE(installer->HasOption(ioUpdate));
    TInstallerProfileInfoList list;
    list.Populate();
    EXPECT_EQ(Describe(list),
              std::vector<String>{u"Current|" + FCurrentAppData + u"ORVO3\\|" + FCurrentAppData + u"TestPlayer\\"});

    // From 4000 on both folders are the one named after the product.
    WriteVersion(FDest, 4600);
    installer->SetDestPath(FDest + u".\\");
    CreateDirectoryW(WidePtr(FCurrentAppData + u"TestPlayer"), nullptr);
    TInstallerProfileInfoList current;
    current.Populate();
    EXPECT_EQ(Describe(current),
              (std::vector<String>{u"Current|" + FCurrentAppData + u"TestPlayer\\|" + FCurrentAppData + u"TestPlayer\\",
                                   u"Bob|" + bobAppData + u"TestPlayer\\|" + bobAppData + u"TestPlayer\\"}));
}

// A local "john" (C:\Users\john) and a domain "john" (C:\Users\john.CONTOSO) are both "john":
// their files must not meet under one name in the backup archive.
TEST_F(ProfileHelper, ProfilesOfTheSameAccountNameGetDistinctBackupNames) {
    WriteVersion(FDest, 5000);
    CreateDirectoryW(WidePtr(FCurrentAppData + u"TestPlayer"), nullptr);
    const String domain = FTemp.Path() + u"Domain\\Current\\";
    const String other = FTemp.Path() + u"Other\\CURRENT\\";
    for (const String& profile : {domain, other}) MakeFolders(profile + u"AppData\\Roaming\\TestPlayer\\");
    FAccounts.AddProfile(u"S-1-5-21-9-1002", ExcludeTrailingPathDelimiter(domain));
    FAccounts.AddProfile(u"S-1-5-21-9-1003", ExcludeTrailingPathDelimiter(other));
    FAccounts.SetAppData(u".DEFAULT", u"%USERPROFILE%\\AppData\\Roaming");

    auto installer = MakeOrvoInstaller();
    TInstallerProfileInfoList list;
    list.Populate();
    std::vector<String> names;
    for (const auto& p : list) names.push_back(p->AccountName + u"|" + p->BackupName);
    EXPECT_EQ(names, (std::vector<String>{u"Current|Current", u"Current|Current (2)", u"CURRENT|CURRENT (3)"}));
}

// A folder without a copy of the player has no profiles of its own: the profiles found for
// "version 0" belong to another installation and must not be backed up and deleted here.
TEST_F(ProfileHelper, NoInstalledCopyNoProfiles) {
    CreateDirectoryW(WidePtr(FCurrentAppData + u"ORVO3"), nullptr);
    CreateDirectoryW(WidePtr(FCurrentAppData + u"TestPlayer"), nullptr);
    auto installer = MakeOrvoInstaller();
    ASSERT_EQ(installer->ProductInfo().GetInstalledVersion(), 0);
    TInstallerProfileInfoList list;
    list.Populate();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace uinst
