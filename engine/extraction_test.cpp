#include <gtest/gtest.h>

#include "engine/action_extract.h"
#include "engine/application_repository.h"
#include "engine/engine_test_support.h"
#include "engine/extract_helper.h"
#include "engine/file_list.h"
#include "engine/installer_errors.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/seams.h"
#include "platform/shell_folders.h"
#include <shlobj.h>

namespace uinst {
namespace {

using namespace test;

std::string Text(const String& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TFiles Product() {
    return {{u"Player.exe", "player bytes"}, {u"Help.txt", "russian help"}};
}

class TProgressRecorder : public IInstallerNotify {
public:
    std::vector<int> Current;
    void Notify(int code, intptr_t param) override {
        if (code == kNotifyProgress) Current.push_back(static_cast<int>(param & 0xFFFF));
    }
};

std::unique_ptr<TInstaller> RunExtraction(const String& commandLine, const TFiles& product = Product(),
                                          TProgressRecorder* recorder = nullptr) {
    UseTestProduct([](TTestProduct& p) { p.Classes = {ActionClassOf<TInstallerActionExtract>(u"Extract")}; });
    auto installer = MakeInstaller(commandLine, DefaultSetupFiles(), product);
    if (recorder) installer->AddListener(recorder);
    installer->Start(true);
    if (recorder) installer->RemoveListener(recorder);
    return installer;
}

TEST(Extraction, WritesApplicableFilesAndTheUninstaller) {
    TTempFolder dest;
    TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"TestPlayer", KEY_WOW64_32KEY);
    auto installer = RunExtraction(u"/AUTO=\"" + dest.Path() + u"\" /SILENT");
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_EQ(Text(dest.Path() + u"Player.exe"), "player bytes");
    EXPECT_FALSE(DirectoryExists(dest.Path() + u"Help"));  // the Russian-only entry
    EXPECT_TRUE(FileExists(dest.Path() + u"Uninstall.exe"));

    TSetupPackageReader data(dest.Path() + u"Uninstall.dat");
    std::unique_ptr<TMemoryStream> stream;
    ASSERT_TRUE(data.Extract(u"Uninstall.ini", stream));
    ASSERT_GE(stream->Size(), 2);
    EXPECT_EQ(stream->Bytes()[0], 0xFF);  // UTF-16LE with its mark
    TORLIniFile ini;
    ini.LoadFromStream(*stream);
    EXPECT_EQ(ini.ReadSectionText(u"Uninstall"), u"0=Player.exe\r\nCount=3\r\n1=Uninstall.dat\r\n2=Uninstall.exe\r\n");

    String installPath;
    ASSERT_TRUE(TInstallerApplicationRepository::FindInstallPath(u"TestPlayer", installPath));
    EXPECT_EQ(installPath, dest.Path());
    auto key =
        TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"TestPlayer", KEY_READ | KEY_WOW64_32KEY);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString(u"UninstallString"), dest.Path() + u"Uninstall.exe");
    EXPECT_EQ(key->ReadString(u"QuietUninstallString"), u"\"" + dest.Path() + u"Uninstall.exe\" /AUTO /SILENT");
    // The player, the uninstaller and its data, rounded up to whole KiB.
    const int64_t bytes = 12 + FileSizeOf(dest.Path() + u"Uninstall.exe") + FileSizeOf(dest.Path() + u"Uninstall.dat");
    EXPECT_EQ(key->ReadDWord(u"EstimatedSize"), static_cast<uint32_t>((bytes + 1023) / 1024));
    EXPECT_EQ(key->ReadString(u"DisplayVersion"), u"5.0.3");
    EXPECT_EQ(key->ReadDWord(u"NoModify"), 1u);
    EXPECT_EQ(key->ReadString(u"InstallDate").value_or(u"").size(), 8u);
    EXPECT_TRUE(TInstallerApplicationRepository::Unregister(u"Test Player"));
    EXPECT_FALSE(TInstallerApplicationRepository::FindInstallPath(u"TestPlayer", installPath));
}

TEST(Extraction, PortableInstallationsAreNotRegistered) {
    TTempFolder dest;
    auto installer = RunExtraction(u"/AUTO=\"" + dest.Path() + u"\" /SILENT /PORTABLE");
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_TRUE(FileExists(dest.Path() + u"Uninstall.dat"));
    String path;
    EXPECT_FALSE(TInstallerApplicationRepository::FindInstallPath(u"TestPlayer", path));
}

TEST(Extraction, ProgressIsSetBeforeEachFile) {
    TTempFolder dest;
    TFiles setup = DefaultSetupFiles();
    setup[0].second =
        "<i><product><Settings><S name=\"ProductName\" value=\"TestPlayer\"/></Settings><Components>"
        "<File name=\"$DEST\\a\"/><File name=\"$DEST\\b\\b\"/><File name=\"$DEST\\c\"/>"
        "<File name=\"$DEST\\d\"/></Components></product></i>";
    UseTestProduct([](TTestProduct& p) { p.Classes = {ActionClassOf<TInstallerActionExtract>(u"Extract")}; });
    auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SILENT /PORTABLE", setup,
                                   {{u"a", "1"}, {u"b", "2"}, {u"c", "3"}, {u"d", ""}});
    TProgressRecorder recorder;
    installer->AddListener(&recorder);
    installer->Start(true);
    installer->RemoveListener(&recorder);
    ASSERT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
    EXPECT_EQ(recorder.Current, (std::vector<int>{0, 25, 50, 75, 100}));
    EXPECT_TRUE(FileExists(dest.Path() + u"b\\b"));
    EXPECT_EQ(Text(dest.Path() + u"d"), "");
}

