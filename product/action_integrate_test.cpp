#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

#include "base/paths.h"
#include "engine/engine_routines.h"
#include "engine/engine_test_support.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/action_integrate.h"
#include "product/helper_process.h"

namespace uinst {
namespace {

using namespace test;

TSeamOverride<std::function<TOSVersion()>> WindowsVersion(uint32_t major, uint32_t minor) {
    return {Seams().OSVersion, [=] { return TOSVersion{major, minor, 0}; }};
}

void Choose(TInstaller& installer, bool integrate, bool contextMenu, bool associate) {
    installer.Settings().WriteBool(u"Integration", u"IntegrateToWindows", integrate);
    installer.Settings().WriteBool(u"Integration", u"RegisterContextMenu", contextMenu);
    installer.Settings().WriteBool(u"Integration", u"AssociateWithFiles", associate);
}

TEST(IntegrateAction, SwitchesFollowTheChoicesTheSystemAndTheRunKind) {
    UseTestProduct();
    auto win10 = WindowsVersion(10, 0);
    {
        auto interactive = MakeInstaller(u"");
        EXPECT_EQ(TInstallerActionIntegrate::Switches(TIntegrationChoices::FromSettings()),
                  u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI");  // all true when absent
        EXPECT_EQ(TInstallerActionIntegrate::Switches({false, false, true}), u" /REG=R2 /REG_UI");
        EXPECT_EQ(TInstallerActionIntegrate::Switches({false, true, false}), u" /REG=M1");
        EXPECT_EQ(TInstallerActionIntegrate::Switches({true, false, false}), u" /REG=L1 /REG=D1 /REG=R1");
        EXPECT_EQ(TInstallerActionIntegrate::Switches({false, false, false}), u"");
        Choose(*interactive, false, true, false);
        const TIntegrationChoices read = TIntegrationChoices::FromSettings();
        EXPECT_FALSE(read.IntegrateToWindows);
        EXPECT_TRUE(read.RegisterContextMenu);
        EXPECT_FALSE(read.AssociateWithFiles);
    }
    {
        auto automatic = MakeInstaller(u"/AUTO=C:\\X");
        EXPECT_EQ(TInstallerActionIntegrate::Switches({false, false, true}), u" /REG=R2");
    }
    auto win7 = WindowsVersion(6, 1);
    auto interactive = MakeInstaller(u"");
    EXPECT_EQ(TInstallerActionIntegrate::Switches({false, false, true}), u" /REG=R2");
    auto win8 = WindowsVersion(6, 2);
    EXPECT_EQ(TInstallerActionIntegrate::Switches({false, false, true}), u" /REG=R2 /REG_UI");
}

// Records the command lines instead of starting anything; the "process" is an event that the test
// sets (a helper that ended) or leaves unset (a helper that never ends).
class FakeStart {
public:
    explicit FakeStart(bool ends)
        : FOverride(Seams().StartProcess, [this, ends](const String& line) {
              Lines.push_back(line);
              return TUniqueHandle(CreateEventW(nullptr, TRUE, ends, nullptr));
          }) {}
    std::vector<String> Lines;

private:
    TSeamOverride<TStartProcess> FOverride;
};

TEST(IntegrateAction, StartsTheHelperOfTheDestinationWithQuotedPath) {
    UseTestProduct();
    auto win10 = WindowsVersion(10, 0);
    TTempFolder folder;
    const String dest = folder.Path() + u"Player Folder\\";
    CreateDirectoryW(WidePtr(dest), nullptr);
    auto installer = MakeInstaller(u"");
    installer->SetDestPath(dest);
    FakeStart start(true);

    TInstallerActionIntegrate().Execute();
    EXPECT_TRUE(start.Lines.empty());  // no helper in the folder: nothing started

    WriteFileBytes(dest + u"Elevator.exe", "MZ", 2);
    Choose(*installer, false, false, false);
    TInstallerActionIntegrate().Execute();
    EXPECT_TRUE(start.Lines.empty());  // nothing chosen: nothing started

    Choose(*installer, false, true, true);
    TInstallerActionIntegrate().Execute();
    ASSERT_EQ(start.Lines.size(), 1u);
    EXPECT_EQ(start.Lines[0], u"\"" + dest + u"Elevator.exe\" /REG=M1 /REG=R2 /REG_UI");
}

class ShortIntegrate : public TInstallerActionIntegrate {
protected:
    uint32_t HelperTimeLimitMs() const override { return 200; }
};

TEST(IntegrateAction, AHelperThatNeverEndsDoesNotHoldTheRun) {
    UseTestProduct();
    TTempFolder folder;
    auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    WriteFileBytes(folder.Path() + u"Elevator.exe", "MZ", 2);
    FakeStart start(false);
    const auto begin = std::chrono::steady_clock::now();
    ShortIntegrate().Execute();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(4));
    EXPECT_EQ(start.Lines.size(), 1u);

    // A cancelled run stops waiting at once, whatever the limit.
    TInstallerActionIntegrate patient;
    std::thread cancel([&] {
        Sleep(100);
        patient.Terminate();
    });
    const auto cancelled = std::chrono::steady_clock::now();
    patient.Execute();
    cancel.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(4));
}

TEST(HelperProcess, ResultsOfTheWait) {
    UseTestProduct();
    {
        FakeStart start(true);
        EXPECT_EQ(RunHelperAndWait(u"x", 1000, nullptr), THelperRunResult::Ended);
    }
    {
        FakeStart start(false);
        EXPECT_EQ(RunHelperAndWait(u"x", 50, nullptr), THelperRunResult::TimedOut);
        TUniqueHandle cancel(CreateEventW(nullptr, TRUE, TRUE, nullptr));
        EXPECT_EQ(RunHelperAndWait(u"x", 10000, cancel.Get()), THelperRunResult::Cancelled);
    }
    EXPECT_EQ(RunHelperAndWait(u"\"C:\\no such folder\\none.exe\"", 1000, nullptr), THelperRunResult::NotStarted);
}

// The demo's stand-in helper appends its parameter line to "Elevator.log" beside itself.
TEST(IntegrateAction, TheStandInHelperReceivesTheSwitchesInARun) {
    const String standIn = ExtractFilePath(ModuleFileName()) + u"Elevator.exe";
    ASSERT_TRUE(FileExists(standIn)) << "the Elevator stand-in is built with this test program";
    auto win10 = WindowsVersion(10, 0);
    TTempFolder folder;
    const String dest = folder.Path() + u"ORVO Demo\\";
    CreateDirectoryW(WidePtr(dest), nullptr);
    CopyFileOrRaise(standIn, dest + u"Elevator.exe");
    UseTestProduct(
        [](TTestProduct& p) { p.Classes = {ActionClassOf<TInstallerActionIntegrate>(u"TInstallerActionIntegrate")}; });
    auto installer = MakeInstaller(u"/AUTO=\"" + dest + u"\" /SILENT");
    installer->Start(true);
    EXPECT_FALSE(installer->HasErrors());
    installer.reset();
    installer = MakeInstaller(u"/AUTO=\"" + dest + u"\" /SILENT");
    Choose(*installer, false, false, true);
    installer->Start(true);
    const auto log = ReadFileBytes(dest + u"Elevator.log");
    EXPECT_EQ(std::string(log.begin(), log.end()),
              "/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2\r\n"
              "/REG=R2\r\n");
}

TEST(IntegrateAction, SummaryListsTheChosenIntegration) {
    UseTestProduct();
    TFiles setup = DefaultSetupFiles();
    setup[1].second += "[PageIntegration]\r\nLB2=Integration\r\nCB3=Associate\r\nCB4=Integrate\r\nCB5=Menu\r\n";
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT", setup);
    auto summary = [] {
        TInstallerSummaryBuilder builder;
        TInstallerActionIntegrate().BuildSummary(builder);
        return builder.ToString();
    };
    EXPECT_EQ(summary(), u"Integration\r\n    Integrate\r\n    Menu\r\n    Associate\r\n");
    Choose(*installer, false, false, true);
    EXPECT_EQ(summary(), u"Integration\r\n    Associate\r\n");
    Choose(*installer, false, false, false);
    EXPECT_EQ(summary(), u"");
}

}  // namespace
}  // namespace uinst
