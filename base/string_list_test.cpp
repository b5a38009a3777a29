#include "base/string_list.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(StringList, NameValueLookupsSplitAtTheFirstEqualsAndIgnoreCase) {
    TORLStringList list;
    list.Add(u"Path=C:\\a=b");
    list.Add(u" key = value ");
    list.Add(u"novalue");
    EXPECT_EQ(list.IndexOfName(u"PATH"), 0);
    EXPECT_EQ(list.Values(u"path"), u"C:\\a=b");
    EXPECT_EQ(list.Names(1), u" key ");
    EXPECT_EQ(list.ValueFromIndex(1), u" value ");
    EXPECT_EQ(list.IndexOfName(u"key"), -1);  // names are not trimmed
    EXPECT_EQ(list.Names(2), u"");
    EXPECT_EQ(list.IndexOf(u"NOVALUE"), 2);
    list.SetValue(u"PATH", u"D:\\");
    EXPECT_EQ(list[0], u"PATH=D:\\");
    list.SetValue(u"New", u"1");
    EXPECT_EQ(list.Count(), 4);
}

TEST(StringList, TextJoinsWithCrLfAndSplitsAtEveryLineBreak) {
    TORLStringList list;
    list.SetText(u"a\r\nb\rc\nd\u2028e\r\n\r\nf");
    ASSERT_EQ(list.Count(), 7);
    EXPECT_EQ(list[4], u"e");
    EXPECT_EQ(list[5], u"");
    EXPECT_EQ(list[6], u"f");
    EXPECT_EQ(list.Text(), u"a\r\nb\r\nc\r\nd\r\ne\r\n\r\nf\r\n");
    list.SetText(u"x\r\n");
    EXPECT_EQ(list.Count(), 1);
    list.SetText(u"");
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, TagsAndReferencesTravelWithTheirItemsWhenSorted) {
    TORLStringList list;
    auto ref = std::make_shared<int>(42);
    list.Add(u"track10", 10);
    list.Add(u"Track9", 9, ref);
    list.Add(u"track1", 1);
    list.SortLogical();
    EXPECT_EQ(list[0], u"track1");
    EXPECT_EQ(list[1], u"Track9");
    EXPECT_EQ(list.Tag(1), 9);
    EXPECT_EQ(*std::static_pointer_cast<int>(list.Ref(1)), 42);
    EXPECT_EQ(list.Tag(2), 10);
    EXPECT_THROW(list.Delete(3), std::out_of_range);
}

}  // namespace
}  // namespace uinst
