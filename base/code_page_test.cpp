#include "base/code_page.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(CodePage, DecodesAndEncodesWindowsCodePages) {
    const std::string cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in 1251
    EXPECT_EQ(DecodeCodePage(cyrillic.data(), cyrillic.size(), 1251), u"\u041f\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(EncodeCodePage(u"\u041f\u0440\u0438\u0432\u0435\u0442", 1251), cyrillic);
    EXPECT_EQ(DecodeCodePage("\x80", 1, 1252), u"\u20ac");
    EXPECT_EQ(EncodeCodePage(u"a\u0416b", 1252), "a?b");
    EXPECT_EQ(DecodeCodePage("", 0, 1252), u"");
}

TEST(CodePage, StrictUtf8RejectsBrokenSequences) {
    EXPECT_EQ(DecodeCodePage("\xC3\xA9", 2, kCodePageUtf8, true), u"\u00e9");
    EXPECT_FALSE(DecodeCodePage("\xC3", 1, kCodePageUtf8, true).has_value());
    EXPECT_TRUE(DecodeCodePage("\xC3", 1, kCodePageUtf8, false).has_value());
}

TEST(CodePage, SettingSelectsTheEffectiveAnsiCodePage) {
    EXPECT_EQ(AnsiCodePageSetting(), 0);
    EXPECT_EQ(EffectiveAnsiCodePage(), SystemAnsiCodePage());
    SetAnsiCodePageSetting(1251);
    EXPECT_EQ(EffectiveAnsiCodePage(), 1251u);
    SetAnsiCodePageSetting(0);
}

}  // namespace
}  // namespace uinst
