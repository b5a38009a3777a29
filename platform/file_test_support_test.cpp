#include "platform/file_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/folder_link_test_support.h"

namespace uinst::test {
namespace {

void Write(const String& path) {
    const char text[] = "x";
    WriteFileBytes(path, text, 1);
}

TEST(TempFolder, IsFreshAndGoesWithADeepTreeAndReadOnlyFiles) {
    String path;
    String deep;
    {
        TTempFolder first(u"fixture");
        const TTempFolder second(u"fixture");
        path = first.Path();
        EXPECT_NE(path, second.Path());
        ASSERT_TRUE(DirectoryExists(path));
        EXPECT_EQ(path.rfind(GetTempFolder(), 0), 0u);
        EXPECT_EQ(path.back(), u'\\');

        // Deeper than MAX_PATH: only long names reach it.
        deep = u"\\\\?\\" + path;
        for (int i = 0; i < 6; ++i) {
            deep += String(50, static_cast<Char>(u'a' + i)) + u"\\";
            ASSERT_TRUE(CreateDirectoryW(WidePtr(deep), nullptr));
        }
        ASSERT_GT(deep.size(), static_cast<size_t>(MAX_PATH));
        Write(deep + u"file.txt");
        Write(path + u"read only.txt");
        SetFileAttributesW(WidePtr(path + u"read only.txt"), FILE_ATTRIBUTE_READONLY);
    }
    EXPECT_FALSE(DirectoryExists(path));
    EXPECT_EQ(GetFileAttributesW(WidePtr(deep)), INVALID_FILE_ATTRIBUTES);
}

TEST(TempFolder, RemovesNothingOutsideTheTemporaryFolder) {
    const String temp = GetTempFolder();
    EXPECT_FALSE(RemoveTempTree(temp));
    EXPECT_FALSE(RemoveTempTree(ExcludeTrailingPathDelimiter(temp)));
    EXPECT_TRUE(DirectoryExists(temp));

    // A sibling of the temporary folder, named through it: ".." must not lead out.
    const String sibling = ExtractFilePath(ExcludeTrailingPathDelimiter(temp)) + u"uinst sibling of temp\\";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(sibling), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(RemoveTempTree(temp + u"..\\uinst sibling of temp\\"));
    EXPECT_TRUE(DirectoryExists(sibling));
    RemoveDirectoryW(WidePtr(sibling));

    // A path that only starts like the temporary folder is another folder.
    EXPECT_FALSE(RemoveTempTree(ExcludeTrailingPathDelimiter(temp) + u"X\\"));
}

TEST(TempFolder, NeverEntersAFolderLink) {
    const TTempFolder outside(u"link target");
    Write(outside.Path() + u"kept.txt");
    const TTempFolder folder(u"with link");
    const bool linksGo = RemoveDirectoryTakesLinks(folder.Path(), outside.Path());
    Write(folder.Path() + u"mine.txt");
    const TFolderLink link(folder.Path() + u"link", outside.Path());
    ASSERT_TRUE(link.Made());

    // Where a link cannot be taken away, the folder that holds it stays; what it shows stays always.
    EXPECT_EQ(RemoveTempTree(folder.Path()), linksGo);
    EXPECT_EQ(DirectoryExists(folder.Path()), !linksGo);
    EXPECT_FALSE(FileExists(folder.Path() + u"mine.txt"));
    EXPECT_TRUE(FileExists(outside.Path() + u"kept.txt"));
}

}  // namespace
}  // namespace uinst::test
