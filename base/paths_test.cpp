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

}  // namespace
}  // namespace uinst
