#include "formats/skin_stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace uinst {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Short(std::string_view text) {
    Bytes out{static_cast<uint8_t>(text.size())};
    for (char c : text) out.push_back(static_cast<uint8_t>(c));
    return out;
}

// "TPF0", a root object "TRoot" without a name, the given property bytes and the two ends.
Bytes Stream(const Bytes& properties) {
    return Concat({{'T', 'P', 'F', '0'}, Short("TRoot"), Short(""), properties, {0, 0}});
}

TORLStreamValue ReadOne(const Bytes& valueBytes) {
    const Bytes bytes = Stream(Concat({Short("P"), valueBytes}));
    const TORLStreamObject root = ReadSkinStream(bytes.data(), bytes.size());
    EXPECT_EQ(root.Properties.size(), 1u);
    return root.Properties.at(0).Value;
}

TEST(SkinStream, ReadsEveryTag) {
    EXPECT_EQ(ReadOne({vaInt8, 0xFE}).Integer, -2);
    EXPECT_EQ(ReadOne({vaInt16, 0x00, 0x80}).Integer, -32768);
    EXPECT_EQ(ReadOne({vaInt32, 0x01, 0x02, 0x03, 0x84}).Integer, static_cast<int32_t>(0x84030201));
    EXPECT_EQ(ReadOne({vaInt64, 1, 0, 0, 0, 0, 0, 0, 0x80}).Integer, INT64_MIN + 1);
    EXPECT_EQ(ReadOne(Concat({{vaString}, Short("h\xE9")})).Text, u"h\u00E9");  // Latin-1
    const TORLStreamValue ident = ReadOne(Concat({{vaIdent}, Short("claBlack")}));
    EXPECT_EQ(ident.Type, vaIdent);
    EXPECT_EQ(ident.Text, u"claBlack");
    EXPECT_EQ(ReadOne({vaFalse}).Type, vaFalse);
    EXPECT_EQ(ReadOne({vaTrue}).Type, vaTrue);
    EXPECT_EQ(ReadOne({vaNil}).Type, vaNil);
    EXPECT_EQ(ReadOne({vaNull}).Type, vaNull);
    EXPECT_EQ(ReadOne({vaBinary, 3, 0, 0, 0, 7, 8, 9}).Bytes, (Bytes{7, 8, 9}));
    EXPECT_EQ(ReadOne(Concat({{vaSet}, Short("fsBold"), Short("fsItalic"), {0}})).Members,
              (std::vector<String>{u"fsBold", u"fsItalic"}));
    EXPECT_EQ(ReadOne({vaLString, 2, 0, 0, 0, 'a', 'b'}).Text, u"ab");
    EXPECT_EQ(ReadOne({vaWString, 2, 0, 0, 0, 0x3A, 0x04, 'x', 0}).Text, u"\u043Ax");
    EXPECT_EQ(ReadOne({vaUTF8String, 2, 0, 0, 0, 0xD0, 0xBA}).Text, u"\u043A");

    // Floats: 1.5 in each form; currency counts ten-thousandths.
    EXPECT_EQ(ReadOne({vaExtended, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F}).AsDouble(), 1.5);
    EXPECT_EQ(ReadOne({vaSingle, 0, 0, 0xC0, 0x3F}).AsDouble(), 1.5);
    EXPECT_EQ(ReadOne({vaDouble, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}).AsDouble(), 1.5);
    EXPECT_EQ(ReadOne({vaDate, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}).AsDouble(), 1.5);
    EXPECT_EQ(ReadOne({vaCurrency, 0x98, 0x3A, 0, 0, 0, 0, 0, 0}).AsDouble(), 1.5);

    const TORLStreamValue list = ReadOne({vaList, vaInt8, 1, vaList, vaTrue, vaNull, vaNull});
    ASSERT_EQ(list.List.size(), 2u);
    EXPECT_EQ(list.List[1].List.at(0).Type, vaTrue);

    // A collection: items marked by 1, one of them with an order number in front.
    const TORLStreamValue items = ReadOne(
        Concat({{vaCollection, vaList}, Short("ID"), {vaString}, Short("a"), {0, vaInt8, 5, vaList, 0, vaNull}}));
    ASSERT_EQ(items.Items.size(), 2u);
    EXPECT_EQ(items.Items[0].Properties.at(0).Name, u"ID");
    EXPECT_FALSE(items.Items[0].Order.has_value());
    EXPECT_EQ(items.Items[1].Order, 5);
}

TEST(SkinStream, ChildObjectsAndPrefixes) {
    const Bytes bytes = Concat({{'T', 'P', 'F', '0'},
                                Short("TRoot"),
                                Short("root"),
                                {0},
                                {0xF2, vaInt8, 3},
                                Short("TChild"),
                                Short("c"),
                                Short("X"),
                                {vaInt8, 1, 0, 0},
                                {0}});
    const TORLStreamObject root = ReadSkinStream(bytes.data(), bytes.size());
    EXPECT_EQ(root.Name, u"root");
    ASSERT_EQ(root.Children.size(), 1u);
    EXPECT_EQ(root.Children[0].Flags, 2);
    EXPECT_EQ(root.Children[0].ChildPos, 3);
    EXPECT_EQ(root.Children[0].Find(u"X")->Integer, 1);
    EXPECT_EQ(WriteSkinStream(root), bytes);
}

