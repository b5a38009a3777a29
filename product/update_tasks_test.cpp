#include "product/update_tasks.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>
#include <string>

#include "base/errors.h"
#include "base/paths.h"
#include "engine/application_repository.h"
#include "engine/engine_test_support.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/seams.h"
#include "product/profile_helper.h"

namespace uinst {
namespace {

using namespace test;

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}
std::string ReadText(const String& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}
void MakeFolder(const String& path) {
    CreateDirectoryW(WidePtr(path), nullptr);
}
bool Exists(const String& path) {
    return GetFileAttributesW(WidePtr(path)) != INVALID_FILE_ATTRIBUTES;
}

// An installer over a destination folder of the test, with the installed version the test names.
std::unique_ptr<TInstaller> UpdateInstaller(const String& dest, int installedVersion) {
    UseTestProduct([installedVersion](TTestProduct& p) { p.InstalledVersion = installedVersion; });
    auto installer = MakeInstaller(u"");
    installer->SetDestPath(dest);
    return installer;
}

TInstallerProfileInfo Profile(const String& source, const String& target) {
    TInstallerProfileInfo profile;
    profile.AccountName = u"Current";
    profile.SourcePath = source;
    profile.TargetPath = target;
    return profile;
}

// An update from the older generation: the profile "ORVO3" is copied to the new folder, where
// the renames of the migration table happen; the files of the new folder leave the deletion list,
// those of the old folder stay in it (so the copy becomes a move), and retired files are marked.
TEST(UpdateConfigsTask, MigratesAProfileOfVersion3900) {
    TTempFolder temp;
    const String dest = temp.Path() + u"Dest\\";
    const String source = temp.Path() + u"AppData\\ORVO3\\";
    const String target = temp.Path() + u"AppData\\TestPlayer\\";
    MakeFolder(dest);
    MakeFolder(dest + u"Skins");
    MakeFolder(temp.Path() + u"AppData");
    MakeFolder(source);
    MakeFolder(source + u"Lists");
    MakeFolder(target);
    WriteText(dest + u"ORVO3.ini", "[System]\r\nVersion=3900\r\n");
    WriteText(dest + u"Skins\\Night Calm.ocs4", "skin");
    WriteText(dest + u"Skins\\Mine.ocs4", "skin");
    for (const char16_t* name : {u"ORVO3.ini", u"ORVO3-cat.db", u"orvo3_menu.ini", u"ORVO3ac.ini", u"ORVO3ate.ini",
                                 u"ORVO3-SkinLayout.ini", u"ORVO3.bak", u"ORVO3ac.bak", u"AlbumArts.db",
                                 u"AlbumArtCache.db", u"AlbumArtsForURLs.db", u"Lists\\Default.m3u"})
        WriteText(source + name, StringToUtf8(name));
    WriteText(target + u"Earlier.txt", "earlier");

    auto installer = UpdateInstaller(dest, 3900);
    TORLStringList list{source + u"ORVO3.ini", source + u"Lists\\Default.m3u", dest + u"ORVO3.ini",
                        target + u"Earlier.txt"};
    auto profile = Profile(source, target);
    TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list);

    EXPECT_EQ(ReadText(dest + u"ORVO.ini"), "[System]\r\nVersion=3900\r\n");
    EXPECT_FALSE(Exists(dest + u"ORVO3.ini"));
    const std::map<String, std::string> renamed = {{u"ORVO.ini", "ORVO3.ini"},
                                                   {u"ORVO-cat.db", "ORVO3-cat.db"},
                                                   {u"ORVO-ContextMenu.ini", "orvo3_menu.ini"},
                                                   {u"ORVOac.ini", "ORVO3ac.ini"},
                                                   {u"ORVOate.ini", "ORVO3ate.ini"},
                                                   {u"AlbumArts.Custom.db", "AlbumArtsForURLs.db"},
                                                   {u"Lists\\Default.m3u", "Lists\\Default.m3u"}};
    for (const auto& [name, content] : renamed) {
        ASSERT_TRUE(FileExists(target + name)) << StringToUtf8(name);
        EXPECT_EQ(ReadText(target + name), content);
    }
    EXPECT_FALSE(Exists(target + u"ORVO3.ini"));
    EXPECT_TRUE(FileExists(source + u"ORVO3.ini"));  // the preparing action deletes it from the list

