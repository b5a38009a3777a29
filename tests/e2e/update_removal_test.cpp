// Updates of older installations with their backups and migrations, and the removal of an
// installation by its uninstaller, which restarts itself from the temporary folder.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/application_repository.h"
#include "engine/file_list.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "product/backup_archive.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

std::vector<String> BackupArchives(const String& dest) {
    return test::ListFiles(dest + u"!Backup\\", u"*.zip");
}

bool Has(const std::vector<String>& items, StringView item) {
    return std::find(items.begin(), items.end(), String(item)) != items.end();
}

// Waits until no process of that name runs (the uninstaller's copy in the temporary folder).
bool WaitForProcessesNamed(StringView name, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        bool running = false;
        const TUniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        if (snapshot && Process32FirstW(snapshot.Get(), &entry)) {
            do running = running || SameText(FromWide(entry.szExeFile), name);
            while (Process32NextW(snapshot.Get(), &entry));
        }
        if (!running) return true;
        if (GetTickCount64() - start > timeoutMs) return false;
        Sleep(100);
    }
}

// Runs the uninstaller and waits for it as a caller would; `present` receives the files of
// `watched` that still existed when that wait ended.
TRunResult RunUninstaller(const String& dest, const String& parameters, const std::vector<String>& watched = {},
                          std::vector<String>* present = nullptr) {
    const String log = dest + u"..\\uninstall e2e.log";
    DeleteFileW(WidePtr(log));
    TRunResult run = RunProgram(dest + u"Uninstall.exe", parameters + u" /SUPPRESSMSGBOXES /LOG=\"" + log + u"\"");
    if (present)
        for (const String& file : watched)
            if (FileExists(file)) present->push_back(file);
    EXPECT_TRUE(WaitForProcessesNamed(u"Uninstall.exe", 120000)) << "the uninstaller did not end";
    run.Log = ReadTextFile(log);
    DeleteFileW(WidePtr(log));
    return run;
}

String AppData() {
    return GetSpecialFolder(CSIDL_APPDATA);
}

TEST(Update, AnOlderGenerationIsMigratedAndItsTracesRemoved) {
    TTempFolder dest(u"e2e update 3900");
    ForgetInstallation();
    const String oldProfile = AppData() + u"ORVO3\\";
    const String newProfile = AppData() + u"ORVO\\";
    RemoveTree(oldProfile);
    RemoveTree(newProfile);
    WriteTextFile(dest.Path() + u"ORVO3.ini", "[System]\r\nVersion=3900\r\nUserMode=1\r\n");
    WriteTextFile(dest.Path() + u"ORVO3.exe", "old player");
    WriteTextFile(dest.Path() + u"Plugins\\mine\\mine.dll", "user plug-in");
    WriteTextFile(dest.Path() + u"\u041c\u0443\u0437\u044b\u043a\u0430.txt", "cyrillic");
    WriteTextFile(oldProfile + u"ORVO3.ini", "[Player]\r\nVolume=7\r\n");
    WriteTextFile(oldProfile + u"ORVO3-cat.db", "library");
    {
        auto key = TRegistryKey::Create(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO3",
                                        KEY_ALL_ACCESS | KEY_WOW64_32KEY);
        key.WriteString(u"InstallPath", dest.Path());
    }
    const String desktopLink = GetSpecialFolder(CSIDL_DESKTOPDIRECTORY) + u"ORVO3.lnk";
    WriteTextFile(desktopLink, "link");

    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
    ASSERT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"ioUpdate")) << StringToUtf8(run.Log);

    const auto archives = BackupArchives(dest.Path());
    ASSERT_EQ(archives.size(), 1u);
    const auto names = ReadBackupArchiveNames(archives[0]);
    EXPECT_TRUE(Has(names, u"Program/ORVO3.exe"));
    EXPECT_TRUE(Has(names, u"Program/\u041c\u0443\u0437\u044b\u043a\u0430.txt"));
    String user(256, u'\0');
    DWORD length = 256;
    GetUserNameW(WidePtr(user), &length);
    user.resize(length ? length - 1 : 0);
    EXPECT_TRUE(Has(names, u"Profiles/" + user + u"/ORVO3.ini")) << "user " << StringToUtf8(user);

    // Migrated: the configuration and profile renamed and copied, user plug-ins kept.
    EXPECT_TRUE(FileExists(dest.Path() + u"ORVO.ini"));
    EXPECT_TRUE(FileExists(newProfile + u"ORVO.ini"));
    EXPECT_TRUE(FileExists(newProfile + u"ORVO-cat.db"));
    EXPECT_FALSE(DirectoryExists(oldProfile));  // with backups on, the copy became a move
    EXPECT_TRUE(FileExists(dest.Path() + u"Plugins\\mine\\mine.dll"));
    // The older generation's entry and shortcut are gone.
    EXPECT_FALSE(
        TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO3", KEY_READ | KEY_WOW64_32KEY));
    EXPECT_FALSE(FileExists(desktopLink));
    RemoveTree(newProfile);
    ForgetInstallation();
}

