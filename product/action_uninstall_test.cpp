#include "product/action_uninstall.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <winioctl.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "engine/application_repository.h"
#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "platform/folder_link_test_support.h"
#include "product/helper_process.h"
#include "product/path_safety.h"
#include "product/update_tasks.h"
#include "product/user_accounts_test_support.h"

namespace uinst {
namespace {

using namespace test;

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}
void MakeFolder(const String& path) {
    CreateDirectoryW(WidePtr(path), nullptr);
}
bool Exists(const String& path) {
    return GetFileAttributesW(WidePtr(path)) != INVALID_FILE_ATTRIBUTES;
}

// --- an installation to remove ------------------------------------------------------------------

std::string FileList(const std::vector<std::string>& entries, const std::string& count = "") {
    std::string text = "[Uninstall]\r\n";
    for (size_t i = 0; i < entries.size(); ++i) text += std::to_string(i) + "=" + entries[i] + "\r\n";
    text += "Count=" + (count.empty() ? std::to_string(entries.size()) : count) + "\r\n";
    return text;
}

// The removal's installer: "Uninstall.ini" in the product package makes it the uninstaller.
std::unique_ptr<TInstaller> RemovalInstaller(const String& dest, const std::string& fileList,
                                             const String& commandLine = u"") {
    UseTestProduct();
    auto installer = MakeInstaller(commandLine, DefaultSetupFiles(), {{u"Uninstall.ini", fileList}});
    installer->SetDestPath(dest);
    return installer;
}

void Choose(TInstaller& installer, int removeBackups, int removeContent) {
    if (removeBackups >= 0) installer.Settings().WriteBool(u"Common", u"RemoveBackups", removeBackups != 0);
    if (removeContent >= 0) installer.Settings().WriteBool(u"Common", u"RemoveContent", removeContent != 0);
}

// A normal installation ("UserMode" 1) in "Dest\" with installed files in nested folders, a file
// and a plug-in of the user's own, two backups, a portable-style profile folder, and the current
// user's profile folders for this version and for the older generation.
struct TInstallation {
    explicit TInstallation(const String& root)
        : Root(root), Dest(root + u"Dest\\"), AppData(root + u"Current\\AppData\\Roaming\\") {
        for (const char16_t* folder : {u"Dest", u"Dest\\Help", u"Dest\\Help\\Deep", u"Dest\\Help\\Deep\\A",
                                       u"Dest\\Help\\Deep\\A\\B", u"Dest\\Plugins", u"Dest\\Empty", u"Dest\\!Backup",
                                       u"Dest\\Profile", u"Current", u"Current\\AppData", u"Current\\AppData\\Roaming",
                                       u"Current\\AppData\\Roaming\\TestPlayer", u"Current\\AppData\\Roaming\\ORVO3"})
            MakeFolder(root + folder);
        for (const char16_t* file :
             {u"Dest\\Player.exe", u"Dest\\Help\\Help.txt", u"Dest\\Help\\Deep\\A\\B\\Deep.txt", u"Dest\\Uninstall.dat",
              u"Dest\\Uninstall.exe", u"Dest\\Mine.txt", u"Dest\\Plugins\\Mine.dll", u"Dest\\!Backup\\z 1.zip",
              u"Dest\\!Backup\\z 2.zip", u"Dest\\Profile\\ORVO.ini", u"Current\\AppData\\Roaming\\TestPlayer\\ORVO.ini",
              u"Current\\AppData\\Roaming\\ORVO3\\ORVO3.ini", u"Outside.txt"})
            WriteText(root + file, "x");
        WriteText(Dest + u"ORVO.ini", "[System]\r\nUserMode=1\r\nVersion=5030\r\n");
    }
    std::string List() const {
        return FileList(
            {"Player.exe", "Help\\Help.txt", "Help\\Deep\\A\\B\\Deep.txt", "Uninstall.dat", "Uninstall.exe"});
    }
    bool InstalledFilesGone() const {
        for (const char16_t* file : {u"Player.exe", u"Help", u"Uninstall.dat", u"Uninstall.exe", u"Empty"})
            if (Exists(Dest + file)) return false;
        return true;
    }
    String Root, Dest, AppData;
};

// Neither choice: the listed files and the folders left empty go (deep ones too, since inner
// folders come first); the folder itself, the backups, the user's own files and the profiles stay.
TEST(UninstallFilesAction, NeitherChoiceRemovesOnlyWhatWasInstalled) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    auto installer = RemovalInstaller(setup.Dest, setup.List());
    Choose(*installer, 0, 0);
    TInstallerActionUninstallFiles action;
    action.Execute();
    EXPECT_EQ(action.Progress(), 100);
    EXPECT_TRUE(setup.InstalledFilesGone());
    for (const char16_t* kept :
         {u"Mine.txt", u"ORVO.ini", u"Plugins\\Mine.dll", u"!Backup\\z 1.zip", u"Profile\\ORVO.ini"})
        EXPECT_TRUE(FileExists(setup.Dest + kept)) << StringToUtf8(kept);
    EXPECT_TRUE(FileExists(setup.AppData + u"TestPlayer\\ORVO.ini"));
}

