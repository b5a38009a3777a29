#include "base/paths.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(Paths, SplitAtBackslashSlashAndColon) {
    EXPECT_EQ(ExtractFileName(u"C:\\Program Files\\ORVO\\ORVO.exe"), u"ORVO.exe");
    EXPECT_EQ(ExtractFileName(u"a/b.txt"), u"b.txt");
    EXPECT_EQ(ExtractFileName(u"C:file"), u"file");
    EXPECT_EQ(ExtractFilePath(u"C:\\Program Files\\ORVO\\ORVO.exe"), u"C:\\Program Files\\ORVO\\");
    EXPECT_EQ(ExtractFilePath(u"name"), u"");
    EXPECT_EQ(ExtractFileExt(u"C:\\a.b\\name"), u"");
    EXPECT_EQ(ExtractFileExt(u"Uninstall.exe"), u".exe");
}

TEST(Paths, ChangeExtensionOnlyTouchesTheFileName) {
    EXPECT_EQ(ChangeFileExt(u"C:\\x\\Uninstall.exe", u".dat"), u"C:\\x\\Uninstall.dat");
    EXPECT_EQ(ChangeFileExt(u"C:\\x.d\\Uninstall", u".dat"), u"C:\\x.d\\Uninstall.dat");
    EXPECT_EQ(ChangeFileExt(u"a.tar.gz", u""), u"a.tar");
}

TEST(Paths, TrailingBackslash) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"C:\\App"), u"C:\\App\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"C:\\App\\"), u"C:\\App\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"C:\\App\\"), u"C:\\App");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"C:\\App"), u"C:\\App");
}

String Normalized(StringView path, StringView current = u"D:\\Work\\Scripts\\") {
    String result, bad;
    return NormalizeFolderPath(path, current, result, bad) ? result : u"refused: " + bad;
}

TEST(Paths, FolderPathsBecomeFullWithOneTrailingBackslash) {
    EXPECT_EQ(Normalized(u"C:/Games/ORVO"), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"C:\\Games\\ORVO\\"), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"c:\\Games\\\\ORVO\\\\"), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"C:\\Games\\.\\Old\\..\\ORVO"), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"C:\\..\\..\\ORVO"), u"C:\\ORVO\\");  // never above the root
    EXPECT_EQ(Normalized(u"C:\\"), u"C:\\");
    EXPECT_EQ(Normalized(u"C:\\.."), u"C:\\");
    EXPECT_EQ(Normalized(u"\\\\?\\C:\\Games\\ORVO"), u"C:\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"\\\\?\\UNC\\server\\share\\ORVO"), u"\\\\server\\share\\ORVO\\");
    EXPECT_EQ(Normalized(u"//server/share/ORVO/../Player"), u"\\\\server\\share\\Player\\");
    EXPECT_EQ(Normalized(u"\\\\server\\share\\..\\x"), u"\\\\server\\share\\x\\");
    EXPECT_EQ(Normalized(u"C:\\Program Files\\ORVO 5"), u"C:\\Program Files\\ORVO 5\\");
    EXPECT_EQ(Normalized(u"C:\\.config\\ORVO"), u"C:\\.config\\ORVO\\");
}

TEST(Paths, RelativeFolderPathsResolveAgainstTheCurrentFolder) {
    EXPECT_EQ(Normalized(u"ORVO"), u"D:\\Work\\Scripts\\ORVO\\");
    EXPECT_EQ(Normalized(u".\\ORVO"), u"D:\\Work\\Scripts\\ORVO\\");
    EXPECT_EQ(Normalized(u"../Games/ORVO"), u"D:\\Work\\Games\\ORVO\\");
    EXPECT_EQ(Normalized(u"."), u"D:\\Work\\Scripts\\");
    EXPECT_EQ(Normalized(u"\\Games"), u"D:\\Games\\");
    EXPECT_EQ(Normalized(u"d:Games"), u"D:\\Work\\Scripts\\Games\\");  // the current folder's drive
    EXPECT_EQ(Normalized(u"E:Games"), u"E:\\Games\\");
    EXPECT_EQ(Normalized(u"Games", u"\\\\server\\share\\Work"), u"\\\\server\\share\\Work\\Games\\");
    EXPECT_EQ(Normalized(u"\\Games", u"\\\\server\\share\\Work"), u"\\\\server\\share\\Games\\");
    // Without a full current folder a relative path has nothing to stand on.
    EXPECT_EQ(Normalized(u"ORVO", u""), u"refused: ");
    EXPECT_EQ(Normalized(u"ORVO", u"Work"), u"refused: ");
}

TEST(Paths, NamesTheSystemWouldChangeAreRefused) {
    EXPECT_EQ(Normalized(u"C:\\Games.\\ORVO"), u"refused: Games.");
    EXPECT_EQ(Normalized(u"C:\\Games\\ORVO "), u"refused: ORVO ");
    EXPECT_EQ(Normalized(u"C:\\Games\\..."), u"refused: ...");
    EXPECT_EQ(Normalized(u"C:\\Games\\a:b"), u"refused: a:b");
    EXPECT_EQ(Normalized(u"C:\\Games\\*"), u"refused: *");
    EXPECT_EQ(Normalized(u"C:\\Ga\tmes"), u"refused: Ga\tmes");
    EXPECT_EQ(Normalized(u""), u"refused: ");
    EXPECT_EQ(Normalized(u"\\\\server"), u"refused: ");
    EXPECT_EQ(Normalized(u"\\\\server\\"), u"refused: ");
    EXPECT_EQ(Normalized(u"\\\\\\share"), u"refused: ");
}

TEST(Paths, LongPathNamesGetThePrefixFromTheFolderLimit) {
    const String deep = u"C:\\" + String(kLongPathFrom - 3, u'a');  // exactly the limit
    EXPECT_EQ(LongPathName(deep.substr(0, deep.size() - 1)), deep.substr(0, deep.size() - 1));
    EXPECT_EQ(LongPathName(deep), u"\\\\?\\" + deep);
    EXPECT_EQ(LongPathName(u"C:\\short\\name.txt"), u"C:\\short\\name.txt");
    EXPECT_EQ(LongPathName(u"relative\\" + String(300, u'r')), u"relative\\" + String(300, u'r'));

    const String long1 = String(200, u'x');
    EXPECT_EQ(LongPathName(u"C:/" + long1 + u"/./b/../c/" + long1 + u"\\"),
              u"\\\\?\\C:\\" + long1 + u"\\c\\" + long1 + u"\\");
    EXPECT_EQ(LongPathName(u"C:\\" + long1 + u"\\\\" + long1 + u"\\*"),
              u"\\\\?\\C:\\" + long1 + u"\\" + long1 + u"\\*");
    EXPECT_EQ(LongPathName(u"\\\\server\\share\\" + long1 + u"\\" + long1),
              u"\\\\?\\UNC\\server\\share\\" + long1 + u"\\" + long1);
    const String prefixed = u"\\\\?\\C:\\" + long1 + u"\\..\\" + long1;
    EXPECT_EQ(LongPathName(prefixed), prefixed);  // already in the system's own form
}

}  // namespace
}  // namespace uinst
