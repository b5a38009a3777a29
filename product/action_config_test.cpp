#include "product/action_config.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/engine_test_support.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "product/product_info_orvo.h"

namespace uinst {
namespace {

using namespace test;

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

// Runs the configuration action as the worker does, on an installer for the folder.
std::unique_ptr<TInstaller> RunConfig(const String& dest, const String& switches, const String& integration,
                                      const String& language = u"English.lng") {
    UseTestProduct(
        [](TTestProduct& p) { p.Classes = {ActionClassOf<TInstallerActionConfig>(u"TInstallerActionConfig")}; });
    auto installer = MakeInstaller(u"/AUTO=\"" + dest + u"\" /SILENT" + switches);
    installer->Resources().LoadLanguageFile(language);
    if (!integration.empty()) installer->Settings().WriteSectionText(u"Integration", integration);
    installer->Start(true);
    return installer;
}

String ConfigText(const String& dest) {
    TORLIniFile config(dest + u"ORVO.ini");
    return config.SaveToText();
}

TEST(ActionConfig, NormalInstallationReadsBackAsNormal) {
    TTempFolder dest;
    const String integration = u"ShortcutDesktop=1\r\nShortcutStartMenu=0\r\nAssociateWithFiles=1\r\n";
    auto installer = RunConfig(dest.Path(), u"", integration);
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_EQ(ConfigText(dest.Path()),
              u"[Integration]\r\nShortcutDesktop=1\r\nShortcutStartMenu=0\r\nAssociateWithFiles=1\r\n\r\n"
              u"[System]\r\nUserMode=1\r\nDefaultLang=English.lng\r\nVersion=5030\r\n\r\n");
    installer.reset();

    // What the product description of the next run finds there.
    RegisterProductORVO();
    auto next = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\"");
    EXPECT_FALSE(next->ProductInfo().IsPortable());
    EXPECT_EQ(next->ProductInfo().GetInstalledVersion(), 5030);
    EXPECT_TRUE(next->ProductInfo().CanUpdate());
    EXPECT_EQ(next->Settings().ReadSectionText(u"Integration"), integration);
}

TEST(ActionConfig, PortableInstallationReadsBackAsPortable) {
    TTempFolder dest;
    auto installer = RunConfig(dest.Path(), u" /PORTABLE", u"", u"Russian.lng");
    ASSERT_TRUE(installer->HasOption(ioPortable));
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    TORLIniFile config(dest.Path() + u"ORVO.ini");
    EXPECT_EQ(config.ReadString(u"System", u"UserMode", u""), u"0");
    EXPECT_EQ(config.ReadString(u"System", u"DefaultLang", u""), u"Russian.lng");
    installer.reset();

    RegisterProductORVO();
    auto next = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\"");
    EXPECT_TRUE(next->ProductInfo().IsPortable());
    EXPECT_EQ(next->ProductInfo().GetInstalledVersion(), 5030);
    // An update of it stays portable.
    EXPECT_TRUE(next->HasOption(ioUpdate));
    EXPECT_TRUE(next->HasOption(ioPortable));
}

// The System section is the setup program's own: keys the player wrote there go. Every other
// section, comments and order stay; the file keeps its encoding.
TEST(ActionConfig, RewritesSystemAndIntegrationOnly) {
    TTempFolder dest;
    WriteText(
        dest.Path() + u"ORVO.ini",
        "\xEF\xBB\xBF[Player]\r\n; in percent\r\nVolume=80\r\n[System]\r\nUserMode=0\r\nSkin=Dark\r\n"
        "Version=4600\r\nFirstRun=0\r\n[Integration]\r\nRegisterContextMenu=1\r\n[Library]\r\nPath=D:\\Music\r\n");
    auto installer = RunConfig(dest.Path(), u"", u"");  // no integration choices in this run
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    TORLIniFile config(dest.Path() + u"ORVO.ini");
    EXPECT_EQ(config.Encoding(), teUTF8);
    EXPECT_EQ(config.SaveToText(),
              u"[Player]\r\n; in percent\r\nVolume=80\r\n\r\n"
              u"[System]\r\nUserMode=1\r\nDefaultLang=English.lng\r\nVersion=5030\r\n\r\n"
              u"[Library]\r\nPath=D:\\Music\r\n\r\n");  // the emptied Integration section is not written
}

// A configuration that cannot be written is a failed installation, not a silent one: the
// player would otherwise not know its mode and a later update its version.
TEST(ActionConfig, AConfigurationThatCannotBeWrittenFailsTheRun) {
    TTempFolder temp;
    const String dest = temp.Path() + u"Missing\\";
    auto installer = RunConfig(dest, u"", u"");
    ASSERT_TRUE(installer->HasErrors());
    EXPECT_NE(installer->Log().Text().find(dest + u"ORVO.ini"), String::npos) << StringToUtf8(installer->Log().Text());
    EXPECT_FALSE(FileExists(dest + u"ORVO.ini"));
}

}  // namespace
}  // namespace uinst