// Only the user data: the installation's "Profile" folder and, for profiles per user, each
// user's profile folder of this version. The backups and with them the folder stay.
TEST(UninstallFilesAction, ContentWithoutBackupsRemovesTheProfiles) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    MakeFolder(temp.Path() + u"Other");
    MakeFolder(temp.Path() + u"Other\\AppData");
    MakeFolder(temp.Path() + u"Other\\AppData\\TestPlayer");
    WriteText(temp.Path() + u"Other\\AppData\\TestPlayer\\ORVO.ini", "x");
    accounts.AddProfile(u"S-1-5-21-9-1001", temp.Path() + u"Other");
    accounts.SetAppData(u"S-1-5-21-9-1001", u"%USERPROFILE%\\AppData");

    auto installer = RemovalInstaller(setup.Dest, setup.List());
    Choose(*installer, 0, 1);
    TInstallerActionUninstallFiles().Execute();
    EXPECT_TRUE(setup.InstalledFilesGone());
    EXPECT_FALSE(Exists(setup.Dest + u"Profile"));
    EXPECT_FALSE(Exists(setup.AppData + u"TestPlayer"));
    EXPECT_FALSE(Exists(temp.Path() + u"Other\\AppData\\TestPlayer"));
    EXPECT_TRUE(FileExists(setup.AppData + u"ORVO3\\ORVO3.ini"));  // another version's profile
    EXPECT_TRUE(FileExists(setup.Dest + u"!Backup\\z 2.zip"));
    EXPECT_TRUE(FileExists(setup.Dest + u"Plugins\\Mine.dll"));

    // A portable installation ("UserMode" 0 or missing) has no profiles elsewhere.
    MakeFolder(setup.AppData + u"TestPlayer");
    WriteText(setup.Dest + u"ORVO.ini", "[System]\r\nUserMode=0\r\n");
    TInstallerActionUninstallFiles().Execute();
    EXPECT_TRUE(Exists(setup.AppData + u"TestPlayer"));
}

// Both choices: the whole installation folder goes, with everything in it.
TEST(UninstallFilesAction, BothChoicesRemoveTheWholeFolder) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    auto installer = RemovalInstaller(setup.Dest, setup.List());
    Choose(*installer, 1, 1);
    TInstallerActionUninstallFiles().Execute();
    EXPECT_FALSE(Exists(setup.Dest));
    EXPECT_FALSE(Exists(setup.AppData + u"TestPlayer"));
    EXPECT_TRUE(FileExists(temp.Path() + u"Outside.txt"));
    EXPECT_TRUE(FileExists(setup.AppData + u"ORVO3\\ORVO3.ini"));
}

