#include "base/file_replacement.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace uinst {
namespace {

namespace fs = std::filesystem;

class FileReplacement : public testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::path(testing::TempDir()) / ("file replacement " + std::string(CurrentTestName()));
        fs::remove_all(FFolder);
        fs::create_directories(FFolder);
    }
    void TearDown() override {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(FFolder, error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(FFolder, error);
    }
    static const char* CurrentTestName() { return testing::UnitTest::GetInstance()->current_test_info()->name(); }

    String Name(const char* file) const { return (FFolder / file).u16string(); }
    static void Put(const String& name, const std::string& text) {
        WriteFileReplacing(name, [&](TStream& s) { s.WriteBuffer(text.data(), text.size()); });
    }
    static std::string Get(const String& name) {
        TMemoryStream loaded;
        loaded.LoadFromFile(name);
        return std::string(loaded.Bytes().begin(), loaded.Bytes().end());
    }

    fs::path FFolder;
};

TEST_F(FileReplacement, WritesNewAndReplacesOldFilesWholeLeavingNoTemporaryFile) {
    const String target = Name("settings.ini");
    Put(target, "first version, somewhat longer");
    EXPECT_EQ(Get(target), "first version, somewhat longer");
    Put(target, "second");
    EXPECT_EQ(Get(target), "second");
    EXPECT_FALSE(fs::exists(fs::path(PartialFileName(target))));
}

TEST_F(FileReplacement, ReplacesReadOnlyTargetsAndStaleReadOnlyTemporaryFiles) {
    const String target = Name("package.ipk");
    Put(target, "old");
    Put(PartialFileName(target), "left over by an interrupted run");
    for (const String& name : {target, PartialFileName(target)})
        fs::permissions(fs::path(name), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    Put(target, "new");
    EXPECT_EQ(Get(target), "new");
    EXPECT_FALSE(fs::exists(fs::path(PartialFileName(target))));
}

TEST_F(FileReplacement, FailingWriterLeavesTheOldFileAndPassesItsErrorOn) {
    const String target = Name("settings.ini");
    Put(target, "the only copy");
    EXPECT_THROW(WriteFileReplacing(target,
                                    [](TStream& s) {
                                        s.WriteUInt32(1);
                                        throw EWriteError(u"disk full");
                                    }),
                 EWriteError);
    EXPECT_EQ(Get(target), "the only copy");
    EXPECT_FALSE(fs::exists(fs::path(PartialFileName(target))));
}

TEST_F(FileReplacement, TargetThatCannotBeReplacedStaysAndTheErrorNamesIt) {
    // A folder in the target's place: the written file cannot take it.
    const String target = Name("output");
    fs::create_directories(fs::path(target) / "inside");
    try {
        Put(target, "content");
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind(u"Cannot replace file \"" + target + u"\". ", 0), 0u) << e.what();
        EXPECT_GT(e.Message().size(), target.size() + 26) << "no reason given";
    }
    EXPECT_TRUE(fs::is_directory(fs::path(target) / "inside"));
    EXPECT_FALSE(fs::exists(fs::path(PartialFileName(target))));
}

TEST_F(FileReplacement, MissingFolderIsAnOpenErrorThatLeavesNothing) {
    const String target = Name("missing/file.bin");
    EXPECT_THROW(Put(target, "content"), EFOpenError);
    EXPECT_FALSE(fs::exists(FFolder / "missing"));
}

TEST(FileStreamWriteErrors, NameTheFileAndTheSystemsReason) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a device that is always full";
#else
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TORLFileStream full(u"/dev/full", TORLFileStream::TMode::fmOpenReadWrite);
    const char data[4] = {1, 2, 3, 4};
    try {
        full.WriteBuffer(data, sizeof data);
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), u"Cannot write file \"/dev/full\". " + SysErrorMessage(ENOSPC));
    }
#endif
}

// A read that fails (here a locked range, or a folder) is an error naming the file, never taken for
// the end of the data (a loader would then keep a file cut short).
TEST(FileStreamReadErrors, NameTheFileAndAreNotTakenForTheEnd) {
    const fs::path folder = fs::path(testing::TempDir()) / "file stream read error";
    fs::create_directories(folder);
#ifdef _WIN32
    const String name = (folder / "locked.bin").u16string();
    {
        TORLFileStream created(name, TORLFileStream::TMode::fmCreate);
        created.WriteBuffer("abcdef", 6);
    }
    TORLFileStream file(name, TORLFileStream::TMode::fmOpenRead);
    HANDLE other = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(other, 0, 0, 6, 0));
    const uint32_t expected = ERROR_LOCK_VIOLATION;
#else
    const String name = folder.u16string();  // a folder opens for reading but cannot be read
    TORLFileStream file(name, TORLFileStream::TMode::fmOpenRead);
    const uint32_t expected = EISDIR;
#endif
    char buffer[4] = {};
    bool failed = false;
    try {
        file.Read(buffer, sizeof buffer);
    } catch (const EReadError& e) {
        failed = true;
        EXPECT_EQ(e.Message(), u"Cannot read file \"" + name + u"\". " + SysErrorMessage(expected));
    }
#ifdef _WIN32
    UnlockFile(other, 0, 0, 6, 0);
    CloseHandle(other);
    if (!failed) GTEST_SKIP() << "this system does not enforce locked ranges on reads (Wine)";
#endif
    EXPECT_TRUE(failed) << "no error";
}

}  // namespace
}  // namespace uinst
