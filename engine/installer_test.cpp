#include "engine/installer.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "engine/spawn_service.h"
#include "base/paths.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "platform/shell_folders.h"

namespace uinst {
namespace {

using namespace test;

TEST(InstallerModes, UninstallDataInTheProductPackageMeansRemoval) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT /PORTABLE", DefaultSetupFiles(),
                                   {{u"Uninstall.ini", "[Uninstall]\r\nCount=0\r\n"}});
    EXPECT_EQ(installer->Mode(), imUninstall);
    EXPECT_EQ(installer->Options(), (TInstallerOptions{ioAuto, ioSilent}));
    EXPECT_EQ(installer->DestPath(), u"");  // set later from "PATH"
    auto quiet = MakeInstaller(u"/SILENT", DefaultSetupFiles(), {{u"uninstall.INI", ""}});
    EXPECT_EQ(quiet->Options(), TInstallerOptions{});  // SILENT counts only with AUTO
}

TEST(InstallerModes, AutomaticInstallationReadsItsSwitches) {
    TTempFolder folder;
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT /PORTABLE /NOBACKUP /RUN");
    EXPECT_EQ(installer->Mode(), imInstall);
    EXPECT_EQ(installer->DestPath(), folder.Path());
    EXPECT_EQ(installer->Options(), (TInstallerOptions{ioAuto, ioSilent, ioPortable, ioNoBackup, ioRun}));

    // An empty AUTO value takes the product's default folder; without AUTO the run is interactive.
    auto byDefault = MakeInstaller(u"/AUTO");
    EXPECT_EQ(byDefault->DestPath(), byDefault->Resources().ProgramFilesFolder() + u"TestPlayer\\");
    auto interactive = MakeInstaller(u"");
    EXPECT_EQ(interactive->DestPath(), interactive->Resources().ProgramFilesFolder() + u"TestPlayer\\");
    EXPECT_FALSE(interactive->HasOption(ioUpdate));  // nothing updatable there
}

TEST(InstallerModes, UpdateNeedsAnUpdatableInstallation) {
    TTempFolder folder;
    UseTestProduct();
    try {
        MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /UPDATE /SILENT");
        FAIL() << "an update of nothing must fail";
    } catch (const EInstallerUpdateError& e) {
        EXPECT_EQ(e.Message(), u"Cannot install update on v0.00");
    }
    EXPECT_EQ(Installer, nullptr);

    UseTestProduct([](TTestProduct& p) { p.InstalledVersion = 4512; });
    auto update = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /UPDATE /SILENT /PORTABLE");
    // With UPDATE, PORTABLE and SILENT are not read.
    EXPECT_EQ(update->Options(), (TInstallerOptions{ioAuto, ioUpdate}));
    UseTestProduct([](TTestProduct& p) { p.InstalledVersion = 5100; });
    EXPECT_THROW(MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /UPDATE"), EInstallerUpdateError);
}

TEST(InstallerDestination, SameStringReadsOnceAndPortableUpdatesStayPortable) {
    TTempFolder folder;
    UseTestProduct([](TTestProduct& p) {
        p.InstalledVersion = 4000;
        p.Portable = true;
    });
    auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\"");
    EXPECT_TRUE(installer->HasOption(ioUpdate));
    EXPECT_TRUE(installer->HasOption(ioPortable));
    const int loads = Product().Loads;
    installer->SetDestPath(installer->DestPath());
    EXPECT_EQ(Product().Loads, loads);
    // Another way of writing the same folder reads it again.
    installer->SetDestPath(folder.Path() + u".\\");
    EXPECT_EQ(Product().Loads, loads + 1);
    EXPECT_EQ(installer->DestPath(), folder.Path());
}

// Restores the process's current folder at the end of a test.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const String& folder) : FSaved(GetCurrentFolder()) {
        SetCurrentDirectoryW(WidePtr(folder));
    }
    ~TCurrentFolder() { SetCurrentDirectoryW(WidePtr(FSaved)); }

private:
    String FSaved;
};

String RefusalOf(const String& commandLine) {
    try {
        MakeInstaller(commandLine);
    } catch (const EInstallerInstallError& e) {
        return e.Message();
    }
    return u"accepted";
}

