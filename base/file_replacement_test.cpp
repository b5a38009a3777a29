#include "base/file_replacement.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"

#ifndef _WIN32
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

}  // namespace
}  // namespace uinst
