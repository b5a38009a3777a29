#include "base/text_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace uinst {
namespace {

TEST(SameText, IgnoresCaseBeyondAscii) {
    EXPECT_TRUE(SameText(u"Install.XML", u"install.xml"));
    EXPECT_TRUE(SameText(u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439", u"\u0420\u0423\u0421\u0421\u041a\u0418\u0419"));
    EXPECT_TRUE(SameText(u"\u00e9T\u00e9", u"\u00c9t\u00c9"));
    EXPECT_FALSE(SameText(u"abc", u"abcd"));
    EXPECT_FALSE(SameText(u"abc", u"abd"));
    EXPECT_EQ(UpperCase(u"stra\u00dfe \u0436"), u"STRA\u00dfE \u0416");
    EXPECT_EQ(LowerCase(u"ORVO"), u"orvo");
}

TEST(CompareLogical, OrdersDigitRunsByValue) {
    std::vector<String> names = {u"File10", u"file2", u"File1", u"a", u"File02", u"B", u"file"};
    std::stable_sort(names.begin(), names.end(),
                     [](const String& a, const String& b) { return CompareLogical(a, b) < 0; });
    const std::vector<String> expected = {u"a", u"B", u"file", u"File1", u"file2", u"File02", u"File10"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(CompareLogical(u"ABC", u"abc"), 0);
    EXPECT_LT(CompareLogical(u"v9.10", u"v10.2"), 0);
    EXPECT_GT(CompareLogical(u"x100000000000000000000", u"x99999999999999999999"), 0);
}

}  // namespace
}  // namespace uinst