// An automatic run without stored choices removes the backups and keeps the user data.
TEST(UninstallFilesAction, AutomaticRunDefaults) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    {
        auto installer = RemovalInstaller(setup.Dest, setup.List(), u"/AUTO /SILENT");
        EXPECT_TRUE(TInstallerActionUninstallFiles::GetRemoveBackups());
        EXPECT_FALSE(TInstallerActionUninstallFiles::GetRemoveContent());
        TInstallerActionUninstallFiles().Execute();
        EXPECT_TRUE(setup.InstalledFilesGone());
        EXPECT_FALSE(Exists(setup.Dest + u"!Backup"));
        EXPECT_TRUE(FileExists(setup.Dest + u"Profile\\ORVO.ini"));
        EXPECT_TRUE(FileExists(setup.AppData + u"TestPlayer\\ORVO.ini"));
    }
    auto installer = RemovalInstaller(setup.Dest, setup.List());
    EXPECT_FALSE(TInstallerActionUninstallFiles::GetRemoveBackups());
    EXPECT_FALSE(TInstallerActionUninstallFiles::GetRemoveContent());
    EXPECT_TRUE(TInstallerActionUninstallFiles::ReadUserMode());
    WriteText(setup.Dest + u"ORVO.ini", "[Other]\r\n");
    EXPECT_FALSE(TInstallerActionUninstallFiles::ReadUserMode());
    EXPECT_EQ(ReadFileBytes(setup.Dest + u"ORVO.ini").size(), 9u);  // read, never written
}

// Inner folders come before their parents, links are listed but never entered, and the choices
// come after the subfolders in their fixed order.
TEST(UninstallFilesAction, FolderListOrderAndMarks) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    auto installer = RemovalInstaller(setup.Dest, FileList({}));
    Choose(*installer, 1, 1);
    const TORLStringList folders = TInstallerActionUninstallFiles().CollectFolders();
    std::map<String, int> position;
    for (int i = 0; i < folders.Count(); ++i) position[folders[i]] = i;
    const String d = setup.Dest;
    ASSERT_EQ(folders.Count(), 11);  // 8 subfolders, the backups, the folder, the user's profile
    EXPECT_LT(position[d + u"Help\\Deep\\A\\B\\"], position[d + u"Help\\Deep\\A\\"]);
    EXPECT_LT(position[d + u"Help\\Deep\\A\\"], position[d + u"Help\\Deep\\"]);
    EXPECT_LT(position[d + u"Help\\Deep\\"], position[d + u"Help\\"]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(folders.Tag(i), fmOnlyIfEmpty);
    EXPECT_EQ(folders[8], d + u"!Backup\\");
    EXPECT_EQ(folders[9], d);
    EXPECT_EQ(folders[10], setup.AppData + u"TestPlayer\\");
    for (int i = 8; i < folders.Count(); ++i) EXPECT_EQ(folders.Tag(i), fmWithContent);
}

// "Count" 0: no file is deleted, only empty folders go. A damaged count costs nothing, and keys
// outside the count or not in canonical form are not entries.
TEST(UninstallFilesAction, CountDecidesTheEntries) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    {
        auto installer = RemovalInstaller(setup.Dest, FileList({"Player.exe"}, "0"));
        Choose(*installer, 0, 0);
        TInstallerActionUninstallFiles().Execute();
        EXPECT_TRUE(FileExists(setup.Dest + u"Player.exe"));
        EXPECT_FALSE(Exists(setup.Dest + u"Empty"));
        EXPECT_TRUE(FileExists(setup.Dest + u"Help\\Deep\\A\\B\\Deep.txt"));
    }
    auto installer =
        RemovalInstaller(setup.Dest,
                         "[Uninstall]\r\n0=Player.exe\r\n2=Uninstall.exe\r\n007=Mine.txt\r\n3=Help\\Help.txt\r\n"
                         "0=Uninstall.dat\r\nCount=2000000000\r\n");
    const TORLStringList files = TInstallerActionUninstallFiles().CollectFiles();
    EXPECT_EQ(files.Text(), TORLStringList({setup.Dest + u"Player.exe", setup.Dest + u"Uninstall.exe",
                                            setup.Dest + u"Help\\Help.txt"})
                                .Text());
}