TEST(InstallerDestination, EveryWayOfWritingAFolderGivesOneFullPath) {
    TTempFolder folder;
    UseTestProduct();
    EXPECT_EQ(MakeInstaller(u"/AUTO=C:/Games//ORVO/. /SILENT")->DestPath(), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(MakeInstaller(u"/AUTO=\"\\\\?\\C:\\Games\\Old\\..\\ORVO\"")->DestPath(), u"C:\\Games\\ORVO\\");
    {
        TCurrentFolder current(folder.Path());
        EXPECT_EQ(MakeInstaller(u"/AUTO=Games\\ORVO /SILENT")->DestPath(), folder.Path() + u"Games\\ORVO\\");
        EXPECT_EQ(MakeInstaller(u"/AUTO=..\\ORVO")->DestPath(),
                  ExtractFilePath(ExcludeTrailingPathDelimiter(folder.Path())) + u"ORVO\\");
    }
    // Names that Windows would store differently: from the command line the run ends at once, with
    // the language's text (English, before a language is chosen).
    EXPECT_EQ(RefusalOf(u"/AUTO=\"C:\\Games.\\ORVO\" /SILENT"), u"Refused C:\\Games.\\ORVO: Games.");
    EXPECT_EQ(RefusalOf(u"/AUTO=\\\\server").rfind(u"The folder \"\\\\server\" cannot be used", 0), 0u);
    // A page may pass such a folder half typed: no destination then, and starting says why.
    UseTestProduct([](TTestProduct& p) { p.InstalledVersion = 4000; });
    auto installer = MakeInstaller(u"/AUTO=C:\\X");
    ASSERT_TRUE(installer->HasOption(ioUpdate));
    installer->Resources().LoadLanguageFile(u"English.lng");
    Product().InstalledVersion = 0;  // what an empty destination reads
    installer->SetDestPath(u"C:\\Games\\ORVO \\Player");
    EXPECT_EQ(installer->DestPath(), u"");
    EXPECT_EQ(installer->DestPathError(), u"Refused C:\\Games\\ORVO \\Player: ORVO ");
    EXPECT_FALSE(installer->HasOption(ioUpdate));
    try {
        installer->Start(true);
        FAIL() << "a refused destination must not start";
    } catch (const EInstallerInstallError& e) {
        EXPECT_EQ(e.Message(), u"Refused C:\\Games\\ORVO \\Player: ORVO ");
    }
    EXPECT_EQ(installer->State(), isIdle);
    installer->SetDestPath(u"C:\\Games\\ORVO\\Player");
    EXPECT_EQ(installer->DestPath(), u"C:\\Games\\ORVO\\Player\\");
    EXPECT_EQ(installer->DestPathError(), u"");
}

TEST(InstallerDestination, ProgramFilesClearsPortable) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO /PORTABLE");
    EXPECT_FALSE(installer->HasOption(ioPortable));
    const String programFiles = installer->Resources().ProgramFilesFolder();
    installer->SetDestPath(u"C:\\Elsewhere\\");
    installer->SetOption(ioPortable, true);
    EXPECT_TRUE(installer->HasOption(ioPortable));
    installer->SetDestPath(programFiles + u"Sub\\");
    EXPECT_FALSE(installer->HasOption(ioPortable));
    EXPECT_FALSE(installer->HasOption(8));
    EXPECT_THROW(installer->SetOption(ioSilent, true), EInstallerMysteryError);
    EXPECT_THROW(installer->SetOption(ioAuto, false), EInstallerMysteryError);
}

TEST(InstallerFinalActions, RunEntriesDefaultOnOnlyForAutomaticUpdatesWithRun) {
    TTempFolder folder;
    std::vector<String> started;
    TSeamOverride shell(Seams().ShellOpen, std::function<bool(const TShellRequest&)>([&](const TShellRequest& r) {
                            started.push_back(r.Parameters);
                            return true;
                        }));
    UseTestProduct();
    {
        auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /RUN");
        installer->RunFinalActions();
        EXPECT_TRUE(started.empty());
        installer->Settings().WriteBool(u"Actions", u"$DEST\\Readme.txt", true);
        installer->RunFinalActions();
        ASSERT_EQ(started.size(), 1u);  // explorer.exe opens it without elevation
        EXPECT_EQ(started[0], folder.Path() + u"Readme.txt");
        installer->Log().Add(u"failed");
        installer->RunFinalActions();
        EXPECT_EQ(started.size(), 1u);
    }
    started.clear();
    UseTestProduct([](TTestProduct& p) { p.InstalledVersion = 5000; });
    auto update = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /UPDATE /RUN");
    update->RunFinalActions();
    EXPECT_EQ(started.size(), 2u);
}

TEST(InstallerNotifications, ListenersHearTheLastAddedFirstAndFinishSetsTheState) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X");
    std::vector<int> order;
    struct TOrder : IInstallerNotify {
        std::vector<int>& Out;
        int Id;
        TOrder(std::vector<int>& out, int id) : Out(out), Id(id) {}
        void Notify(int, intptr_t) override { Out.push_back(Id); }
    } first(order, 1), second(order, 2);
    installer->AddListener(&first);
    installer->AddListener(&second);
    installer->PostText(kNotifyStatus, u"status");
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    installer->RemoveListener(&second);
    installer->RemoveListener(&first);
    installer->Post(kNotifyFinished, 1);
    EXPECT_EQ(installer->State(), isFinished);
    ASSERT_EQ(installer->Log().Count(), 1);
    EXPECT_EQ(installer->Log()[0], u"The installation was cancelled.");
}

// Counts its runs in a counter that outlives the run.
class TCountingAction : public TInstallerAction {
public:
    static inline int Runs = 0;
    void Execute() override { ++Runs; }
};

TEST(InstallerStart, NeedsADestinationAndStartsOnce) {
    TCountingAction::Runs = 0;
    UseTestProduct([](TTestProduct& p) { p.Classes = {ActionClassOf<TCountingAction>(u"TCountingAction")}; });
    auto installer = MakeInstaller(u"/AUTO=C:\\X", DefaultSetupFiles(), {{u"Uninstall.ini", ""}});
    EXPECT_THROW(installer->Start(true), EInstallerInstallError);
    EXPECT_EQ(TCountingAction::Runs, 0);
    installer->SetDestPath(u"C:\\X");
    installer->Start(true);
    EXPECT_EQ(installer->State(), isFinished);
    EXPECT_EQ(TCountingAction::Runs, 1);
    installer->Start(true);  // a second start runs nothing again
    EXPECT_EQ(TCountingAction::Runs, 1);
    EXPECT_EQ(installer->State(), isFinished);
    EXPECT_FALSE(installer->HasErrors());
}

}  // namespace
}  // namespace uinst
