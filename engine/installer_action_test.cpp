#include "engine/installer_action.h"

#include <gtest/gtest.h>

#include <atomic>

#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "engine/run_journal.h"
#include "engine/summary_builder.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"

namespace uinst {
namespace {

using namespace test;

struct TCounters {
    std::atomic<int> Started{0};
};
TCounters gCounters;

class TStepAction : public TInstallerAction {
public:
    void Execute() override {
        ++gCounters.Started;
        SetStatus(u"step");
        SetProgress(50);
    }
};

class TFailingAction : public TInstallerAction {
public:
    void Execute() override { throw EInstallerInstallError(u"Disk is full"); }
};

class TStdFailingAction : public TInstallerAction {
public:
    void Execute() override { throw std::runtime_error("bad thing"); }
};

// Runs until the run is cancelled: the main thread's Terminate reaches it as the current action.
class TCancellingAction : public TInstallerAction {
public:
    static inline std::atomic<bool> Running{false};
    void Execute() override {
        ++gCounters.Started;
        Running = true;
        while (!FTerminateCalled) Sleep(1);
    }
    void Terminate() override { FTerminateCalled = true; }

private:
    std::atomic<bool> FTerminateCalled{false};
};

std::unique_ptr<TInstaller> RunWith(std::vector<TInstallerActionClass> classes, TNotifyRecorder& recorder) {
    gCounters.Started = 0;
    UseTestProduct([classes](TTestProduct& p) { p.Classes = classes; });
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    installer->AddListener(&recorder);
    installer->Start(true);
    return installer;
}

constexpr intptr_t Progress(int mean, int current) {
    return (static_cast<intptr_t>(mean) << 16) | current;
}

TEST(Worker, ReportsProgressAndStatusInOrder) {
    TNotifyRecorder recorder;
    auto installer = RunWith({ActionClassOf<TStepAction>(u"a"), ActionClassOf<TStepAction>(u"b")}, recorder);
    EXPECT_EQ(installer->State(), isFinished);
    EXPECT_FALSE(installer->HasErrors());
    EXPECT_EQ(gCounters.Started, 2);
    // Start of a (0), a at 50, a done; start of b, b at 50 (mean 75), b done.
    EXPECT_EQ(recorder.Params(kNotifyProgress),
              (std::vector<intptr_t>{Progress(0, 0), Progress(25, 50), Progress(50, 100), Progress(50, 0),
                                     Progress(75, 50), Progress(100, 100)}));
    EXPECT_EQ(recorder.Params(kNotifyRepaint).size(), 6u);
    EXPECT_EQ(recorder.Texts, (std::vector<String>{u"step", u"step"}));
    ASSERT_FALSE(recorder.Events.empty());
    EXPECT_EQ(recorder.Events.back(), std::make_pair(int(kNotifyFinished), intptr_t(0)));
}

TEST(Worker, AnErrorEndsTheRunAsOneLogItem) {
    TNotifyRecorder recorder;
    auto installer = RunWith(
        {ActionClassOf<TStepAction>(u"a"), ActionClassOf<TFailingAction>(u"b"), ActionClassOf<TStepAction>(u"c")},
        recorder);
    EXPECT_EQ(gCounters.Started, 1);  // the third never starts
    ASSERT_EQ(installer->Log().Count(), 1);
    EXPECT_EQ(installer->Log()[0], u"Disk is full\r\n--------------------\r\n\r\n--------------------");
    EXPECT_EQ(recorder.Events.back(), std::make_pair(int(kNotifyFinished), intptr_t(0)));

    TNotifyRecorder other;
    auto foreign = RunWith({ActionClassOf<TStdFailingAction>(u"x")}, other);
    ASSERT_EQ(foreign->Log().Count(), 1);
    EXPECT_EQ(foreign->Log()[0].rfind(u"bad thing\r\n", 0), 0u);
}

TEST(Worker, EmptyListFinishesAtOnce) {
    TNotifyRecorder recorder;
    auto installer = RunWith({}, recorder);
    EXPECT_EQ(recorder.Events, (std::vector<std::pair<int, intptr_t>>{{kNotifyFinished, 0}}));
    TInstallerActionList list;
    EXPECT_EQ(list.AverageProgress(), 0);
}

TEST(Worker, CancellingFinishesTheCurrentActionAndStartsNoOther) {
    gCounters.Started = 0;
    TCancellingAction::Running = false;
    UseTestProduct([](TTestProduct& p) {
        p.Classes = {ActionClassOf<TCancellingAction>(u"a"), ActionClassOf<TStepAction>(u"b")};
    });
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    TNotifyRecorder recorder;
    installer->AddListener(&recorder);
    installer->Start(false);
    while (!TCancellingAction::Running) SleepWithMessages(1);
    installer->FreeThread();  // what the wizard does when the user confirms cancelling
    EXPECT_EQ(gCounters.Started, 1);
    EXPECT_EQ(installer->State(), isFinished);
    ASSERT_EQ(installer->Log().Count(), 1);
    EXPECT_EQ(installer->Log()[0], u"The installation was cancelled.");
    EXPECT_EQ(recorder.Events.back(), std::make_pair(int(kNotifyFinished), intptr_t(1)));
}

// Replaces a file of the destination, recorded in the run's journal, then waits to be cancelled.
class TReplacingAction : public TCancellingAction {
public:
    static inline String Target;
    void Execute() override {
        JournalReplacing(Target);
        WriteFileBytes(Target, "new", 3);
        TCancellingAction::Execute();
    }
};

TEST(Worker, ACancelledRunIsRolledBackAndASuccessfulOneCommitted) {
    TTempFolder folder;
    TReplacingAction::Target = folder.Path() + u"Player.exe";
    WriteFileBytes(TReplacingAction::Target, "old", 3);
    TCancellingAction::Running = false;
    UseTestProduct([](TTestProduct& p) {
        p.Classes = {ActionClassOf<TReplacingAction>(u"a"), ActionClassOf<TStepAction>(u"b")};
    });
    auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    installer->Start(false);
    while (!TCancellingAction::Running) SleepWithMessages(1);
    installer->FreeThread();
    EXPECT_TRUE(installer->Cancelled());
    EXPECT_EQ(ReadFileBytes(TReplacingAction::Target), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(folder.Path())));

