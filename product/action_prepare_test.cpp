#include "product/action_prepare.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/engine_test_support.h"
#include "engine/action_extract.h"
#include "engine/installer_errors.h"
#include "engine/run_journal.h"
#include "platform/files.h"
#include "product/backup_archive.h"
#include "platform/handles.h"
#include "base/paths.h"

namespace uinst {
namespace {

using namespace test;

void Write(const String& path, const std::string& text) {
    CreateDirectoryW(WidePtr(ExtractFilePath(path)), nullptr);
    WriteFileBytes(path, text.data(), text.size());
}

std::vector<String> Archives(const String& folder) {
    return ListFiles(folder + u"!Backup\\", u"*.zip");
}

// A destination that holds a portable copy of version 4600.
void MakePortableCopy(const String& dest) {
    Write(dest + u"ORVO.ini", "[System]\r\nVersion=4600\r\nUserMode=0\r\n");
    Write(dest + u"Player.exe", "old player");
    Write(dest + u"Skins\\Mine.ocs4", "user skin");
    Write(dest + u"AlbumArts.db", "cache");
    Write(dest + u"Profile\\ORVO.ini", "[Player]\r\nVolume=50\r\n");
    Write(dest + u"\u0422\u0435\u0441\u0442.txt", "cyrillic name");
}

std::unique_ptr<TInstaller> RunPrepare(const String& commandLine, std::vector<TInstallerActionClass> extra = {}) {
    UseTestProduct([extra](TTestProduct& p) {
        p.InstalledVersion = 4600;
        p.Portable = true;
        p.Classes = {ActionClassOf<TInstallerActionPrepare>(u"Prepare")};
        for (const auto& c : extra) p.Classes.push_back(c);
    });
    auto installer = MakeInstaller(commandLine);
    installer->Start(true);
    return installer;
}

TEST(Prepare, UpdateBacksUpReplacesAndKeepsUserContent) {
    TTempFolder dest;
    MakePortableCopy(dest.Path());
    for (int i = 1; i <= 5; ++i)
        Write(dest.Path() + u"!Backup\\z Before install 5.0" + Utf8ToString(std::to_string(i)) + u" [2020].zip", "x");
    auto installer = RunPrepare(u"/AUTO=\"" + dest.Path() + u"\" /SILENT");
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_TRUE(installer->HasOption(ioUpdate));
    EXPECT_TRUE(installer->HasOption(ioPortable));

    const auto archives = Archives(dest.Path());
    ASSERT_EQ(archives.size(), 3u);  // the newest three, this run's among them
    String newest;
    for (const auto& a : archives)
        if (a.find(u"z Before install 5.03 [") != String::npos) newest = a;
    ASSERT_FALSE(newest.empty());
    const auto names = ReadBackupArchiveNames(newest);
    EXPECT_NE(std::find(names.begin(), names.end(), u"Profile/ORVO.ini"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), u"\u0422\u0435\u0441\u0442.txt"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), u"Skins/Mine.ocs4"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), u"AlbumArts.db"), names.end());  // never archived

    EXPECT_FALSE(FileExists(dest.Path() + u"Player.exe"));  // replaced files are gone
    EXPECT_FALSE(FileExists(dest.Path() + u"AlbumArts.db"));
    EXPECT_TRUE(FileExists(dest.Path() + u"Skins\\Mine.ocs4"));  // user content survives an update
}

TEST(Prepare, AFreshInstallationIntoAFolderOfTheUsersKeepsItsFiles) {
    TTempFolder dest;
    Write(dest.Path() + u"Letter.txt", "dear");
    Write(dest.Path() + u"Photos\\Beach.jpg", "sand");
    Write(dest.Path() + u"Player.exe", "a file of the same name as a component");
    for (const char16_t* portable : {u"", u" /PORTABLE"}) {
        UseTestProduct([](TTestProduct& p) {
            p.InstalledVersion = 0;  // no copy of the player in the folder
            p.Portable = false;
            p.Classes = {ActionClassOf<TInstallerActionPrepare>(u"Prepare")};
        });
        auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SILENT" + portable);
        installer->Start(true);
        ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
        EXPECT_TRUE(FileExists(dest.Path() + u"Letter.txt"));
        EXPECT_TRUE(FileExists(dest.Path() + u"Photos\\Beach.jpg"));
        for (const String& archive : Archives(dest.Path())) {
            const auto names = ReadBackupArchiveNames(archive);
            EXPECT_EQ(std::find(names.begin(), names.end(), u"Program/Letter.txt"), names.end());
            EXPECT_EQ(std::find(names.begin(), names.end(), u"Letter.txt"), names.end());
        }
    }
    EXPECT_FALSE(FileExists(dest.Path() + u"Player.exe"));  // a component's target is still replaced
}

TEST(Prepare, NoBackupCreatesNoFolderAndKeepsUnnamedFiles) {
    TTempFolder dest;
    MakePortableCopy(dest.Path());
    auto installer = RunPrepare(u"/AUTO=\"" + dest.Path() + u"\" /SILENT /NOBACKUP");
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"!Backup"));
    EXPECT_FALSE(FileExists(dest.Path() + u"Player.exe"));  // a component target
    EXPECT_TRUE(FileExists(dest.Path() + u"AlbumArts.db"));
}