// A damaged or edited list never deletes anything outside the installation folder: absolute
// entries, ".." (however spelled), drives and streams are left out; duplicates go once.
TEST(UninstallFilesAction, EntriesOutsideTheFolderAreNeverDeleted) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    const std::string outside = StringToUtf8(temp.Path() + u"Outside.txt");
    auto installer = RemovalInstaller(
        setup.Dest,
        FileList({"..\\Outside.txt", outside, "Help\\..\\..\\Outside.txt", "Help/../../Outside.txt", "...\\Outside.txt",
                  ".. \\Outside.txt", "\\Outside.txt", outside.substr(0, 2) + "Outside.txt", "Player.exe:stream",
                  "PLAYER.EXE", "Player.exe", "Help\\.\\Help.txt", "", "Help\\Help.txt"}));
    Choose(*installer, 0, 0);
    const TORLStringList files = TInstallerActionUninstallFiles().CollectFiles();
    EXPECT_EQ(files.Text(), TORLStringList({setup.Dest + u"PLAYER.EXE", setup.Dest + u"Help\\Help.txt"}).Text());
    // "." is refused as well: the list never holds one, so such an entry was not written by setup.
    TInstallerActionUninstallFiles().Execute();
    EXPECT_TRUE(FileExists(temp.Path() + u"Outside.txt"));
    EXPECT_FALSE(Exists(setup.Dest + u"Player.exe"));

    // The same rule as a routine.
    EXPECT_EQ(ResolveEntryBelow(setup.Dest, u"A\\b.txt"), setup.Dest + u"A\\b.txt");
    EXPECT_EQ(ResolveEntryBelow(setup.Dest, u"A/b.txt"), setup.Dest + u"A\\b.txt");
    for (const StringView entry : {u"", u".", u"..", u"A\\..\\..\\x", u"\\\\server\\share\\x", u"C:\\x", u"C:x", u"/x"})
        EXPECT_EQ(ResolveEntryBelow(setup.Dest, entry), u"") << StringToUtf8(entry);
}

// A missing file list stops the action before anything is deleted.
TEST(UninstallFilesAction, NothingIsDeletedWhenTheListsCannotBeMade) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    UseTestProduct();
    auto installer = MakeInstaller(u"");
    installer->SetDestPath(setup.Dest);
    Choose(*installer, 1, 1);
    EXPECT_THROW(TInstallerActionUninstallFiles().Execute(), Exception);
    EXPECT_TRUE(Exists(setup.Dest + u"Empty"));
    EXPECT_TRUE(Exists(setup.Dest + u"!Backup\\z 1.zip"));

    // A relative destination is made full when it is set: a later change of the current folder
    // cannot move the removal to another folder.
    wchar_t saved[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, saved);
    SetCurrentDirectoryW(WidePtr(temp.Path()));
    auto removal = RemovalInstaller(u"Dest\\", setup.List());
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(removal->DestPath(), setup.Dest);
}

// A junction or symbolic link inside the installation folder that points elsewhere: the folder
// list names the link but nothing behind it, entries through it are not files of the
// installation, and no choice deletes what it points to.
TEST(UninstallFilesAction, NeverFollowsALinkOutOfTheFolder) {
    TTempFolder temp;
    TInstallation setup(temp.Path());
    TTestAccounts accounts(temp.Path());
    const String elsewhere = temp.Path() + u"Elsewhere\\";
    MakeFolder(elsewhere);
    MakeFolder(elsewhere + u"Sub");
    WriteText(elsewhere + u"Sub\\Keep.txt", "keep");
    WriteText(elsewhere + u"Player.dll", "keep");
    TFolderLink link(setup.Dest + u"Link", elsewhere);
    TFolderLink innerLink(setup.Dest + u"Help\\Deep\\Link", temp.Path() + u"Current\\AppData");
    if (!link.Made() || !innerLink.Made()) GTEST_SKIP() << "this system cannot make a folder link";

    std::string list = setup.List();
    list.replace(list.find("Count=5"), 7, "5=Link\\Player.dll\r\n6=Link\\Sub\\Keep.txt\r\nCount=7");
    for (const auto& [backups, content] : {std::pair{0, 0}, {0, 1}, {1, 1}}) {
        auto installer = RemovalInstaller(setup.Dest, list);
        Choose(*installer, backups, content);
        TInstallerActionUninstallFiles action;
        if (backups == 0 && content == 0) {
            EXPECT_EQ(action.CollectFiles().Count(), 5);
            const TORLStringList folders = action.CollectFolders();
            const String linkFolder = setup.Dest + u"Link\\";
            EXPECT_TRUE(folders.Contains(linkFolder));
            for (int i = 0; i < folders.Count(); ++i)
                EXPECT_FALSE(folders[i].size() > linkFolder.size() && folders[i].rfind(linkFolder, 0) == 0)
                    << StringToUtf8(folders[i]);
        }
        action.Execute();
        EXPECT_TRUE(FileExists(elsewhere + u"Sub\\Keep.txt"));
        EXPECT_TRUE(FileExists(elsewhere + u"Player.dll"));
        EXPECT_TRUE(FileExists(setup.AppData + u"ORVO3\\ORVO3.ini"));
    }
}

