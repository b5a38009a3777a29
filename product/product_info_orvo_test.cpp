#include <gtest/gtest.h>

#include "engine/engine_test_support.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/product_info_orvo.h"

namespace uinst {
namespace {

using namespace test;

std::unique_ptr<TInstaller> MakeOrvoInstaller(const String& commandLine) {
    RegisterProductORVO();
    auto installer = MakeInstaller(commandLine);
    return installer;
}

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

TEST(ProductORVO, UpdatableVersionsAndPortableConfiguration) {
    TTempFolder folder;
    auto installer = MakeOrvoInstaller(u"/AUTO=\"" + folder.Path() + u"\"");
    auto& product = static_cast<TProductInfoORVO&>(installer->ProductInfo());
    EXPECT_EQ(product.GetInstalledVersion(), 0);
    EXPECT_FALSE(product.CanUpdate());
    EXPECT_FALSE(product.IsPortable());
    for (auto [version, updatable] : {std::pair{3499, false}, {3500, true}, {5099, true}, {5100, false}}) {
        WriteText(folder.Path() + u"ORVO.ini", "[System]\r\nVersion=" + std::to_string(version) + "\r\n");
        installer->SetDestPath(folder.Path() + u".\\");  // another spelling: read again
        installer->SetDestPath(folder.Path());
        EXPECT_EQ(product.CanUpdate(), updatable) << version;
        EXPECT_EQ(installer->HasOption(ioUpdate), updatable) << version;
    }
    // ORVO.ini wins over ORVO3.ini; UserMode=0 marks a portable copy, and an update keeps it so.
    WriteText(folder.Path() + u"ORVO.ini", "[System]\r\nVersion=4600\r\nUserMode=0\r\n[Integration]\r\nA=1\r\n");
    WriteText(folder.Path() + u"ORVO3.ini", "[System]\r\nVersion=3900\r\n");
    installer->SetDestPath(folder.Path() + u".\\");
    EXPECT_EQ(product.GetInstalledVersion(), 4600);
    EXPECT_TRUE(product.IsPortable());
    EXPECT_TRUE(installer->HasOption(ioPortable));
    EXPECT_EQ(installer->Settings().ReadSectionText(u"Integration"), u"A=1\r\n");
    EXPECT_EQ(product.InstalledVersionText(), u"4.60");
}

std::vector<String> ActionNames(TInstaller& installer) {
    std::vector<String> names;
    installer.ProductInfo().PopulateActions([&](const TInstallerActionClass& c) { names.push_back(c.Name); });
    return names;
}

TEST(ProductORVO, ActionListsFollowModeAndOptions) {
    RegisterProductORVO();
    auto removal = MakeInstaller(u"/AUTO /SILENT", DefaultSetupFiles(), {{u"Uninstall.ini", ""}});
    EXPECT_EQ(ActionNames(*removal),
              (std::vector<String>{u"TInstallerActionCloseApplications", u"TInstallerActionUninstallIntegration",
                                   u"TInstallerActionUninstallFiles"}));
    removal.reset();

    TSeamOverride version(Seams().OSVersion, std::function<TOSVersion()>([] { return TOSVersion{10, 0, 19045}; }));
    TTempFolder folder;
    auto fresh = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    EXPECT_EQ(ActionNames(*fresh),
              (std::vector<String>{u"TInstallerActionCloseApplications", u"TInstallerActionPrepare",
                                   u"TInstallerActionExtract", u"TInstallerActionConfig", u"TInstallerActionIntegrate",
                                   u"TInstallerActionShortcuts", u"TInstallerActionUpdateShellCache"}));
    fresh->SetOption(ioPortable, true);
    EXPECT_EQ(ActionNames(*fresh)[4], u"TInstallerActionShortcuts");  // no integration for a portable copy
    fresh.reset();

    // An update: no integration, no shortcuts; before Windows 10 no shell-cache refresh either.
    TSeamOverride older(Seams().OSVersion, std::function<TOSVersion()>([] { return TOSVersion{6, 1, 7601}; }));
    WriteText(folder.Path() + u"ORVO.ini", "[System]\r\nVersion=4600\r\n");
    auto update = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    EXPECT_EQ(ActionNames(*update),
              (std::vector<String>{u"TInstallerActionCloseApplications", u"TInstallerActionPrepare",
                                   u"TInstallerActionExtract", u"TInstallerActionConfig"}));
}

std::vector<String> PageNames(TInstaller& installer) {
    std::vector<String> names;
    installer.ProductInfo().PopulatePages([&](StringView name) { names.emplace_back(name); });
    return names;
}

TEST(ProductORVO, PagesFollowModeAndLanguage) {
    RegisterProductORVO();
    auto removal = MakeInstaller(u"", DefaultSetupFiles(), {{u"Uninstall.ini", ""}});
    EXPECT_EQ(PageNames(*removal), (std::vector<String>{u"TInstallerPageUninstallParams"}));
    removal.reset();

    auto install = MakeInstaller(u"");
    const std::vector<String> english{u"TInstallerPageWelcome", u"TInstallerPageLicense", u"TInstallerPageSetup",
                                      u"TInstallerPageIntegration", u"TInstallerPageReadyToInstall"};
    EXPECT_EQ(PageNames(*install), english);
    install->Resources().LoadLanguageFile(u"Russian.lng");
    EXPECT_EQ(PageNames(*install)[3], u"TInstallerPageAddons");
    EXPECT_EQ(PageNames(*install).size(), 6u);
}

TEST(VersionText, ThousandsDotAndTwoDigits) {
    EXPECT_EQ(VersionIdText(4512), u"4.51");
    EXPECT_EQ(VersionIdText(5030), u"5.03");
    EXPECT_EQ(VersionIdText(4000), u"4.00");
    EXPECT_EQ(VersionIdText(0), u"0.00");
}

}  // namespace
}  // namespace uinst
