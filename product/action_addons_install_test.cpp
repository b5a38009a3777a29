#include <gtest/gtest.h>

#include <windows.h>

#include "base/paths.h"
#include "engine/engine_routines.h"
#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/action_addons_install.h"
#include "product/addons_description.h"

namespace uinst {
namespace {

using namespace test;

TAddonsDescription Describe(const std::string& text) {
    TAddonsDescription d;
    d.LoadFromBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return d;
}

const std::string kAddonsIni =
    "I0=addons.png\r\nP1=/NOEXTENSIONS\r\nP2=/VIEWER\r\nP3=/SHORTCUTS\r\nP4=AddonSetup.exe\r\nCL=/LANG=RU %s\r\n";

TEST(AddonsDescription, LastLineOfAKeyCountsAndEncodingsAreDetected) {
    const TAddonsDescription d = Describe("P4=First.exe\nno equals sign\r\np4=Second.exe\rCL=a=b\r\n");
    EXPECT_EQ(d.Value(u"P4"), u"Second.exe");
    EXPECT_EQ(d.Value(u"cl"), u"a=b");
    EXPECT_EQ(d.Value(u"P1"), u"");
    EXPECT_EQ(d.Value(u"no equals sign"), u"");

    EXPECT_EQ(Describe("\xEF\xBB\xBFL0=\xD0\x94\xD0\xB0\r\n").Value(u"L0"), u"\u0414\u0430");
    EXPECT_EQ(Describe(std::string("\xFF\xFEL\0"
                                   "0\0=\0\x14\x04",
                                   10))
                  .Value(u"L0"),
              u"\u0414");
    EXPECT_EQ(Describe(std::string("\xFE\xFF\0L\0"
                                   "0\0=\x04\x14",
                                   10))
                  .Value(u"L0"),
              u"\u0414");
    EXPECT_EQ(Describe("").Lines().Count(), 0);
}

TEST(AddonsInstall, ParametersFollowTheChoices) {
    const TAddonsDescription d = Describe(kAddonsIni);
    using P = TInstallerActionAddonsInstall;
    EXPECT_EQ(P::Parameters(d, {true, false, false}), u"/LANG=RU /NOEXTENSIONS /VIEWER ");
    EXPECT_EQ(P::Parameters(d, {true, true, true}), u"/LANG=RU /VIEWER /SHORTCUTS ");
    EXPECT_EQ(P::Parameters(d, {false, true, false}), u"/LANG=RU ");
    EXPECT_EQ(P::Parameters(d, {false, false, true}), u"/LANG=RU /NOEXTENSIONS /SHORTCUTS ");
    // Without a pattern the choices are passed as they are, not dropped.
    EXPECT_EQ(P::Parameters(Describe("P1=/NOEXT\r\nP2=/VIEWER\r\n"), {true, false, false}), u"/NOEXT /VIEWER ");
    // A pattern with more markers than values keeps the extra ones instead of failing.
    EXPECT_EQ(P::Parameters(Describe("P2=/V\r\nCL=%s %s %d\r\n"), {true, true, false}), u"/V  %s %d");
}

TEST(AddonsInstall, TheInstallerIsWrittenOnlyIntoTheTemporaryFolder) {
    const String temp = GetTempFolder();
    EXPECT_EQ(TInstallerActionAddonsInstall::InstallerFile(u"AddonSetup.exe"), temp + u"AddonSetup.exe");
    EXPECT_EQ(TInstallerActionAddonsInstall::InstallerFile(u"..\\..\\Windows\\x.exe"), temp + u"x.exe");
    EXPECT_EQ(TInstallerActionAddonsInstall::InstallerFile(u"C:/x/y.exe"), temp + u"y.exe");
    for (const char16_t* bad : {u"", u"..", u"sub\\", u"."})
        EXPECT_THROW(TInstallerActionAddonsInstall::InstallerFile(bad), EInstallerInstallError) << StringToUtf8(bad);
}

class AddonsRun : public ::testing::Test {
protected:
    void SetUp() override {
        UseTestProduct([](TTestProduct& p) {
            p.Classes = {ActionClassOf<TInstallerActionAddonsInstall>(u"TInstallerActionAddonsInstall")};
        });
        Name = u"uinst addon " + Utf8ToString(std::to_string(GetCurrentProcessId())) + u".exe";
        Temp = GetTempFolder() + Name;
    }
    void TearDown() override { DeleteFileW(WidePtr(Temp)); }

    std::unique_ptr<TInstaller> Run(bool viewer, bool extensions, bool shortcuts, const std::string& ini,
                                    bool withInstaller = true) {
        TFiles setup = DefaultSetupFiles();
        if (!ini.empty()) setup.push_back({u"addons.ini", ini});
        TFiles product;
        if (withInstaller) product.push_back({Name, "MZ add-on installer"});
        auto installer = MakeInstaller(u"/AUTO=\"" + Dest.Path() + u"\" /SILENT", setup, product);
        installer->Settings().WriteBool(u"Common", u"AddonsViewer", viewer);
        installer->Settings().WriteBool(u"Common", u"AddonsExtensions", extensions);
        installer->Settings().WriteBool(u"Common", u"AddonsShortcuts", shortcuts);
        installer->Start(true);
        return installer;
    }
    std::string Ini() const {
        return "P1=/NOEXT\r\nP2=/VIEWER\r\nP3=/SHORTCUTS\r\nCL=/LANG=RU %s\r\nP4=" + StringToUtf8(Name) + "\r\n";
    }

