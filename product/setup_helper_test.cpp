#include "product/setup_helper.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"
#include "base/string_list.h"
#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "platform/files.h"
#include "platform/folder_link_test_support.h"
#include "platform/handles.h"

namespace uinst {
namespace {

using test::TFolderLink;
using test::TTempFolder;

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}
std::string ReadText(const String& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}
void MakeFolder(const String& path) {
    ASSERT_TRUE(CreateDirectoryW(WidePtr(path), nullptr)) << StringToUtf8(path);
}
bool Exists(const String& path) {
    return GetFileAttributesW(WidePtr(path)) != INVALID_FILE_ATTRIBUTES;
}

TEST(DeleteFolderTree, DeletesNestedContentAndTheFolder) {
    TTempFolder temp;
    const String tree = temp.Path() + u"Tree\\";
    MakeFolder(tree);
    MakeFolder(tree + u"A");
    MakeFolder(tree + u"A\\B");
    MakeFolder(tree + u"Empty");
    WriteText(tree + u"top.txt", "1");
    WriteText(tree + u"A\\a.txt", "2");
    WriteText(tree + u"A\\B\\b.txt", "3");
    EXPECT_TRUE(DeleteFolderTree(tree));
    EXPECT_FALSE(Exists(tree));
    EXPECT_FALSE(DeleteFolderTree(tree));  // gone: nothing removed now
}

TEST(DeleteFolderTree, AFileThatCannotBeDeletedKeepsTheFolder) {
    TTempFolder temp;
    const String tree = temp.Path() + u"Tree\\";
    MakeFolder(tree);
    WriteText(tree + u"locked.txt", "x");
    TUniqueFile locked(
        CreateFileW(WidePtr(tree + u"locked.txt"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked.Valid());
    EXPECT_FALSE(DeleteFolderTree(tree));
    EXPECT_TRUE(FileExists(tree + u"locked.txt"));
    locked.Reset();
    EXPECT_TRUE(DeleteFolderTree(tree));
}

TEST(DeleteFolderTree, RefusesRootsAndPathsThatDependOnTheCurrentFolder) {
    TTempFolder temp;
    // A relative or empty name would walk the current folder; make that folder one with content.
    wchar_t saved[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    WriteText(temp.Path() + u"keep.txt", "keep");
    MakeFolder(temp.Path() + u"Sub");
    WriteText(temp.Path() + u"Sub\\keep.txt", "keep");
    ASSERT_TRUE(SetCurrentDirectoryW(WidePtr(temp.Path())));
    for (const String& path : {String(), String(u"."), String(u".\\"), String(u"Sub"), String(u"Sub\\"), String(u"C:"),
                               String(u"C:\\"), String(u"c:/"), String(u"\\"), String(u"\\\\server\\share\\")})
        EXPECT_FALSE(DeleteFolderTree(path)) << StringToUtf8(path);
    // ".." that climbs up to the root is a root too.
    EXPECT_FALSE(DeleteFolderTree(temp.Path().substr(0, 3) + u"Windows\\..\\"));
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(FileExists(temp.Path() + u"keep.txt"));
    EXPECT_TRUE(FileExists(temp.Path() + u"Sub\\keep.txt"));
}

TEST(DeleteFolderTree, HandlesTreesDeeperThanThePathLimit) {
    TTempFolder temp;
    String folder = temp.Path() + u"Deep";
    MakeFolder(folder);
    while (folder.size() < 400) {
        folder += u"\\" + String(40, u'd');
        ASSERT_TRUE(CreateDirectoryW(WidePtr(u"\\\\?\\" + folder), nullptr));
    }
    WriteText(u"\\\\?\\" + folder + u"\\file.txt", "deep");
    const String copy = temp.Path() + u"Copy\\";
    TSetupHelper::CopyFolder(temp.Path() + u"Deep\\", copy);
    EXPECT_TRUE(FileExists(u"\\\\?\\" + copy + folder.substr(temp.Path().size() + 5) + u"\\file.txt"));
    EXPECT_TRUE(DeleteFolderTree(temp.Path() + u"Deep\\"));
    EXPECT_TRUE(DeleteFolderTree(copy));
    EXPECT_FALSE(Exists(temp.Path() + u"Deep"));
}

// The walk removes a link to another folder as it stands and never deletes what the link points
// to, whether the link lies inside the tree or is the folder asked for.
TEST(DeleteFolderTree, NeverDeletesWhatALinkPointsTo) {
    TTempFolder temp;
    const String outside = temp.Path() + u"Outside\\";
    MakeFolder(outside);
    WriteText(outside + u"keep.txt", "keep");
    const String tree = temp.Path() + u"Tree\\";
    MakeFolder(tree);
    WriteText(tree + u"mine.txt", "mine");
    TFolderLink inner(tree + u"Link", ExcludeTrailingPathDelimiter(outside));
    if (!inner.Made()) GTEST_SKIP() << "this system cannot make a folder link";
    TFolderLink top(temp.Path() + u"TopLink", ExcludeTrailingPathDelimiter(outside));
    ASSERT_TRUE(top.Made());

    // Wine cannot remove such a link: the walk then stops there, and the tree stays.
    const bool linksGo = test::RemoveDirectoryTakesLinks(temp.Path(), outside);

    EXPECT_EQ(DeleteFolderTree(tree), linksGo);
    EXPECT_TRUE(FileExists(outside + u"keep.txt"));
    EXPECT_EQ(Exists(tree + u"Link"), !linksGo);
    EXPECT_EQ(Exists(tree), !linksGo);

    EXPECT_EQ(DeleteFolderTree(temp.Path() + u"TopLink\\"), linksGo);
    EXPECT_TRUE(FileExists(outside + u"keep.txt"));
    EXPECT_EQ(Exists(temp.Path() + u"TopLink"), !linksGo);
}

TEST(CopyFolder, CopiesRecursivelyOverExistingFiles) {
    TTempFolder temp;
    const String source = temp.Path() + u"ORVO3\\";
    const String target = temp.Path() + u"Profiles\\ORVO\\";
    MakeFolder(source);
    MakeFolder(source + u"Sub");
    MakeFolder(source + u"Sub\\Inner");
    MakeFolder(source + u"EmptySub");
    WriteText(source + u"ORVO3.ini", "new");
    WriteText(source + u"Sub\\Inner\\list.m3u", "list");
    MakeFolder(temp.Path() + u"Profiles");
    MakeFolder(target);
    WriteText(target + u"ORVO3.ini", "old");
    WriteText(target + u"other.txt", "other");
    SetFileAttributesW(WidePtr(target + u"ORVO3.ini"), FILE_ATTRIBUTE_READONLY);

    TSetupHelper::CopyFolder(source, target);
    EXPECT_EQ(ReadText(target + u"ORVO3.ini"), "new");
    EXPECT_EQ(ReadText(target + u"Sub\\Inner\\list.m3u"), "list");
    EXPECT_EQ(ReadText(target + u"other.txt"), "other");
    EXPECT_FALSE(Exists(target + u"EmptySub"));         // folders are made for the entries they receive
    EXPECT_EQ(ReadText(source + u"ORVO3.ini"), "new");  // the source stays
}

TEST(CopyFolder, SameFolderInAnotherCaseIsLeftAlone) {
    TTempFolder temp;
    const String folder = temp.Path() + u"Profile\\";
    MakeFolder(folder);
    WriteText(folder + u"a.ini", "a");
    String upper = folder;
    for (auto& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<Char>(c - 32);
    EXPECT_NO_THROW(TSetupHelper::CopyFolder(folder, upper));
    EXPECT_NO_THROW(TSetupHelper::CopyFolder(folder, ExcludeTrailingPathDelimiter(folder)));
    // Even when it does not exist: nothing to do is no failure.
    EXPECT_NO_THROW(TSetupHelper::CopyFolder(temp.Path() + u"None\\", temp.Path() + u"NONE\\"));
    EXPECT_EQ(ReadText(folder + u"a.ini"), "a");
}

TEST(CopyFolder, FailuresRaiseWithBothNames) {
    TTempFolder temp;
    const String missing = temp.Path() + u"Missing\\";
    const String target = temp.Path() + u"Target\\";
    try {
        TSetupHelper::CopyFolder(missing, target);
        FAIL() << "no error";
    } catch (const EInstallerInstallError& e) {
        EXPECT_EQ(e.Message(), u"Cannot copy \"" + missing + u"\" to \"" + target + u"\"");
    }
    EXPECT_FALSE(Exists(target));
    // A target that is a file cannot take the content; nor can a relative target.
    const String source = temp.Path() + u"Source\\";
    MakeFolder(source);
    WriteText(source + u"a.txt", "a");
    WriteText(temp.Path() + u"File", "x");
    EXPECT_THROW(TSetupHelper::CopyFolder(source, temp.Path() + u"File\\"), EInstallerInstallError);
    EXPECT_THROW(TSetupHelper::CopyFolder(source, u"Relative\\"), EInstallerInstallError);
    EXPECT_THROW(TSetupHelper::CopyFolder(source, u""), EInstallerInstallError);
    // A file that cannot be read is named, with the system's reason.
    TUniqueFile held(CreateFileW(WidePtr(source + u"a.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    try {
        TSetupHelper::CopyFolder(source, temp.Path() + u"Copy\\");
        FAIL() << "no error";
    } catch (const EInstallerInstallError& e) {
        EXPECT_NE(e.Message().find(u"\"" + source + u"a.txt\": " + SysErrorMessage(ERROR_SHARING_VIOLATION)),
                  String::npos)
            << StringToUtf8(e.Message());
    }
}

TEST(CopyFolder, ATargetInsideTheSourceIsNotCopiedIntoItself) {
    TTempFolder temp;
    const String source = temp.Path() + u"Source\\";
    MakeFolder(source);
    WriteText(source + u"a.txt", "a");
    TSetupHelper::CopyFolder(source, source + u"Copy\\");
    EXPECT_EQ(ReadText(source + u"Copy\\a.txt"), "a");
    EXPECT_FALSE(Exists(source + u"Copy\\Copy"));
}

TEST(CopyFolder, DoesNotFollowLinks) {
    TTempFolder temp;
    const String source = temp.Path() + u"Source\\";
    MakeFolder(source);
    MakeFolder(source + u"Sub");
    WriteText(source + u"Sub\\a.txt", "a");
    // A link back to the source: followed, the copy would never end.
    TFolderLink loop(source + u"Sub\\Loop", ExcludeTrailingPathDelimiter(source));
    if (!loop.Made()) GTEST_SKIP() << "this system cannot make a folder link";
    const String target = temp.Path() + u"Target\\";
    EXPECT_NO_THROW(TSetupHelper::CopyFolder(source, target));
    EXPECT_EQ(ReadText(target + u"Sub\\a.txt"), "a");
    EXPECT_FALSE(Exists(target + u"Sub\\Loop"));
}

TEST(RemoveEntriesUnder, RemovesEntriesInsideTheFolderOnly) {
    TORLStringList list{u"C:\\Data\\ORVO\\ORVO.ini", u"C:\\Data\\ORVO3\\ORVO3.ini", u"c:\\data\\orvo\\Sub\\a.db",
                        u"C:\\Data\\ORVO", u"D:\\Other\\x.txt"};
    TSetupHelper::RemoveEntriesUnder(list, u"C:\\Data\\ORVO\\");
    EXPECT_EQ(list.Text(), u"C:\\Data\\ORVO3\\ORVO3.ini\r\nC:\\Data\\ORVO\r\nD:\\Other\\x.txt\r\n");
    // Without its backslash the folder still does not take in its longer-named neighbour.
    TSetupHelper::RemoveEntriesUnder(list, u"C:\\Data\\ORVO");
    EXPECT_EQ(list.Count(), 3);
    TSetupHelper::RemoveEntriesUnder(list, u"");
    EXPECT_EQ(list.Count(), 3);
}

}  // namespace
}  // namespace uinst
