#include "base/format.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(Format, SubstitutesTextsAndNumbersInOrder) {
    EXPECT_EQ(Format(u"Cannot install update on v%s", {u"5.02"}), u"Cannot install update on v5.02");
    EXPECT_EQ(Format(u"%d of %d files, 100%%", {3, 10}), u"3 of 10 files, 100%");
    EXPECT_EQ(Format(u"/%s=%d %s", {u"SKIPUAC", -5, u""}), u"/SKIPUAC=-5 ");
    EXPECT_EQ(Format(u"%1:s %0:s", {u"a", u"b"}), u"b a");
}

TEST(Format, ForgivesPatternsThatDoNotMatchTheArguments) {
    EXPECT_EQ(Format(u"%s and %s", {u"one"}), u"one and %s");
    EXPECT_EQ(Format(u"tail %", {}), u"tail %");
    EXPECT_EQ(Format(u"%q", {1}), u"%q");
    EXPECT_EQ(Format(u"%5:s", {u"x"}), u"%5:s");
}

}  // namespace
}  // namespace uinst
