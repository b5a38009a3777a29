#include "engine/command_line.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace uinst {
namespace {

using P = TORLCommandLineProcessor;

String ValueOf(StringView line, StringView name) {
    String value;
    EXPECT_TRUE(P::HasSwitch(line, name, value)) << StringToUtf8(name);
    return value;
}

TEST(CommandLine, QuotedValueWithSpacesThenAnotherSwitch) {
    const String line = u"/AUTO=\"C:\\Program Files\\App\" /SILENT";
    EXPECT_EQ(ValueOf(line, u"AUTO"), u"C:\\Program Files\\App");
    EXPECT_TRUE(P::HasSwitch(line, u"silent"));
    EXPECT_FALSE(P::HasSwitch(line, u"UPDATE"));
}

TEST(CommandLine, ValueAfterEqualsEndsAtTheFirstSpace) {
    const auto commands = P::Parse(u"/AUTO=C:\\Program Files\\App");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0]->Name, u"AUTO");
    EXPECT_EQ(commands[0]->Text(), u"C:\\Program\r\n");
    EXPECT_EQ(commands[1]->Name, u"");
    EXPECT_EQ(commands[1]->Text(), u"Files\\App\r\n");
}

TEST(CommandLine, ValueAfterASpaceCollectsWordsUntilTheNextSwitch) {
    const String line = u"/AUTO C:\\Program Files\\App /SILENT";
    EXPECT_EQ(ValueOf(line, u"AUTO"), u"C:\\Program Files\\App");
    EXPECT_TRUE(P::HasSwitch(line, u"SILENT"));
}

TEST(CommandLine, SemicolonSeparatesValuesOfOneSwitch) {
    const auto commands = P::Parse(u"/PATH=a;b");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0]->Count(), 2);
    EXPECT_EQ(ValueOf(u"/PATH=a;b", u"PATH"), u"a;b");
}

TEST(CommandLine, DashIntroducesSwitchesAndEmptyValues) {
    EXPECT_EQ(ValueOf(u"-auto", u"AUTO"), u"");
    EXPECT_EQ(ValueOf(u"/AUTO= /SILENT", u"AUTO"), u"");
    EXPECT_TRUE(P::HasSwitch(u"/AUTO -SILENT", u"SILENT"));
}

TEST(CommandLine, TextBeforeTheFirstSwitchIsAnUnnamedCommand) {
    const auto commands = P::Parse(u"file -x");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0]->Name, u"");
    ASSERT_EQ(commands[0]->Count(), 1);
    EXPECT_EQ((*commands[0])[0], u"file -x");
    EXPECT_FALSE(P::HasSwitch(u"file -x", u"x"));
}

TEST(CommandLine, QuotedValueKeepsABackslashBeforeTheClosingQuote) {
    const String line = u"/PATH=\"C:\\Program Files\\ORVO\\\" /AUTO /SILENT";
    EXPECT_EQ(ValueOf(line, u"PATH"), u"C:\\Program Files\\ORVO\\");
    EXPECT_TRUE(P::HasSwitch(line, u"AUTO"));
    EXPECT_TRUE(P::HasSwitch(line, u"SILENT"));
}

TEST(CommandLine, FirstOfTwoEqualSwitchesWins) {
    EXPECT_EQ(ValueOf(u"/SKIPUAC=12 /skipuac=34", u"SKIPUAC"), u"12");
}

TEST(CommandLine, EmptyAndOddInput) {
    EXPECT_TRUE(P::Parse(u"").empty());
    EXPECT_TRUE(P::Parse(u"   ").empty());
    EXPECT_FALSE(P::HasSwitch(u"", u"AUTO"));
    // A lone quote, a slash without a name and line breaks never crash and keep their text.
    const auto commands = P::Parse(u"/AUTO=\"C:\\x / \r\n-");
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands[0]->Name, u"AUTO");
    // A path after text starts a value of its own.
    const auto paths = P::Parse(u"x C:\\a \\\\srv\\share\\b");
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0]->Count(), 3);
}

TEST(ParamsLine, DropsTheProgramPathQuotedOrNot) {
    EXPECT_EQ(P::ParamsLine(u"\"C:\\Program Files\\Setup.exe\"  /AUTO /SILENT "), u"/AUTO /SILENT");
    EXPECT_EQ(P::ParamsLine(u"C:\\Setup.exe /AUTO=\"C:\\A B\""), u"/AUTO=\"C:\\A B\"");
    EXPECT_EQ(P::ParamsLine(u"  \t\"C:\\Setup.exe\"  "), u"");
    EXPECT_EQ(P::ParamsLine(u"Setup.exe"), u"");
    EXPECT_EQ(P::ParamsLine(u""), u"");
}

TEST(BuiltCommandLines, ElevationAndUninstallerRestartParseBack) {
    const String elevated = BuildElevationParams(123456, u"/AUTO=\"C:\\A B\" /SILENT");
    EXPECT_EQ(elevated, u"/SKIPUAC=123456 /AUTO=\"C:\\A B\" /SILENT");
    EXPECT_EQ(ValueOf(elevated, u"SKIPUAC"), u"123456");
    EXPECT_EQ(ValueOf(elevated, u"AUTO"), u"C:\\A B");

    const String restarted = BuildUninstallerRestartParams(u"C:\\Program Files\\ORVO", u"/AUTO /SILENT");
    EXPECT_EQ(restarted, u"/PATH=\"C:\\Program Files\\ORVO\\\" /AUTO /SILENT");
    EXPECT_EQ(ValueOf(restarted, u"PATH"), u"C:\\Program Files\\ORVO\\");
    EXPECT_TRUE(P::HasSwitch(restarted, u"SILENT"));
}

#ifdef _WIN32
TEST(CommandLine, ParamsLineOfTheRealProcess) {
    // The arguments of a test run hold no spaces, so they are the parameters joined by spaces.
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    ASSERT_NE(args, nullptr);
    String expected;
    for (int i = 1; i < count; ++i) expected += (i > 1 ? u" " : u"") + FromWide(args[i]);
    LocalFree(args);
    EXPECT_EQ(TORLCommandLineProcessor::ParamsLine(), expected);
}
#endif

}  // namespace
}  // namespace uinst
