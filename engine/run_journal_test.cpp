#include "engine/run_journal.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/paths.h"
#include "engine/engine_test_support.h"
#include "engine/run_log.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/registry.h"

namespace uinst {
namespace {

constexpr char16_t kTestKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\uInstaller journal test";

void Write(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

std::string Read(const String& path) {
    if (!FileExists(path)) return "(missing)";
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// An installation folder inside the test's temporary folder, with a few files of an "old version".
class RunJournal : public ::testing::Test {
protected:
    void SetUp() override {
        FDest = FTemp.Path() + u"ORVO\\";
        CreateDirectoryW(WidePtr(FDest), nullptr);
        CreateDirectoryW(WidePtr(FDest + u"Skins"), nullptr);
        CreateDirectoryW(WidePtr(FDest + u"Empty"), nullptr);
        Write(FDest + u"ORVO.exe", "old player");
        Write(FDest + u"Readme.txt", "old readme");
        Write(FDest + u"Skins\\Amber.ocs4", "old skin");
        Write(FDest + u"ORVO3.ini", "old config");
        TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestKey);
        FLog = FTemp.Path() + u"run.log";
        String error;
        OpenRunLog(FLog, error);
    }
    void TearDown() override {
        CloseRunLog();
        TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestKey);
        TRegistryKey::DeleteTree(HKEY_CURRENT_USER, String(kTestKey) + u" new");
    }
    std::string LogText() {
        CloseRunLog();
        const std::string text = Read(FLog);
        String error;
        OpenRunLog(FLog, error);
        return text;
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    // Every kind of change, each recorded before it is made, as a run makes them.
    void MakeChanges(TRunJournal& journal) {
        journal.FolderCreated(FDest + u"Plugins\\");
        ASSERT_TRUE(CreateDirectoryW(WidePtr(FDest + u"Plugins"), nullptr));
        journal.FileCreated(FDest + u"Plugins\\new.dll");
        Write(FDest + u"Plugins\\new.dll", "new plug-in");
        ASSERT_TRUE(journal.Replacing(FDest + u"ORVO.exe"));
        Write(FDest + u"ORVO.exe", "new player");
        ASSERT_TRUE(journal.SetAside(FDest + u"Readme.txt"));
        ASSERT_TRUE(journal.SetAside(FDest + u"Skins\\"));  // a whole folder
        journal.Renamed(FDest + u"ORVO3.ini", FDest + u"ORVO.ini");
        ASSERT_TRUE(MoveFileW(WidePtr(FDest + u"ORVO3.ini"), WidePtr(FDest + u"ORVO.ini")));
        journal.FolderRemoved(FDest + u"Empty\\");
        ASSERT_TRUE(RemoveDirectoryW(WidePtr(FDest + u"Empty")));

        journal.RegistryKeyChanging(HKEY_CURRENT_USER, 0, kTestKey);
        auto key = TRegistryKey::Create(HKEY_CURRENT_USER, kTestKey);
        key.WriteString(u"DisplayName", u"new name");
        key.WriteString(u"Added", u"value");
        key.DeleteValue(u"Kept");
        journal.RegistryKeyChanging(HKEY_CURRENT_USER, 0, String(kTestKey) + u" new");
        TRegistryKey::Create(HKEY_CURRENT_USER, String(kTestKey) + u" new").WriteDWord(u"NoModify", 1);
    }

    void ExpectAsBefore() {
        EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
        EXPECT_EQ(Read(FDest + u"Readme.txt"), "old readme");
        EXPECT_EQ(Read(FDest + u"Skins\\Amber.ocs4"), "old skin");
        EXPECT_EQ(Read(FDest + u"ORVO3.ini"), "old config");
        EXPECT_FALSE(FileExists(FDest + u"ORVO.ini"));
        EXPECT_FALSE(DirectoryExists(FDest + u"Plugins"));
        EXPECT_TRUE(DirectoryExists(FDest + u"Empty"));
        auto key = TRegistryKey::Open(HKEY_CURRENT_USER, kTestKey);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->ReadString(u"DisplayName").value_or(u"-"), u"old name");
        EXPECT_EQ(key->ReadString(u"Kept").value_or(u"-"), u"kept");
        EXPECT_FALSE(key->ReadString(u"Added"));
        EXPECT_EQ(key->ReadDWord(u"Sub\\Number").value_or(0), 0u);  // not a value of the key itself
        auto sub = TRegistryKey::Open(HKEY_CURRENT_USER, String(kTestKey) + u"\\Sub");
        ASSERT_TRUE(sub);
        EXPECT_EQ(sub->ReadDWord(u"Number").value_or(0), 7u);
        EXPECT_FALSE(TRegistryKey::Open(HKEY_CURRENT_USER, String(kTestKey) + u" new"));
        EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(FDest)));
    }