TEST(Prepare, AFailedBackupDeletesNothing) {
    TTempFolder dest;
    MakePortableCopy(dest.Path());
    {
        // A file nobody may read: the archive cannot be written.
        TUniqueFile locked(
            CreateFileW(WidePtr(dest.Path() + u"Player.exe"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        auto installer = RunPrepare(u"/AUTO=\"" + dest.Path() + u"\" /SILENT");
        ASSERT_EQ(installer->Log().Count(), 1);
        EXPECT_EQ(installer->Log()[0].rfind(
                      u"An error occurs while backuping the \"" + dest.Path() + u"Player.exe\" file (10)\r\n", 0),
                  0u)
            << StringToUtf8(installer->Log()[0]);
    }
    EXPECT_TRUE(FileExists(dest.Path() + u"Player.exe"));
    EXPECT_TRUE(FileExists(dest.Path() + u"AlbumArts.db"));
    EXPECT_TRUE(FileExists(dest.Path() + u"Profile\\ORVO.ini"));
}

TEST(Prepare, TooManyBytesForABackupIsRefusedBeforeAnythingIsWritten) {
    TTempFolder dest;
    MakePortableCopy(dest.Path());
    {
        TUniqueFile big(
            CreateFileW(WidePtr(dest.Path() + u"big.bin"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER size;
        size.QuadPart = TInstallerActionPrepare::kBackupSizeLimit;  // with the other files, past the limit
        ASSERT_TRUE(SetFilePointerEx(big.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(big.Get()));
    }
    auto installer = RunPrepare(u"/AUTO=\"" + dest.Path() + u"\" /SILENT");
    ASSERT_EQ(installer->Log().Count(), 1);
    EXPECT_EQ(installer->Log()[0].rfind(u"Too many files for backup\r\n", 0), 0u);
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"!Backup"));
    EXPECT_TRUE(FileExists(dest.Path() + u"Player.exe"));
    DeleteFileW(WidePtr(dest.Path() + u"big.bin"));
}

// A step after the extraction that fails, as a full disk or a helper would make it fail.
class TFailingAction : public TInstallerAction {
public:
    void Execute() override { throw EInstallerInstallError(u"Disk full"); }
};

// Every folder and file below the folder with the files' bytes, without the backup archives
// that are not in `kept`.
std::map<String, std::string> Tree(const String& folder, const std::map<String, std::string>* kept = nullptr,
                                   const String& relative = String()) {
    std::map<String, std::string> out;
    std::vector<String> names;
    std::vector<bool> folders;
    WIN32_FIND_DATAW data;
    const TUniqueFind find(FindFirstFileW(WidePtr(folder + relative + u"*"), &data));
    if (!find) return out;
    do {
        const String name = FromWide(data.cFileName);
        if (name == u"." || name == u"..") continue;
        names.push_back(name);
        folders.push_back((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find.Get(), &data));
    for (size_t i = 0; i < names.size(); ++i) {
        const String path = relative + names[i];
        if (folders[i]) {
            out[path + u"\\"] = "(folder)";
            out.merge(Tree(folder, kept, path + u"\\"));
        } else if (!kept || path.rfind(u"!Backup\\", 0) != 0 || kept->count(path)) {
            const auto bytes = ReadFileBytes(folder + path);
            out[path] = std::string(bytes.begin(), bytes.end());
        }
    }
    return out;
}

TEST(Prepare, AnUpdateThatFailsAfterItsExtractionIsRolledBackWithOrWithoutABackup) {
    for (const bool backup : {true, false}) {
        SCOPED_TRACE(backup ? "with a backup" : "with /NOBACKUP");
        TTempFolder dest;
        MakePortableCopy(dest.Path());
        Write(dest.Path() + u"Player.exe", "old player");
        for (int i = 1; i <= 5; ++i)
            Write(dest.Path() + u"!Backup\\z Before install 5.0" + Utf8ToString(std::to_string(i)) + u" [2020].zip",
                  "x");
        const auto before = Tree(dest.Path());
        UseTestProduct([](TTestProduct& p) {
            p.InstalledVersion = 4600;
            p.Portable = true;
            p.Classes = {ActionClassOf<TInstallerActionPrepare>(u"Prepare"),
                         ActionClassOf<TInstallerActionExtract>(u"Extract"), ActionClassOf<TFailingAction>(u"Failing")};
        });
        auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SILENT" + (backup ? u"" : u" /NOBACKUP"),
                                       DefaultSetupFiles(), {{u"Player.exe", "new player"}});
        installer->Start(true);
        ASSERT_TRUE(installer->HasErrors());
        EXPECT_NE(installer->Log().Text().find(u"Disk full"), String::npos) << StringToUtf8(installer->Log().Text());
        EXPECT_EQ(Archives(dest.Path()).size(), backup ? 6u : 5u);  // this run's archive stays
        const auto after = Tree(dest.Path(), &before);
        EXPECT_EQ(after, before);
        EXPECT_FALSE(TRunJournal::Exists(dest.Path()));
        EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest.Path())));
    }
}

TEST(Prepare, ASuccessfulUpdateLeavesNoJournalAndNothingSetAside) {
    TTempFolder dest;
    MakePortableCopy(dest.Path());
    UseTestProduct([](TTestProduct& p) {
        p.InstalledVersion = 4600;
        p.Portable = true;
        p.Classes = {ActionClassOf<TInstallerActionPrepare>(u"Prepare"),
                     ActionClassOf<TInstallerActionExtract>(u"Extract")};
    });
    auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SILENT /NOBACKUP", DefaultSetupFiles(),
                                   {{u"Player.exe", "new"}});
    installer->Start(true);
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_EQ(ReadFileBytes(dest.Path() + u"Player.exe"), std::vector<uint8_t>({'n', 'e', 'w'}));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest.Path())));
}

}  // namespace
}  // namespace uinst