TEST(SkinStream, WriterRoundTrips) {
    TORLStreamObject root;
    root.ClassName = u"TORLRootResourceCollectionImpl";
    auto add = [&](StringView name, TORLStreamValue value) { root.Properties.push_back({String(name), value}); };
    for (int64_t n : {0LL, -128LL, 127LL, 128LL, -32769LL, 70000LL, 5000000000LL})
        add(u"I", TORLStreamValue::FromInteger(n));
    add(u"S", TORLStreamValue::FromString(u"plain"));
    add(u"L", TORLStreamValue::FromString(String(300, u'x')));
    add(u"W", TORLStreamValue::FromString(u"\u0436"));
    add(u"B", TORLStreamValue::FromBinary({1, 2, 3}));
    add(u"E", TORLStreamValue::FromSet({u"a", u"b"}));
    add(u"T", TORLStreamValue::FromBool(true));
    add(u"C", TORLStreamValue::FromIdent(u"xFF000000"));
    const Bytes bytes = WriteSkinStream(root);
    EXPECT_EQ(ReadSkinStream(bytes.data(), bytes.size()), root);
    // Integers take the smallest tag, strings the short form when they fit.
    EXPECT_EQ(root.Properties[0].Value.Type, vaInt8);
    EXPECT_EQ(root.Properties[3].Value.Type, vaInt16);
    EXPECT_EQ(root.Properties[5].Value.Type, vaInt32);
    EXPECT_EQ(root.Properties[6].Value.Type, vaInt64);
    EXPECT_EQ(root.Properties[8].Value.Type, vaLString);
    EXPECT_EQ(root.Properties[9].Value.Type, vaWString);

    // A class name long enough to look like a prefix byte.
    TORLStreamObject longName;
    longName.ClassName = String(250, u'T');
    const Bytes longBytes = WriteSkinStream(longName);
    EXPECT_EQ(ReadSkinStream(longBytes.data(), longBytes.size()), longName);

    TORLStreamObject bad;
    EXPECT_THROW(WriteSkinStream(bad), ESkinStreamError);  // no class name
    bad.ClassName = u"\u0436";
    EXPECT_THROW(WriteSkinStream(bad), ESkinStreamError);  // not Latin-1
}

TEST(SkinStream, DamagedStreamsAreRejectedWithoutReadingOutside) {
    const Bytes good = Stream(Concat({Short("Items"),
                                      {vaCollection, vaList},
                                      Short("ID"),
                                      {vaString},
                                      Short("x"),
                                      Short("Resource.Data"),
                                      {vaBinary, 2, 0, 0, 0, 1, 2},
                                      {0, vaNull}}));
    EXPECT_NO_THROW(ReadSkinStream(good.data(), good.size()));
    // Every shortened copy lies in a buffer of its own size, so a read past it would be caught
    // by the address sanitizer of the fuzz build and fails here by the exception's absence.
    for (size_t size = 0; size < good.size(); ++size) {
        const Bytes cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_THROW(ReadSkinStream(cut.data(), cut.size()), ESkinStreamError) << size;
    }
    // Lengths that claim more than the stream holds.
    for (uint8_t tag : {vaBinary, vaLString, vaWString, vaUTF8String}) {
        const Bytes huge = Stream(Concat({Short("P"), {tag, 0xFF, 0xFF, 0xFF, 0xFF, 0}}));
        EXPECT_THROW(ReadSkinStream(huge.data(), huge.size()), ESkinStreamError) << int(tag);
    }
    const Bytes shortString = Stream(Concat({Short("P"), {vaString, 200, 'a'}}));
    EXPECT_THROW(ReadSkinStream(shortString.data(), shortString.size()), ESkinStreamError);
    const Bytes unknownTag = Stream(Concat({Short("P"), {22}}));
    EXPECT_THROW(ReadSkinStream(unknownTag.data(), unknownTag.size()), ESkinStreamError);
    const Bytes noMark = Stream(Concat({Short("P"), {vaCollection, 2, 0}}));  // an item without its 1
    EXPECT_THROW(ReadSkinStream(noMark.data(), noMark.size()), ESkinStreamError);
    Bytes magic = good;
    magic[3] = '1';
    EXPECT_THROW(ReadSkinStream(magic.data(), magic.size()), ESkinStreamError);
    const Bytes noClass = Concat({{'T', 'P', 'F', '0'}, Short(""), Short(""), {0, 0}});
    EXPECT_THROW(ReadSkinStream(noClass.data(), noClass.size()), ESkinStreamError);
}

TEST(SkinStream, NestingIsCapped) {
    auto nested = [](int depth) {
        Bytes value(static_cast<size_t>(depth), vaList);
        value.push_back(vaTrue);
        value.insert(value.end(), static_cast<size_t>(depth), vaNull);
        return Stream(Concat({Short("P"), value}));
    };
    const Bytes fine = nested(kSkinStreamMaxDepth - 2);
    EXPECT_NO_THROW(ReadSkinStream(fine.data(), fine.size()));
    const Bytes deep = nested(100000);
    EXPECT_THROW(ReadSkinStream(deep.data(), deep.size()), ESkinStreamError);

    Bytes objects{'T', 'P', 'F', '0'};
    for (int i = 0; i < 100000; ++i) objects.insert(objects.end(), {1, 'T', 0, 0});
    objects.insert(objects.end(), 100000, 0);
    EXPECT_THROW(ReadSkinStream(objects.data(), objects.size()), ESkinStreamError);
}

}  // namespace
}  // namespace uinst