    UseTestProduct([](TTestProduct& p) { p.Classes = {ActionClassOf<TStepAction>(u"b")}; });
    auto next = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    next->Start(true);
    EXPECT_FALSE(next->HasErrors());
    EXPECT_FALSE(next->Cancelled());
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(folder.Path())));
}

TEST(Worker, ARunDoesNotBeginOverWhatAnEarlierRollbackCouldNotPutBack) {
    TTempFolder folder;
    TReplacingAction::Target = folder.Path() + u"Player.exe";
    WriteFileBytes(TReplacingAction::Target, "old", 3);
    {
        // An earlier run replaced the player and ended there.
        auto journal = TRunJournal::Begin(folder.Path());
        ASSERT_TRUE(journal->Replacing(TReplacingAction::Target));
        WriteFileBytes(TReplacingAction::Target, "new", 3);
    }
    UseTestProduct([](TTestProduct& p) { p.Classes = {ActionClassOf<TStepAction>(u"b")}; });
    {
        // The new player is held open without delete sharing: the old one cannot go back yet.
        TUniqueFile held(CreateFileW(WidePtr(TReplacingAction::Target), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        auto installer = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
        try {
            installer->Start(true);
            ADD_FAILURE() << "the run began over an incomplete rollback";
        } catch (const EInstallerInstallError& e) {
            EXPECT_NE(e.Message().find(u"could not be undone completely"), String::npos);
        }
        EXPECT_TRUE(TRunJournal::Exists(folder.Path()));
    }
    auto next = MakeInstaller(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    next->Start(true);
    EXPECT_FALSE(next->HasErrors());
    EXPECT_EQ(ReadFileBytes(TReplacingAction::Target), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(folder.Path())));
}

TEST(Summary, HeadersWithoutLinesAreNeverWritten) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X");
    TInstallerSummaryBuilder builder;
    builder.SetHeader(u"Unused");
    builder.SetHeader(u"First");
    builder.AddLine(u"one");
    builder.AddLine(u"two");
    builder.SetHeader(u"Never");
    builder.SetHeader(u"Common", u"A8");
    builder.AddLine(u"three");
    EXPECT_EQ(builder.ToString(), u"First\r\n    one\r\n    two\r\n\r\nClosing programs\r\n    three\r\n");
}

}  // namespace
}  // namespace uinst