    const TORLStringList expected{source + u"ORVO3.ini",
                                  source + u"Lists\\Default.m3u",
                                  dest + u"ORVO3.ini",
                                  target + u"ORVO3-SkinLayout.ini",
                                  target + u"ORVO3.bak",
                                  target + u"ORVO3ac.bak",
                                  dest + u"Skins\\Night Calm.ocs4",
                                  target + u"AlbumArts.db",
                                  target + u"AlbumArtCache.db"};
    EXPECT_EQ(list.Text(), expected.Text());
}

// From 4600 only the album-art cache step runs; a missing file is no error, and a rename that
// fails there is swallowed. From 5020 nothing is renamed or marked.
TEST(UpdateConfigsTask, LaterVersionsRunOnlyTheirSteps) {
    TTempFolder temp;
    const String dest = temp.Path();
    const String profileFolder = dest + u"Profile\\";
    MakeFolder(profileFolder);
    MakeFolder(dest + u"Skins");
    WriteText(dest + u"ORVO3.ini", "old");
    WriteText(dest + u"Skins\\Calm Night.ocs4", "skin");
    for (const char16_t* name : {u"ORVO3.ini", u"AlbumArts.db", u"AlbumArtCache.db"})
        WriteText(profileFolder + name, "x");
    auto profile = Profile(profileFolder, profileFolder);  // a portable profile: copying is nothing

    {
        auto installer = UpdateInstaller(dest, 4600);
        TORLStringList list{profileFolder + u"ORVO3.ini", dest + u"ORVO3.ini"};
        TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list);
        EXPECT_EQ(list.Text(), TORLStringList({dest + u"ORVO3.ini", profileFolder + u"AlbumArtCache.db"}).Text());
        EXPECT_TRUE(FileExists(dest + u"ORVO3.ini"));
        EXPECT_TRUE(FileExists(profileFolder + u"ORVO3.ini"));

        WriteText(profileFolder + u"AlbumArtsForURLs.db", "urls");
        WriteText(profileFolder + u"AlbumArts.Custom.db", "custom");
        EXPECT_NO_THROW(TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list));
        EXPECT_EQ(ReadText(profileFolder + u"AlbumArtsForURLs.db"), "urls");
        EXPECT_EQ(ReadText(profileFolder + u"AlbumArts.Custom.db"), "custom");
        // Without a deletion list nothing is marked, and nothing fails.
        EXPECT_NO_THROW(TInstallerUpdateTaskUpdateConfigs(profile).Execute(nullptr));
    }
    {
        auto installer = UpdateInstaller(dest, 5020);
        TORLStringList list{profileFolder + u"AlbumArts.db"};
        TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list);
        EXPECT_TRUE(list.Empty());
        EXPECT_EQ(ReadText(profileFolder + u"AlbumArtsForURLs.db"), "urls");
    }
}

// An older-generation profile that already holds the new file: the rename fails with the
// system's error, which stops the update before anything is deleted.
TEST(UpdateConfigsTask, BothConfigurationFilesStopTheMigration) {
    TTempFolder temp;
    const String dest = temp.Path() + u"Dest\\";
    const String profileFolder = temp.Path() + u"TestPlayer\\";
    MakeFolder(dest);
    MakeFolder(profileFolder);
    WriteText(profileFolder + u"ORVO3.ini", "old");
    WriteText(profileFolder + u"ORVO.ini", "new");
    auto installer = UpdateInstaller(dest, 3900);
    auto profile = Profile(profileFolder, profileFolder);
    TORLStringList list;
    EXPECT_THROW(TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list), EOSError);
    EXPECT_EQ(ReadText(profileFolder + u"ORVO3.ini"), "old");
    EXPECT_EQ(ReadText(profileFolder + u"ORVO.ini"), "new");

    // The same in the installation folder.
    DeleteFileW(WidePtr(profileFolder + u"ORVO.ini"));
    WriteText(dest + u"ORVO3.ini", "old");
    WriteText(dest + u"ORVO.ini", "new");
    EXPECT_THROW(TInstallerUpdateTaskUpdateConfigs(profile).Execute(&list), EOSError);
    EXPECT_EQ(ReadText(dest + u"ORVO.ini"), "new");
}