    TTempFolder Dest;
    String Name, Temp;
    std::vector<TShellRequest> Opened;
    TSeamOverride<std::function<bool(const TShellRequest&)>> FShell{Seams().ShellOpen, [this](const TShellRequest& r) {
                                                                        Opened.push_back(r);
                                                                        return false;  // a failed start is no error
                                                                    }};
};

TEST_F(AddonsRun, NothingChosenNothingReadOrStarted) {
    auto installer = Run(false, false, false, "");  // not even addons.ini is needed
    EXPECT_FALSE(installer->HasErrors());
    EXPECT_TRUE(Opened.empty());
    EXPECT_FALSE(FileExists(Temp));
}

TEST_F(AddonsRun, ExtractsAndOpensTheAddonInstallerWithTheChoices) {
    auto installer = Run(true, false, false, Ini());
    EXPECT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    const auto bytes = ReadFileBytes(Temp);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "MZ add-on installer");
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0].Verb, u"open");
    EXPECT_EQ(Opened[0].File, Temp);
    EXPECT_EQ(Opened[0].Parameters, u"/LANG=RU /NOEXT /VIEWER ");
    EXPECT_EQ(Opened[0].Directory, u"");

    // A file of that name is replaced.
    Opened.clear();
    WriteFileBytes(Temp, "older and longer content", 24);
    installer = Run(true, true, true, Ini());
    const auto again = ReadFileBytes(Temp);
    EXPECT_EQ(std::string(again.begin(), again.end()), "MZ add-on installer");
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0].Parameters, u"/LANG=RU /VIEWER /SHORTCUTS ");
}

TEST_F(AddonsRun, MissingFilesStopTheRunWithTheirNames) {
    auto noIni = Run(true, false, false, "");
    ASSERT_EQ(noIni->Log().Count(), 1);
    EXPECT_EQ(noIni->Log()[0].rfind(u"Cannot locate \"addons.ini\" file in setup archive\r\n", 0), 0u);
    noIni.reset();
    auto noInstaller = Run(false, false, true, Ini(), false);
    ASSERT_EQ(noInstaller->Log().Count(), 1);
    EXPECT_EQ(noInstaller->Log()[0].rfind(u"Cannot locate \"" + Name + u"\" file in setup archive\r\n", 0), 0u);
    EXPECT_TRUE(Opened.empty());
}

TEST(AddonsInstall, SummaryListsTheChosenAddons) {
    UseTestProduct();
    TFiles setup = DefaultSetupFiles();
    setup[1].second += "[PageAddons]\r\nTitle=Add-ons\r\nCB1=Viewer\r\nCB2=Extensions\r\nCB3=Shortcuts\r\n";
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT", setup);
    auto summary = [] {
        TInstallerSummaryBuilder builder;
        TInstallerActionAddonsInstall().BuildSummary(builder);
        return builder.ToString();
    };
    EXPECT_EQ(summary(), u"");  // nothing chosen: no heading either
    installer->Settings().WriteBool(u"Common", u"AddonsViewer", true);
    installer->Settings().WriteBool(u"Common", u"AddonsShortcuts", true);
    EXPECT_EQ(summary(), u"Add-ons\r\n    Viewer\r\n    Shortcuts\r\n");
    installer->Settings().WriteBool(u"Common", u"AddonsExtensions", true);
    EXPECT_EQ(summary(), u"Add-ons\r\n    Viewer\r\n    Extensions\r\n    Shortcuts\r\n");
}

// The real shell starts the demo's stand-in add-on installer, which logs its parameters beside itself.
TEST(AddonsInstall, TheShellStartsTheStandIn) {
    const String standIn = ExtractFilePath(ModuleFileName()) + u"AddonSetup.exe";
    ASSERT_TRUE(FileExists(standIn)) << "the AddonSetup stand-in is built with this test program";
    UseTestProduct([](TTestProduct& p) {
        p.Classes = {ActionClassOf<TInstallerActionAddonsInstall>(u"TInstallerActionAddonsInstall")};
    });
    const auto bytes = ReadFileBytes(standIn);
    const String name = u"uinst addon stand-in " + Utf8ToString(std::to_string(GetCurrentProcessId())) + u".exe";
    const String log = GetTempFolder() + u"AddonSetup.log";
    DeleteFileW(WidePtr(log));
    TFiles setup = DefaultSetupFiles();
    setup.push_back({u"addons.ini", "P1=/NOEXTENSIONS\r\nP2=/VIEWER\r\nCL=/LANG=RU %s\r\nP4=" + StringToUtf8(name)});
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT", setup, {{name, std::string(bytes.begin(), bytes.end())}});
    installer->Settings().WriteBool(u"Common", u"AddonsViewer", true);
    installer->Start(true);
    EXPECT_FALSE(installer->HasErrors());
    // Setup does not wait for it: give it a few seconds to write.
    std::string text;
    for (int i = 0; i < 100 && text.empty(); ++i) {
        Sleep(100);
        if (FileExists(log)) {
            const auto logBytes = ReadFileBytes(log);
            text.assign(logBytes.begin(), logBytes.end());
        }
    }
    EXPECT_EQ(text, "/LANG=RU /NOEXTENSIONS /VIEWER \r\n");
    for (int i = 0; i < 50 && !DeleteFileW(WidePtr(GetTempFolder() + name)); ++i) Sleep(100);
    DeleteFileW(WidePtr(log));
}

}  // namespace
}  // namespace uinst
