#include "base/string.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(Utf8, RoundTripsAllPlanes) {
    const String text = u"A\u00e9\u0416\u20ac\U0001F3B5z";
    EXPECT_EQ(Utf8ToString(StringToUtf8(text)), text);
    EXPECT_EQ(StringToUtf8(u"\u00e9"), "\xC3\xA9");
}

TEST(Utf8, DamagedInputBecomesReplacementCharacters) {
    // A truncated sequence, a lone continuation byte, an overlong form and an encoded surrogate.
    EXPECT_EQ(Utf8ToString("a\xE2\x82"), u"a\uFFFD");
    EXPECT_EQ(Utf8ToString("\x80z"), u"\uFFFDz");
    EXPECT_EQ(Utf8ToString("\xC0\xAF"), u"\uFFFD");
    EXPECT_EQ(Utf8ToString("\xED\xA0\x80"), u"\uFFFD");
    EXPECT_EQ(StringToUtf8(String(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Trim, RemovesControlsAndSpacesAtBothEnds) {
    EXPECT_EQ(Trim(u" \t\r\nab c\x01 "), u"ab c");
    EXPECT_EQ(Trim(u"   "), u"");
    EXPECT_EQ(TrimLeft(u"  a "), u"a ");
    EXPECT_EQ(TrimRight(u"  a "), u"  a");
}

}  // namespace
}  // namespace uinst