// A profile whose source folder is gone cannot be copied: the task raises before it touches
// anything.
TEST(UpdateConfigsTask, AProfileThatCannotBeCopiedStopsTheTask) {
    TTempFolder temp;
    WriteText(temp.Path() + u"ORVO3.ini", "old");
    auto installer = UpdateInstaller(temp.Path(), 3900);
    auto profile = Profile(temp.Path() + u"Gone\\", temp.Path() + u"New\\");
    EXPECT_THROW(TInstallerUpdateTaskUpdateConfigs(profile).Execute(nullptr), Exception);
    EXPECT_TRUE(FileExists(temp.Path() + u"ORVO3.ini"));
}

// Entries of the list of installed programs are removed only when their folder lies inside the
// destination; a copy elsewhere keeps its entry.
TEST(RemoveUninstallInfoTask, RemovesOnlyEntriesOfTheDestination) {
    TTempFolder temp;
    const String dest = temp.Path() + u"Dest\\";
    MakeFolder(dest);
    MakeFolder(dest + u"Sub");
    MakeFolder(temp.Path() + u"Dest2");
    MakeFolder(temp.Path() + u"Other");
    auto installer = UpdateInstaller(dest, 0);

    const String prefix = u"uInstallerTest" + Utf8ToString(std::to_string(GetCurrentProcessId()));
    const std::map<String, std::pair<String, bool>> entries = {
        {prefix + u"Here", {dest, true}},
        {prefix + u"Below", {dest + u"Sub\\", true}},
        {prefix + u"Sibling", {temp.Path() + u"Dest2\\", false}},  // "...\Dest2\" begins with "...\Dest"
        {prefix + u"Climbs", {dest + u"..\\Other\\", false}},
    };
    for (const auto& [name, entry] : entries)
        ASSERT_TRUE(TInstallerApplicationRepository::Register(name, entry.first + u"Uninstall.exe", u"", u"", u"1"));
    for (const auto& [name, entry] : entries) {
        EXPECT_EQ(TInstallerUpdateTaskRemoveUninstallInfo::RemoveEntry(name), entry.second) << StringToUtf8(name);
        String path;
        EXPECT_EQ(TInstallerApplicationRepository::FindInstallPath(name, path), !entry.second);
    }
    EXPECT_FALSE(TInstallerUpdateTaskRemoveUninstallInfo::RemoveEntry(prefix + u"Missing"));
    for (const auto& [name, entry] : entries) TInstallerApplicationRepository::Unregister(name);
}

TEST(RemoveShellMenuTask, DeletesTheMenuLibrariesOfTheDestination) {
    TTempFolder temp;
    MakeFolder(temp.Path() + u"System");
    // Not loadable libraries (as one built for the other processor width): deleted all the same.
    WriteText(temp.Path() + u"System\\orvo_menu32.dll", "MZ");
    WriteText(temp.Path() + u"System\\orvo_menu64.dll", "MZ");
    WriteText(temp.Path() + u"System\\other.dll", "MZ");
    auto installer = UpdateInstaller(temp.Path(), 0);
    TInstallerUpdateTaskRemoveShellMenu().Execute(nullptr);
    EXPECT_FALSE(Exists(temp.Path() + u"System\\orvo_menu32.dll"));
    EXPECT_FALSE(Exists(temp.Path() + u"System\\orvo_menu64.dll"));
    EXPECT_TRUE(Exists(temp.Path() + u"System\\other.dll"));
    EXPECT_NO_THROW(TInstallerUpdateTaskRemoveShellMenu().Execute(nullptr));  // nothing left: nothing happens
}