// --- integration --------------------------------------------------------------------------------

class TFakeStart {
public:
    TFakeStart()
        : FOverride(Seams().StartProcess, [this](const String& line) {
              Lines.push_back(line);
              return TUniqueHandle(CreateEventW(nullptr, TRUE, TRUE, nullptr));  // "ended" at once
          }) {}
    std::vector<String> Lines;

private:
    TSeamOverride<TStartProcess> FOverride;
};

// The removal undoes the context menu, the shortcuts and the helper's registration, and takes
// the product's entry out of the list of installed programs, with or without the helper.
TEST(UninstallIntegrationAction, RunsItsTasksInOrder) {
    TTempFolder temp;
    const String dest = temp.Path() + u"Player Folder\\";
    MakeFolder(dest);
    MakeFolder(dest + u"System");
    WriteText(dest + u"System\\orvo_menu64.dll", "MZ");
    WriteText(dest + u"Elevator.exe", "MZ");
    TSeamOverride<TSpecialFolderSource> folders(
        Seams().SpecialFolder, [&](int csidl) { return csidl == CSIDL_DESKTOPDIRECTORY ? temp.Path() : String(); });
    WriteText(temp.Path() + u"ORVO.lnk", "link");

    // A product name of this test alone, so no other entry is touched.
    const std::string name = "uInstallerTest" + std::to_string(GetCurrentProcessId()) + "Player";
    auto files = DefaultSetupFiles();
    std::string& script = files[0].second;
    script.replace(script.find("\"TestPlayer\""), 12, "\"" + name + "\"");
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO /SILENT", files, {{u"Uninstall.ini", FileList({})}});
    installer->SetDestPath(dest);
    const String product = Utf8ToString(name);
    ASSERT_EQ(installer->ProductInfo().GetName(), product);

    TInstallerActionUninstallIntegration action;
    ASSERT_EQ(action.Tasks().size(), 3u);
    EXPECT_NE(dynamic_cast<TInstallerUpdateTaskRemoveShellMenu*>(action.Tasks()[0].get()), nullptr);
    EXPECT_NE(dynamic_cast<TInstallerUpdateTaskRemoveShortcuts*>(action.Tasks()[1].get()), nullptr);
    EXPECT_NE(dynamic_cast<TInstallerUpdateTaskRemoveFromRegistry*>(action.Tasks()[2].get()), nullptr);
    for (bool helper : {true, false}) {
        ASSERT_TRUE(TInstallerApplicationRepository::Register(product, dest + u"Uninstall.exe", u"", u"", u"1"));
        if (!helper) DeleteFileW(WidePtr(dest + u"Elevator.exe"));
        TFakeStart start;
        action.Execute();
        EXPECT_EQ(action.Progress(), 100);
        EXPECT_FALSE(Exists(dest + u"System\\orvo_menu64.dll"));
        EXPECT_FALSE(Exists(temp.Path() + u"ORVO.lnk"));
        String path;
        EXPECT_FALSE(TInstallerApplicationRepository::FindInstallPath(product, path));
        if (helper) {
            ASSERT_EQ(start.Lines.size(), 1u);
            EXPECT_EQ(start.Lines[0], u"\"" + dest + u"Elevator.exe\" /REG=U");
        } else {
            EXPECT_TRUE(start.Lines.empty());
        }
    }
    TInstallerApplicationRepository::Unregister(product);
}

}  // namespace
}  // namespace uinst