    void MakeOldKey() {
        auto key = TRegistryKey::Create(HKEY_CURRENT_USER, kTestKey);
        key.WriteString(u"DisplayName", u"old name");
        key.WriteString(u"Kept", u"kept");
        TRegistryKey::Create(HKEY_CURRENT_USER, String(kTestKey) + u"\\Sub").WriteDWord(u"Number", 7);
    }

    test::TTempFolder FTemp;
    String FDest;
    String FLog;
};

TEST_F(RunJournal, LivesInAHiddenFolderBesideTheInstallation) {
    EXPECT_EQ(TRunJournal::FolderFor(u"C:\\Programs\\ORVO\\"), u"C:\\Programs\\ORVO.~rollback\\");
    auto journal = TRunJournal::Begin(FDest);
    EXPECT_FALSE(journal->HasChanges());
    EXPECT_TRUE(TRunJournal::Exists(FDest));
    EXPECT_TRUE(GetFileAttributesW(WidePtr(ExcludeTrailingPathDelimiter(journal->Folder()))) & FILE_ATTRIBUTE_HIDDEN);
    journal->Commit();
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(FDest)));
}

TEST_F(RunJournal, RollbackUndoesEveryKindOfChange) {
    MakeOldKey();
    auto journal = TRunJournal::Begin(FDest);
    MakeChanges(*journal);
    EXPECT_TRUE(journal->HasChanges());
    EXPECT_FALSE(FileExists(FDest + u"Readme.txt"));  // set aside, not left in place
    journal->Rollback();
    ExpectAsBefore();
    const std::string log = LogText();
    EXPECT_EQ(Count(log, "Rollback: "), 10) << log;
    EXPECT_EQ(Count(log, "Rollback: cannot"), 0) << log;
}

// The journal lies where whoever may write the installation folder may write it: a rollback runs
// and registers only files of that folder, and restores only entries of installed programs.
TEST_F(RunJournal, ARollbackRunsNothingOutsideTheInstallationAndTouchesNoOtherRegistryKey) {
    const String marker = FTemp.Path() + u"ran.txt";
    const String foreignKey = u"Software\\uInstaller tests\\Foreign";
    TRegistryKey::Create(HKEY_CURRENT_USER, foreignKey).WriteString(u"Value", u"kept");
    {
        auto journal = TRunJournal::Begin(FDest);
        journal->HelperIntegrating(u"\"C:\\windows\\system32\\cmd.exe\" /c echo x> \"" + marker + u"\"");
        journal->HelperIntegrating(u"\"" + FDest + u"..\\cmd.exe\" /c echo x");
        journal->LibraryUnregistering(u"C:\\windows\\system32\\shell32.dll");
        journal->RegistryKeyChanging(HKEY_CURRENT_USER, 0, foreignKey);
        TRegistryKey::Create(HKEY_CURRENT_USER, foreignKey).WriteString(u"Value", u"changed");
        journal->Rollback();
    }
    EXPECT_FALSE(FileExists(marker));
    auto key = TRegistryKey::Open(HKEY_CURRENT_USER, foreignKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString(u"Value").value_or(u"-"), u"changed");
    const std::string log = LogText();
    EXPECT_EQ(Count(log, "Rollback: refused"), 4) << log;
    TRegistryKey::DeleteTree(HKEY_CURRENT_USER, u"Software\\uInstaller tests");
}

TEST_F(RunJournal, CommitKeepsTheChangesAndRemovesWhatWasSetAside) {
    MakeOldKey();
    auto journal = TRunJournal::Begin(FDest);
    MakeChanges(*journal);
    journal->Commit();
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "new player");
    EXPECT_EQ(Read(FDest + u"Plugins\\new.dll"), "new plug-in");
    EXPECT_FALSE(FileExists(FDest + u"Readme.txt"));
    EXPECT_FALSE(DirectoryExists(FDest + u"Skins"));
    EXPECT_TRUE(FileExists(FDest + u"ORVO.ini"));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(FDest)));
    EXPECT_FALSE(TRunJournal::RecoverInterrupted(FDest));  // nothing left for the next start
}

