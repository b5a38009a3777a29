// Runs on a small drive that the test runner maps (tests/e2e/small-drive): what the setup program
// does when the disk fills up. Without such a drive they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "engine/run_journal.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

// The drive's root ("R:\"), or empty when the run has none.
String SmallDrive() {
    const wchar_t* root = _wgetenv(L"UINST_TEST_SMALL_DRIVE");
    return root && *root ? IncludeTrailingPathDelimiter(FromWide(root)) : String();
}

uint64_t FreeBytes(const String& root) {
    ULARGE_INTEGER available{};
    GetDiskFreeSpaceExW(WidePtr(root), &available, nullptr, nullptr);
    return available.QuadPart;
}

// Takes the drive's free space down to about `leave` bytes with a file of real blocks (a sparse
// file would take no room), so that the next writes run out of space.
class TFiller {
public:
    TFiller(const String& root, uint64_t leave) : FPath(root + u"filler.bin") {
        const TUniqueFile file(CreateFileW(WidePtr(FPath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return;
        const std::vector<char> block(64 * 1024, 'x');
        while (FreeBytes(root) > leave + block.size()) {
            DWORD written = 0;
            if (!WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) || !written)
                break;
        }
        FlushFileBuffers(file.Get());
    }
    ~TFiller() { DeleteFileW(WidePtr(FPath)); }
    TFiller(const TFiller&) = delete;
    TFiller& operator=(const TFiller&) = delete;

private:
    String FPath;
};

TEST(FullDrive, ABackupThatRunsOutOfSpaceNamesTheArchiveAndTheSystemsReason) {
    const String root = SmallDrive();
    if (root.empty()) GTEST_SKIP() << "no small drive: run under tests/e2e/small-drive as root to mount a RAM disk";
    const String dest = root + u"ORVO\\";
    RemoveTree(dest);
    ForgetInstallation();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest + u"\" /SILENT").ExitCode, 0u);
    const auto player = ReadFileBytes(dest + u"ORVO.exe");

    TRunResult run;
    {
        TFiller filler(root, 16 * 1024);
        run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    }
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(Contains(run.Log, SysErrorMessage(ERROR_DISK_FULL))) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, dest + u"!Backup\\")) << StringToUtf8(run.Log);
    EXPECT_FALSE(Contains(run.Log, u"Unknown error")) << StringToUtf8(run.Log);
    // The backup comes before any deletion: the installation is whole.
    EXPECT_EQ(ReadFileBytes(dest + u"ORVO.exe"), player);
    EXPECT_TRUE(FileExists(dest + u"Uninstall.exe"));

    RemoveTree(dest);
    ForgetInstallation();
}

// Shortcuts and system files live on the system drive while the journal lives beside the
// installation: with the installation on another drive, what was set aside there goes back too.
TEST(FullDrive, WhatARunSetAsideFromAnotherDriveGoesBackOnRollback) {
    const String root = SmallDrive();
    if (root.empty()) GTEST_SKIP() << "no small drive: run under tests/e2e/small-drive as root to mount a RAM disk";
    const String dest = root + u"ORVO\\";
    RemoveTree(dest);
    ASSERT_TRUE(CreateDirectoryW(WidePtr(dest), nullptr));
    TTempFolder system(u"e2e other drive");
    const String shortcut = system.Path() + u"ORVO.lnk";
    const String menu = system.Path() + u"Start Menu\\ORVO\\";
    WriteFileBytes(shortcut, "link", 4);
    ASSERT_TRUE(CreateDirectoryW(WidePtr(system.Path() + u"Start Menu"), nullptr));
    ASSERT_TRUE(CreateDirectoryW(WidePtr(menu), nullptr));
    WriteFileBytes(menu + u"Readme.lnk", "readme", 6);
    {
        auto journal = TRunJournal::Begin(dest);
        ASSERT_TRUE(journal->SetAside(shortcut));
        ASSERT_TRUE(journal->SetAside(menu));
        EXPECT_FALSE(FileExists(shortcut));
        EXPECT_FALSE(DirectoryExists(menu));
        journal->Rollback();
    }
    EXPECT_EQ(ReadFileBytes(shortcut), std::vector<uint8_t>({'l', 'i', 'n', 'k'}));
    EXPECT_EQ(ReadFileBytes(menu + u"Readme.lnk"), std::vector<uint8_t>({'r', 'e', 'a', 'd', 'm', 'e'}));
    EXPECT_FALSE(TRunJournal::Exists(dest));
    RemoveTree(dest);
}

// A file that cannot be kept for the rollback (the journal's drive is full) is not changed: the run
// stops with the reason instead.
TEST(FullDrive, AFileThatCannotBeKeptForTheRollbackIsNotChanged) {
    const String root = SmallDrive();
    if (root.empty()) GTEST_SKIP() << "no small drive: run under tests/e2e/small-drive as root to mount a RAM disk";
    const String dest = root + u"ORVO\\";
    RemoveTree(dest);
    ASSERT_TRUE(CreateDirectoryW(WidePtr(dest), nullptr));
    TTempFolder system(u"e2e keep on full drive");
    const String file = system.Path() + u"System.dll";
    const std::vector<char> bytes(256 * 1024, 's');
    WriteFileBytes(file, bytes.data(), bytes.size());
    {
        auto journal = TRunJournal::Begin(dest);
        TFiller filler(root, 16 * 1024);
        SetActiveJournal(journal.get());
        try {
            JournaledDelete(file);
            ADD_FAILURE() << "deleted with nothing kept";
        } catch (const EOSError& e) {
            EXPECT_TRUE(Contains(e.Message(), u"\"" + file + u"\" cannot be kept to undo the run"))
                << StringToUtf8(e.Message());
            EXPECT_TRUE(Contains(e.Message(), SysErrorMessage(ERROR_DISK_FULL))) << StringToUtf8(e.Message());
        }
        SetActiveJournal(nullptr);
        EXPECT_EQ(ReadFileBytes(file).size(), bytes.size());
        journal->Rollback();
    }
    EXPECT_EQ(ReadFileBytes(file).size(), bytes.size());
    EXPECT_FALSE(TRunJournal::Exists(dest));
    RemoveTree(dest);
}

}  // namespace
}  // namespace uinst::e2e