TEST(Extraction, LockedTargets) {
    TTempFolder dest;
    TSeamOverride sleep(Seams().Sleep, std::function<void(uint32_t)>([](uint32_t) {}));
    uint64_t now = 0;
    TSeamOverride clock(Seams().TickCount, std::function<uint64_t()>([&] { return now += 1000; }));
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SUPPRESSMSGBOXES");
    // Restored however the test ends: later tests must see boxes as they were.
    const TMessageBoxSuppression suppressed;
    const String target = dest.Path() + u"Player.exe";
    TInstallerScriptFile entry;
    entry.Name = u"$DEST\\Player.exe";
    entry.Value = u"Player.exe";
    auto extract = [&](const TFiles& product) {
        auto other = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\"", DefaultSetupFiles(), product);
        other->ExtractHelper().Extract(entry);
    };
    installer.reset();

    // Same content, held open: left alone, no question, no ".bak".
    extract(Product());
    {
        TUniqueFile held(
            CreateFileW(WidePtr(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_NO_THROW(extract(Product()));
        EXPECT_FALSE(FileExists(target + u".bak"));
    }
    // Other content, held by a program that allows renaming (as a running program does): moved aside.
    {
        TUniqueFile held(CreateFileW(WidePtr(target), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        extract({{u"Player.exe", "new player"}});
        EXPECT_EQ(Text(target), "new player");
        EXPECT_EQ(Text(target + u".bak"), "player bytes");
    }
    // Other content, held so that it cannot move either: an unattended run retries, then aborts.
    {
        TUniqueFile held(
            CreateFileW(WidePtr(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        try {
            extract({{u"Player.exe", "third"}});
            FAIL() << "a locked file must end the run";
        } catch (const EInstallerInstallError& e) {
            EXPECT_NE(e.Message().find(target), String::npos);
        }
    }
    EXPECT_EQ(Text(target), "new player");
}

TEST(Extraction, MissingSourcesAndUncreatableFoldersAreErrors) {
    TTempFolder dest;
    WriteFileBytes(dest.Path() + u"Help", "x", 1);  // a file where a folder must go
    UseTestProduct();
    TFiles setup = DefaultSetupFiles();
    auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\"", setup, {});
    TInstallerScriptFile missing;
    missing.Name = u"$DEST\\Player.exe";
    EXPECT_THROW(installer->ExtractHelper().Extract(missing), EInstallerInstallError);
    TInstallerScriptFile blocked;
    blocked.Name = u"$DEST\\Help\\Sub\\x.txt";
    blocked.Value = u"License.rtf";
    try {
        installer->ExtractHelper().Extract(blocked);
        FAIL();
    } catch (const EInstallerInstallError& e) {
        EXPECT_NE(e.Message().find(u"Help"), String::npos);
    }
}

TEST(Extraction, ProtectedDestinationsAreRefusedBeforeAnythingIsWritten) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    for (const String& folder :
         {String(u"C:\\"), installer->Resources().ProgramFilesFolder(), installer->Resources().DesktopFolder(),
          GetSpecialFolder(CSIDL_WINDOWS), GetSpecialFolder(CSIDL_PERSONAL), GetSpecialFolder(CSIDL_APPDATA),
          GetSpecialFolder(CSIDL_PROFILE)}) {
        EXPECT_TRUE(installer->IsProtectedFolder(folder)) << StringToUtf8(folder);
    }
    EXPECT_FALSE(installer->IsProtectedFolder(installer->Resources().ProgramFilesFolder() + u"ORVO\\"));
    installer->SetDestPath(u"C:\\");
    EXPECT_THROW(installer->Start(true), EInstallerInstallError);
    EXPECT_EQ(installer->State(), isIdle);
}

TEST(FileList, FindFilesListsFilesBeforeSubFoldersInLogicalOrder) {
    TTempFolder root;
    for (const char16_t* folder : {u"sub10", u"sub2", u"skip", u"skip\\deep"})
        CreateDirectoryW(WidePtr(root.Path() + folder), nullptr);
    for (const char16_t* file : {u"top.txt", u"sub10\\a.txt", u"sub2\\b.txt", u"skip\\c.txt", u"skip\\deep\\d.txt"})
        WriteFileBytes(root.Path() + file, "x", 1);
    TORLStringList found;
    FindFiles(root.Path(), root.Path() + u"skip\\", found);
    EXPECT_EQ(found.Text(),
              root.Path() + u"top.txt\r\n" + root.Path() + u"sub2\\b.txt\r\n" + root.Path() + u"sub10\\a.txt\r\n");

    TInstallerFileList list;
    list.AddFolder(root.Path(), u"", u"Program\\");
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Items(0).Name, u"Program\\top.txt");
    list.Add(root.Path() + u"other\\TOP.TXT", u"x");
    list.RemoveByName(u"top.txt");
    EXPECT_EQ(list.Count(), 4);
    for (int i = 0; i < list.Count(); ++i) EXPECT_NE(list.Items(i).Name, u"Program\\top.txt");
}

}  // namespace
}  // namespace uinst