TEST_F(RunJournal, AnInterruptedRunIsRolledBackAtTheNextStartIgnoringAHalfWrittenRecord) {
    MakeOldKey();
    {
        auto journal = TRunJournal::Begin(FDest);
        MakeChanges(*journal);
        // The process ends here: no rollback, no commit.
    }
    // It was writing one more record when it ended.
    {
        TUniqueFile file(CreateFileW(WidePtr(TRunJournal::FolderFor(FDest) + u"journal.txt"), FILE_APPEND_DATA, 0,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        const std::string partial = "create\t" + StringToUtf8(FDest) + "Readme.tx";
        DWORD written = 0;
        WriteFile(file.Get(), partial.data(), static_cast<DWORD>(partial.size()), &written, nullptr);
    }
    EXPECT_TRUE(TRunJournal::RecoverInterrupted(FDest));
    ExpectAsBefore();
    EXPECT_NE(LogText().find("was interrupted"), std::string::npos);
}

TEST_F(RunJournal, ARollbackThatCouldNotFinishIsResumedWithoutRedoingItsDoneSteps) {
    Write(FDest + u"Locked.dat", "old data");
    auto journal = TRunJournal::Begin(FDest);
    ASSERT_TRUE(journal->Replacing(FDest + u"ORVO.exe"));
    Write(FDest + u"ORVO.exe", "new player");
    ASSERT_TRUE(journal->Replacing(FDest + u"Locked.dat"));
    Write(FDest + u"Locked.dat", "new data");
    {
        // The new file is held open without delete sharing while the rollback runs.
        TUniqueFile held(CreateFileW(WidePtr(FDest + u"Locked.dat"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        journal->Rollback();
        EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
        EXPECT_EQ(Read(FDest + u"Locked.dat"), "new data");
        EXPECT_TRUE(TRunJournal::Exists(FDest));  // kept for the next start
    }
    journal.reset();
    const std::string before = LogText();
    EXPECT_NE(before.find("Rollback: cannot"), std::string::npos) << before;
    EXPECT_TRUE(TRunJournal::RecoverInterrupted(FDest));
    // The player restored in the first pass is not removed again as "created by the run".
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
    EXPECT_EQ(Read(FDest + u"Locked.dat"), "old data");
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(FDest)));
}

TEST_F(RunJournal, TheJournalOfARunThatIsStillWorkingIsNotRolledBack) {
    auto journal = TRunJournal::Begin(FDest);  // held open, as the working run holds it
    ASSERT_TRUE(journal->Replacing(FDest + u"ORVO.exe"));
    Write(FDest + u"ORVO.exe", "new player");
    try {
        TRunJournal::RecoverInterrupted(FDest);
        ADD_FAILURE() << "the live journal was taken for an interrupted one";
    } catch (const EOSError& e) {
        EXPECT_NE(e.Message().find(u"Another setup is working on the folder"), String::npos);
    }
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "new player");
    journal->Rollback();
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
}

TEST_F(RunJournal, ARenameThatDidNotHappenIsNotUndone) {
    // The record goes first; the rename then failed because the target was taken.
    Write(FDest + u"ORVO.ini", "another copy's settings");
    auto journal = TRunJournal::Begin(FDest);
    journal->Renamed(FDest + u"ORVO3.ini", FDest + u"ORVO.ini");
    journal->Rollback();
    EXPECT_EQ(Read(FDest + u"ORVO3.ini"), "old config");
    EXPECT_EQ(Read(FDest + u"ORVO.ini"), "another copy's settings");
}

TEST_F(RunJournal, WithoutAnActiveJournalTheHelpersWorkAsThePlainOperations) {
    SetActiveJournal(nullptr);
    JournaledDelete(FDest + u"Readme.txt");
    EXPECT_FALSE(FileExists(FDest + u"Readme.txt"));
    JournalReplacing(FDest + u"ORVO.exe");
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(FDest)));

    auto journal = TRunJournal::Begin(FDest);
    SetActiveJournal(journal.get());
    JournaledDelete(FDest + u"ORVO.exe");
    EXPECT_FALSE(FileExists(FDest + u"ORVO.exe"));
    journal->Rollback();
    EXPECT_EQ(ActiveJournal(), journal.get());
    journal.reset();
    EXPECT_EQ(ActiveJournal(), nullptr);
    EXPECT_EQ(Read(FDest + u"ORVO.exe"), "old player");
}

}  // namespace
}  // namespace uinst
