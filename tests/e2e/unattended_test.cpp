// The setup program as deployment scripts start it: destinations written in any form, paths
// longer than the system's old limit, logs, the help text and the registry values such tools read.
#include <gtest/gtest.h>

#include "base/format.h"
#include "base/paths.h"
#include "engine/application_repository.h"
#include "engine/command_line.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

// The files of the uninstall list (relative to the folder, the data file and Uninstall.exe last).
std::vector<String> InstalledFiles(const String& dest) {
    TORLIniFile list;
    TSetupPackageReader data(dest + u"Uninstall.dat");
    std::unique_ptr<TMemoryStream> stream;
    if (data.Extract(u"Uninstall.ini", stream)) list.LoadFromStream(*stream);
    std::vector<String> files;
    const int count = list.ReadInteger(u"Uninstall", u"Count", 0);
    for (int i = 0; i < count; ++i) files.push_back(list.ReadString(u"Uninstall", IntToStr(i), u""));
    return files;
}

// Everything that names the installation agrees on the folder.
void ExpectInstallationAt(const String& dest, const TRunResult& run) {
    EXPECT_TRUE(Contains(run.Log, u"Destination: " + dest + u"\r\n")) << StringToUtf8(run.Log);
    const std::vector<String> files = InstalledFiles(dest);
    ASSERT_EQ(files.size(), 7u) << StringToUtf8(dest);
    int64_t bytes = 0;
    for (const String& file : files) {
        EXPECT_TRUE(FileExists(dest + file)) << StringToUtf8(dest + file);
        bytes += FileSizeOf(dest + file);
    }
    EXPECT_EQ(files.back(), u"Uninstall.exe");
    TORLIniFile config(dest + u"ORVO.ini");
    EXPECT_EQ(config.ReadInteger(u"System", u"Version", 0), 5030);

    auto key = ProductEntry();
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->ReadString(u"InstallPath"), dest);
    EXPECT_EQ(key->ReadString(u"UninstallString"), dest + u"Uninstall.exe");
    EXPECT_EQ(key->ReadString(u"QuietUninstallString"), u"\"" + dest + u"Uninstall.exe\" /AUTO /SILENT");
    EXPECT_EQ(key->ReadDWord(u"EstimatedSize"), static_cast<uint32_t>((bytes + 1023) / 1024));
}

// Starts the uninstaller as the entry's QuietUninstallString does and waits for its copy in the
// temporary folder too.
TRunResult Uninstall(const String& uninstaller) {
    const String log = GetTempFolder() + u"uinst e2e unattended removal.log";
    DeleteFileW(WidePtr(log));
    TRunResult run = RunProgram(uninstaller, u"/AUTO /SILENT /SUPPRESSMSGBOXES /LOG=\"" + log + u"\"");
    EXPECT_TRUE(WaitUntilProgramsEnd(ExtractFileName(uninstaller))) << "the uninstaller did not end";
    run.Log = ReadTextFile(log);
    DeleteFileW(WidePtr(log));
    return run;
}

void ExpectRemoved(const String& dest, const TRunResult& run) {
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(Contains(run.Log, u"The run succeeded")) << StringToUtf8(run.Log);
    for (const char16_t* file : {u"ORVO.exe", u"Uninstall.exe", u"Uninstall.dat", u"Plugins\\orvo_demo\\orvo_demo.ini"})
        EXPECT_FALSE(FileExists(dest + file)) << StringToUtf8(file);
    EXPECT_FALSE(ProductEntry().has_value());
}

String WithSlashes(String path) {
    for (Char& c : path)
        if (c == u'\\') c = u'/';
    return path;
}

TEST(Unattended, ForwardSlashesInstallIntoTheBackslashFolder) {
    TTempFolder scratch(u"e2e slashes");
    ForgetInstallation();
    const String dest = scratch.Path() + u"Games\\ORVO\\";
    const TRunResult run = RunSetup(u"/AUTO=\"" + WithSlashes(scratch.Path()) + u"Games/ORVO\" /SILENT");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    ExpectInstallationAt(dest, run);
    ExpectRemoved(dest, Uninstall(dest + u"Uninstall.exe"));
    ForgetInstallation();
}

TEST(Unattended, ARelativeFolderIsTakenFromTheCurrentFolder) {
    TTempFolder scratch(u"e2e relative");
    ForgetInstallation();
    const TRunResult run = RunSetup(u"/AUTO=.\\Games\\Old\\..\\ORVO /SILENT", 120000, scratch.Path());
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    ExpectInstallationAt(scratch.Path() + u"Games\\ORVO\\", run);
    EXPECT_FALSE(DirectoryExists(scratch.Path() + u"Games\\Old"));
    ExpectRemoved(scratch.Path() + u"Games\\ORVO\\", Uninstall(scratch.Path() + u"Games\\ORVO\\Uninstall.exe"));
    ForgetInstallation();
}