TEST(Update, PortableCopiesKeepTheirProfileAndOnlyThreeArchivesStay) {
    TTempFolder dest(u"e2e update portable");
    WriteTextFile(dest.Path() + u"ORVO.ini", "[System]\r\nVersion=4600\r\nUserMode=0\r\n");
    WriteTextFile(dest.Path() + u"Profile\\ORVO.ini", "[Player]\r\nVolume=3\r\n");
    WriteTextFile(dest.Path() + u"Skins\\Mine.ocs4", "user skin");
    for (int run = 1; run <= 6; ++run) {
        const TRunResult result = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
        ASSERT_EQ(result.ExitCode, 0u) << StringToUtf8(result.Log);
        if (run == 1) {
            const auto names = ReadBackupArchiveNames(BackupArchives(dest.Path()).front());
            EXPECT_TRUE(Has(names, u"Profile/ORVO.ini"));  // portable: paths relative to the folder
            EXPECT_TRUE(Has(names, u"ORVO.ini"));
        }
        Sleep(1100);  // archive names carry the time to the second
    }
    EXPECT_EQ(BackupArchives(dest.Path()).size(), 3u);
    EXPECT_TRUE(FileExists(dest.Path() + u"Profile\\ORVO.ini"));
    EXPECT_TRUE(FileExists(dest.Path() + u"Skins\\Mine.ocs4"));
    TORLIniFile config(dest.Path() + u"ORVO.ini");
    EXPECT_EQ(config.ReadString(u"System", u"UserMode", u""), u"0");
    EXPECT_EQ(config.ReadInteger(u"System", u"Version", 0), 5030);

    TTempFolder noBackup(u"e2e update without backup");
    WriteTextFile(noBackup.Path() + u"ORVO.ini", "[System]\r\nVersion=5020\r\nUserMode=0\r\n");
    ASSERT_EQ(RunSetup(u"/AUTO \"" + noBackup.Path() + u"\" /SILENT /NOBACKUP").ExitCode, 0u);
    EXPECT_FALSE(DirectoryExists(noBackup.Path() + u"!Backup"));
}

TEST(Removal, TheUninstallerRemovesWhatWasInstalled) {
    TTempFolder dest(u"e2e removal");
    ForgetInstallation();
    const std::vector<String> before = DriveListing();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT").ExitCode, 0u);
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT").ExitCode, 0u);  // an update: one backup
    ASSERT_EQ(BackupArchives(dest.Path()).size(), 1u);
    WriteTextFile(dest.Path() + u"Profile\\mine.txt", "user data");
    ASSERT_TRUE(
        TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO", KEY_READ | KEY_WOW64_32KEY));

    std::vector<String> watched, present;
    for (const char16_t* file : {u"ORVO.exe", u"Elevator.exe", u"Readme.txt", u"Uninstall.dat", u"Skins\\Amber.ocs4"})
        watched.push_back(dest.Path() + file);
    const TRunResult run = RunUninstaller(dest.Path(), u"/AUTO /SILENT", watched, &present);
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    // The caller's wait ends after the work, not when the uninstaller has moved to the temporary folder.
    EXPECT_TRUE(present.empty()) << StringToUtf8(present.empty() ? String() : present.front());
    EXPECT_TRUE(Contains(run.Log, u"restarted from the temporary folder")) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Mode: uninstall")) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"The run succeeded")) << StringToUtf8(run.Log);

    for (const char16_t* file : {u"ORVO.exe", u"Elevator.exe", u"Readme.txt", u"Uninstall.exe", u"Uninstall.dat",
                                 u"Skins\\Amber.ocs4", u"Plugins\\orvo_demo\\orvo_demo.ini"})
        EXPECT_FALSE(FileExists(dest.Path() + file)) << StringToUtf8(file);
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"Skins"));
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"Plugins"));
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"!Backup"));      // the automatic default
    EXPECT_TRUE(FileExists(dest.Path() + u"Profile\\mine.txt"));  // user data is kept
    EXPECT_TRUE(Contains(ReadTextFile(dest.Path() + u"Elevator.log"), u"/REG=U"));
    EXPECT_FALSE(
        TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO", KEY_READ | KEY_WOW64_32KEY));
    EXPECT_FALSE(FileExists(GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + u"ORVO.lnk"));
    EXPECT_FALSE(DirectoryExists(GetSpecialFolder(CSIDL_COMMON_PROGRAMS) + u"ORVO"));

    // Nothing else on the drive changed: the kept user data and the helper's log are all that stays.
    std::vector<String> after = DriveListing();
    std::erase_if(after, [&](const String& line) { return line.rfind(dest.Path(), 0) == 0; });
    std::vector<String> changed;
    std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                  std::back_inserter(changed));
    EXPECT_TRUE(changed.empty()) << StringToUtf8(changed.empty() ? String() : changed.front()) << " and "
                                 << changed.size() - (changed.empty() ? 0 : 1) << " more";
}

TEST(Removal, AFileThatCannotBeRemovedFailsTheRemoval) {
    TTempFolder dest(u"e2e removal locked");
    ForgetInstallation();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT").ExitCode, 0u);
    const String held = dest.Path() + u"Readme.txt";
    {
        // Open without delete sharing: the file can neither be deleted nor moved aside.
        TUniqueFile file(CreateFileW(WidePtr(held), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        const TRunResult run = RunUninstaller(dest.Path(), u"/AUTO /SILENT");
        EXPECT_EQ(run.ExitCode, 1u) << StringToUtf8(run.Log);
        EXPECT_TRUE(Contains(run.Log, held)) << StringToUtf8(run.Log);
        EXPECT_FALSE(Contains(run.Log, u"The run succeeded")) << StringToUtf8(run.Log);
    }
    EXPECT_TRUE(FileExists(held));
    EXPECT_TRUE(FileExists(dest.Path() + u"Uninstall.exe"));  // kept, so the removal can be run again
    EXPECT_FALSE(FileExists(dest.Path() + u"ORVO.exe"));
    ForgetInstallation();
}

}  // namespace
}  // namespace uinst::e2e
