#include "base/integers.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(Integers, DecimalAndEveryHexPrefix) {
    EXPECT_EQ(TryStrToInt(u"5030"), 5030);
    EXPECT_EQ(TryStrToInt(u" -12"), -12);
    EXPECT_EQ(TryStrToInt(u"+7"), 7);
    for (const char16_t* text : {u"$1F", u"x1f", u"X1F", u"0x1F", u"0X1f"})
        EXPECT_EQ(TryStrToInt(text), 31) << StringToUtf8(text);
    EXPECT_EQ(TryStrToInt(u"$FFFFFFFF"), -1);
    EXPECT_EQ(TryStrToInt(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(TryStrToInt64(u"$7FFFFFFFFFFFFFFF"), INT64_MAX);
}

TEST(Integers, RejectsWhatIsNotANumber) {
    for (const char16_t* text :
         {u"", u" ", u"12 ", u"1.5", u"abc", u"$", u"0x", u"-", u"2147483648", u"$100000000", u"1e3"})
        EXPECT_FALSE(TryStrToInt(text).has_value()) << StringToUtf8(text);
    EXPECT_EQ(StrToIntDef(u"nope", 9), 9);
}

}  // namespace
}  // namespace uinst