TEST(Unattended, PathsOverThreeHundredCharactersInstallUpdateAndGo) {
    TTempFolder scratch(u"e2e long paths");
    ForgetInstallation();
    String dest = scratch.Path();
    for (int level = 1; dest.size() < 275; ++level)
        dest += u"A folder deep below the temporary folder, level " + IntToStr(level) + u"\\";
    ASSERT_GT((dest + u"Plugins\\orvo_demo\\orvo_demo.ini").size(), 300u);

    TRunResult run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    ExpectInstallationAt(dest, run);
    // An update backs up the deep files into an archive that is deep too.
    run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"ioUpdate")) << StringToUtf8(run.Log);
    WIN32_FIND_DATAW found;
    TUniqueFind archive(FindFirstFileW(WidePtr(LongPathName(dest + u"!Backup\\*.zip")), &found));
    EXPECT_TRUE(archive) << "no backup archive";
    archive.Reset();

    // Wine starts no program whose own path is that long (CreateProcess fails with "file not
    // found", with "\\?\" and by the short name too; so the integration helper did not run above),
    // and Windows without long-path support and 8.3 names does not either. So the step the
    // uninstaller takes first is taken here: its copy in the temporary folder is started with the
    // folder to remove, as the uninstaller restarts itself.
    const String copy = GetTempFolder() + u"Uninstall.exe";
    ASSERT_TRUE(CopyFileW(WidePtr(LongPathName(dest + u"Uninstall.exe")), WidePtr(copy), FALSE));
    ASSERT_TRUE(
        CopyFileW(WidePtr(LongPathName(dest + u"Uninstall.dat")), WidePtr(ChangeFileExt(copy, u".dat")), FALSE));
    const String log = GetTempFolder() + u"uinst e2e long removal.log";
    DeleteFileW(WidePtr(log));
    run =
        RunProgram(copy, BuildUninstallerRestartParams(dest, u"/AUTO /SILENT /SUPPRESSMSGBOXES /LOG=\"" + log + u"\""));
    run.Log = ReadTextFile(log);
    DeleteFileW(WidePtr(log));
    ExpectRemoved(dest, run);
    EXPECT_TRUE(Contains(run.Log, u"Mode: uninstall")) << StringToUtf8(run.Log);
    ForgetInstallation();
}

TEST(Unattended, TheLogCreatesItsFolder) {
    TTempFolder scratch(u"e2e log folder");
    const String log = scratch.Path() + u"logs\\deploy\\setup.log";
    const TRunResult run = RunProgram(BinFolder() + u"uInstaller.exe", u"/AUTO \"" + scratch.Path() +
                                                                           u"ORVO\" /SILENT /PORTABLE "
                                                                           u"/SUPPRESSMSGBOXES /LOG=\"" +
                                                                           log + u"\"");
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(Contains(ReadTextFile(log), u"The run succeeded")) << StringToUtf8(log);
}

TEST(Unattended, ALogThatCannotBeOpenedEndsTheRunAtOnce) {
    TTempFolder scratch(u"e2e log refused");
    const std::string text = "a file, not a folder";
    WriteFileBytes(scratch.Path() + u"file", text.data(), text.size());
    const TRunResult run = RunProgram(BinFolder() + u"uInstaller.exe",
                                      u"/AUTO \"" + scratch.Path() + u"ORVO\" /SILENT /PORTABLE " +
                                          u"/SUPPRESSMSGBOXES /LOG=\"" + scratch.Path() + u"file\\setup.log\"");
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_FALSE(DirectoryExists(scratch.Path() + u"ORVO"));  // nothing ran
}

TEST(Unattended, HelpListsTheSwitchesAndRunsNothing) {
    for (const char16_t* help : {u"/?", u"/HELP", u"-help"}) {
        const TRunResult run = RunSetup(help);
        EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(help);
        EXPECT_TRUE(Contains(run.Log, u"Help: ")) << StringToUtf8(run.Log);
        for (const char16_t* part : {u"/AUTO", u"/SILENT", u"/UPDATE", u"/LOG", u"/SUPPRESSMSGBOXES", u"Exit codes"})
            EXPECT_TRUE(Contains(run.Log, part)) << StringToUtf8(part);
        EXPECT_FALSE(Contains(run.Log, u"Mode: ")) << StringToUtf8(run.Log);
        EXPECT_TRUE(Contains(run.Log, u"Exit code 0"));
    }
}

}  // namespace
}  // namespace uinst::e2e
