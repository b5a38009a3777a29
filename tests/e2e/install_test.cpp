// A complete installation of the demo product, as a user or a deployment tool starts it.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "base/paths.h"
#include "engine/application_repository.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "product/shell_link.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

std::vector<uint8_t> DemoFile(StringView relative) {
    return ReadFileBytes(SourceFolder() + u"demo\\" + String(relative));
}

void LoadUninstallList(const String& dest, TORLIniFile& ini) {
    TSetupPackageReader data(dest + u"Uninstall.dat");
    std::unique_ptr<TMemoryStream> stream;
    if (data.Extract(u"Uninstall.ini", stream)) ini.LoadFromStream(*stream);
}

TEST(Install, FreshSilentInstallationIntoAFolderWithSpaces) {
    TTempFolder dest(u"e2e fresh install");
    ForgetInstallation();
    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);

    // Every applicable component with the packaged bytes; the Russian-only file is absent.
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"Readme.txt"), DemoFile(u"product\\Readme.txt"));
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"Skins\\Amber.ocs4"), DemoFile(u"product\\Amber.ocs4"));
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"Plugins\\orvo_demo\\orvo_demo.ini"), DemoFile(u"product\\orvo_demo.ini"));
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"ORVO.exe"), ReadFileBytes(BinFolder() + u"ORVO.exe"));
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"Help"));
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"Uninstall.exe"), ReadFileBytes(BinFolder() + u"uInstaller.exe"));

    // The uninstall list: relative names, the data file and the uninstaller last.
    TORLIniFile list;
    LoadUninstallList(dest.Path(), list);
    const int count = list.ReadInteger(u"Uninstall", u"Count", 0);
    ASSERT_EQ(count, 7);
    EXPECT_EQ(list.ReadString(u"Uninstall", u"0", u""), u"ORVO.exe");
    EXPECT_EQ(list.ReadString(u"Uninstall", u"4", u""), u"Plugins\\orvo_demo\\orvo_demo.ini");
    EXPECT_EQ(list.ReadString(u"Uninstall", u"5", u""), u"Uninstall.dat");
    EXPECT_EQ(list.ReadString(u"Uninstall", u"6", u""), u"Uninstall.exe");

    // The entry in the list of installed programs, with its ten values.
    auto key = ProductEntry();
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->ReadString(u"DisplayName"), u"ORVO");
    EXPECT_EQ(key->ReadString(u"UninstallString"), dest.Path() + u"Uninstall.exe");
    EXPECT_EQ(key->ReadString(u"DisplayIcon"), dest.Path() + u"Uninstall.exe");
    EXPECT_EQ(key->ReadString(u"InstallPath"), dest.Path());
    EXPECT_EQ(key->ReadString(u"DisplayVersion"), u"5.3.0.4210");
    EXPECT_EQ(key->ReadString(u"Publisher"), u"ORVO Demo Team");
    EXPECT_EQ(key->ReadString(u"URLInfoAbout"), u"https://orvo.example.org/");
    EXPECT_EQ(key->ReadString(u"InstallDate").value_or(u"").size(), 8u);
    EXPECT_EQ(key->ReadDWord(u"NoModify"), 1u);
    EXPECT_EQ(key->ReadDWord(u"NoRepair"), 1u);

    // The player's configuration for a normal installation.
    TORLIniFile config(dest.Path() + u"ORVO.ini");
    EXPECT_EQ(config.ReadString(u"System", u"UserMode", u""), u"1");
    EXPECT_EQ(config.ReadInteger(u"System", u"Version", 0), 5030);
    EXPECT_EQ(config.ReadString(u"System", u"DefaultLang", u""), u"English.lng");

    // Shortcuts point at the player; the helper was asked to integrate.
    EXPECT_EQ(GetShellLinkTarget(GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + u"ORVO.lnk"),
              dest.Path() + u"ORVO.exe");
    EXPECT_EQ(GetShellLinkTarget(GetSpecialFolder(CSIDL_COMMON_PROGRAMS) + u"ORVO\\ORVO.lnk"),
              dest.Path() + u"ORVO.exe");
    EXPECT_FALSE(ReadTextFile(dest.Path() + u"Elevator.log").empty());

    ForgetInstallation();
}

TEST(Install, PortableInstallationLeavesNoRegistryEntry) {
    TTempFolder dest(u"e2e portable install");
    ForgetInstallation();
    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT /PORTABLE");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_FALSE(ProductEntry().has_value());
    TORLIniFile config(dest.Path() + u"ORVO.ini");
    EXPECT_EQ(config.ReadString(u"System", u"UserMode", u""), u"0");
    EXPECT_TRUE(FileExists(dest.Path() + u"Uninstall.dat"));
}

TEST(Install, ALockedFileThatCannotMoveEndsTheRunWithExitCodeOne) {
    TTempFolder dest(u"e2e locked install");
    ForgetInstallation();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT /PORTABLE").ExitCode, 0u);
    const std::string other = "changed by the user";
    WriteFileBytes(dest.Path() + u"Readme.txt", other.data(), other.size());
    TUniqueFile held(CreateFileW(WidePtr(dest.Path() + u"Readme.txt"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT /PORTABLE /NOBACKUP");
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(Contains(run.Log, dest.Path() + u"Readme.txt")) << StringToUtf8(run.Log);
}

TEST(Install, ARefusedDestinationWritesNothing) {
    for (const String& root : {String(u"C:\\"), String(u"C:\\\\"), String(u"C:\\.\\")}) {
        const TRunResult refused = RunSetup(u"/AUTO \"" + root + u"\" /SILENT");
        EXPECT_EQ(refused.ExitCode, 1u) << StringToUtf8(root);
    }
    const TRunResult run = RunSetup(u"/AUTO \"C:\\\" /SILENT");
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(Contains(run.Log, u"cannot be used")) << StringToUtf8(run.Log);
    EXPECT_FALSE(FileExists(u"C:\\Uninstall.exe"));
    EXPECT_FALSE(FileExists(u"C:\\ORVO.exe"));
}

}  // namespace
}  // namespace uinst::e2e