// The five special folders of the shortcut task, as folders of the test.
class TTestShortcutFolders {
public:
    explicit TTestShortcutFolders(const String& root)
        : FOverride(Seams().SpecialFolder, [this](int csidl) { return Folders[csidl]; }) {
        for (const auto& [csidl, name] : std::map<int, String>{{CSIDL_DESKTOPDIRECTORY, u"Desktop"},
                                                               {CSIDL_COMMON_DESKTOPDIRECTORY, u"Public Desktop"},
                                                               {CSIDL_STARTMENU, u"Start Menu"},
                                                               {CSIDL_COMMON_PROGRAMS, u"Programs"},
                                                               {CSIDL_COMMON_STARTMENU, u"Common Start Menu"}}) {
            Folders[csidl] = root + name + u"\\";
            MakeFolder(Folders[csidl]);
        }
    }
    std::map<int, String> Folders;

private:
    TSeamOverride<TSpecialFolderSource> FOverride;
};

void PlaceShortcuts(const TTestShortcutFolders& folders, const String& name) {
    for (const auto& [csidl, folder] : folders.Folders) {
        if (csidl == CSIDL_DESKTOPDIRECTORY || csidl == CSIDL_COMMON_DESKTOPDIRECTORY) {
            WriteText(folder + name + u".lnk", "link");
        } else {
            MakeFolder(folder + name);
            MakeFolder(folder + name + u"\\Tools");
            WriteText(folder + name + u"\\Tools\\Help.lnk", "link");
        }
    }
}

int CountShortcuts(const TTestShortcutFolders& folders, const String& name) {
    int count = 0;
    for (const auto& [csidl, folder] : folders.Folders)
        count += Exists(folder + name + u".lnk") + Exists(folder + name);
    return count;
}

TEST(RemoveShortcutsTask, RemovesCurrentAndOlderGenerationShortcuts) {
    TTempFolder temp;
    TTestShortcutFolders folders(temp.Path());
    for (const char16_t* name : {u"ORVO", u"ORVO3", u"ORVO Extra", u"Other"}) PlaceShortcuts(folders, name);
    {
        auto installer = UpdateInstaller(temp.Path(), 4600);
        TInstallerUpdateTaskRemoveShortcuts().Execute(nullptr);
        EXPECT_EQ(CountShortcuts(folders, u"ORVO"), 0);
        EXPECT_EQ(CountShortcuts(folders, u"ORVO3"), 5);  // an installation from 4000 on: not its own
    }
    {
        auto installer = UpdateInstaller(temp.Path(), 3900);
        TInstallerUpdateTaskRemoveShortcuts().Execute(nullptr);
        EXPECT_EQ(CountShortcuts(folders, u"ORVO3"), 0);
    }
    EXPECT_EQ(CountShortcuts(folders, u"ORVO Extra"), 5);
    EXPECT_EQ(CountShortcuts(folders, u"Other"), 5);
}

// A special folder the system cannot name is skipped: "ORVO.lnk" alone would be a file of the
// current folder.
TEST(RemoveShortcutsTask, AFolderWithoutANameIsSkipped) {
    TTempFolder temp;
    TTestShortcutFolders folders(temp.Path());
    PlaceShortcuts(folders, u"ORVO");
    folders.Folders[CSIDL_DESKTOPDIRECTORY] = u"";
    folders.Folders[CSIDL_COMMON_PROGRAMS] = u"Programs\\";  // relative: no better
    MakeFolder(temp.Path() + u"Desktop\\Programs");
    MakeFolder(temp.Path() + u"Desktop\\Programs\\ORVO");
    WriteText(temp.Path() + u"Desktop\\Programs\\ORVO\\x.lnk", "");
    wchar_t saved[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, saved);
    SetCurrentDirectoryW(WidePtr(temp.Path() + u"Desktop"));
    {
        auto installer = UpdateInstaller(temp.Path(), 5030);
        TInstallerUpdateTaskRemoveShortcuts().Execute(nullptr);
    }
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(Exists(temp.Path() + u"Desktop\\ORVO.lnk"));
    EXPECT_TRUE(Exists(temp.Path() + u"Programs\\ORVO"));
    EXPECT_TRUE(Exists(temp.Path() + u"Desktop\\Programs\\ORVO\\x.lnk"));
    EXPECT_FALSE(Exists(temp.Path() + u"Public Desktop\\ORVO.lnk"));
    EXPECT_FALSE(Exists(temp.Path() + u"Start Menu\\ORVO"));
}

}  // namespace
}  // namespace uinst
