#include "formats/xml_binary.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Save(const TORLXMLDocument& document) {
    TMemoryStream stream;
    TORLXMLWriteSettings settings;
    settings.Format = TORLXMLWriteSettings::kFormatBinary;
    document.SaveToStream(stream, settings);
    return stream.Bytes();
}

void Load(TORLXMLDocument& document, const Bytes& bytes) {
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    document.LoadFromStream(stream);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Ascii8(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes U16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}
Bytes I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}
Bytes U64(uint64_t v) {
    Bytes out;
    for (int i = 0; i < 8; ++i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

// An SXML document from a tree and a string table given as raw bytes.
Bytes SXML(const Bytes& tree, const Bytes& table) {
    return Concat({Ascii8("SXML"), U64(tree.size()), tree, table});
}

TEST(XMLVarInt, SevenBitsAtATime) {
    std::string out;
    WriteXMLVarInt(out, 300);
    EXPECT_EQ(out, "\xAC\x02");
    out.clear();
    WriteXMLVarInt(out, 127);
    WriteXMLVarInt(out, 0xFFFFFFFF);
    EXPECT_EQ(out, std::string("\x7F\xFF\xFF\xFF\xFF\x0F"));
    TReadOnlyMemoryStream stream(out.data(), out.size());
    EXPECT_EQ(ReadXMLVarInt(stream), 127u);
    EXPECT_EQ(ReadXMLVarInt(stream), 0xFFFFFFFFu);
    const std::string tooLong = "\xFF\xFF\xFF\xFF\x1F";
    TReadOnlyMemoryStream bad(tooLong.data(), tooLong.size());
    EXPECT_THROW(ReadXMLVarInt(bad), EORLXMLDocument);
}

TEST(SXML, SingleEmptyRootBytes) {
    TORLXMLDocument document;
    document.Add("root");
    EXPECT_EQ(Save(document), Concat({Ascii8("SXML"), U64(3), {0x01, 0x00, 0x00}, {0x01, 0x04}, Ascii8("root")}));
}

TEST(SXML, CountsAndNameTable) {
    TORLXMLDocument document;
    TORLXMLNode* root = document.Add("root");
    root->Attributes().Add("a", String(300, u'v'));
    for (int i = 0; i < 100; ++i) root->Add("item");
    root->Nodes(0)->Attributes().Add("root", u"");
    const Bytes bytes = Save(document);

    // Tree: one child; "root" (0), flags attributes + children; one attribute "a" (1) of 300 units.
    const Bytes head = {0x01, 0x00, 0x03, 0x01, 0x01, 0xAC, 0x02};
    ASSERT_GT(bytes.size(), 12 + head.size());
    EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 12 + head.size()), head);
    // Names are stored once, in the order they were first met.
    const Bytes table = Concat({{0x03, 0x04}, Ascii8("root"), {0x01}, Ascii8("a"), {0x04}, Ascii8("item")});
    EXPECT_EQ(Bytes(bytes.end() - table.size(), bytes.end()), table);

    TORLXMLDocument back;
    Load(back, bytes);
    EXPECT_TRUE(back.Equals(document));
    EXPECT_EQ(Save(back), bytes);
}

TEST(SXML, EveryPartRoundTrips) {
    TORLXMLDocument document;
    TORLXMLNode* root = document.Add("Setup");
    root->SetText(String(u" text \U0001F3B5 ") + String(1, Char(0xDC00)));
    root->Attributes().Add("Name", u"");
    root->Attributes().Add("name", u"dup");
    TORLXMLNode* files = root->Add("Files");
    files->Add("File")->Attributes().Add("Path", u"C:\\x");
    files->Add("")->SetText(u"empty name");
    const Bytes bytes = Save(document);
    TORLXMLDocument back;
    Load(back, bytes);
    EXPECT_TRUE(back.Equals(document));
    EXPECT_EQ(back.Nodes(0)->Attributes().Items(1)->Value, u"dup");
    EXPECT_EQ(Save(back), bytes);
}

TEST(SXML, LeavesTheStreamBehindTheDocument) {
    TORLXMLDocument document;
    document.Add("r");
    Bytes bytes = Save(document);
    const size_t size = bytes.size();
    bytes.push_back(0x55);
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    TORLXMLDocument back;
    back.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(size));
}

TEST(SXML, DamagedDocumentsAreRejected) {
    const Bytes table = Concat({{0x01, 0x01}, Ascii8("r")});
    TORLXMLDocument document;
    // A name index outside the table.
    EXPECT_THROW(Load(document, SXML({0x01, 0x01, 0x00}, table)), EORLXMLDocument);
    // A tree length pointing outside the stream.
    EXPECT_THROW(Load(document, Concat({Ascii8("SXML"), U64(1000), {0x01, 0x00, 0x00}, table})), EReadError);
    EXPECT_THROW(Load(document, Concat({Ascii8("SXML"), U64(~0ull), {0x01, 0x00, 0x00}, table})), EReadError);
    // Counts larger than what the stream could hold: children, attributes, text, table, name.
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, table)), EReadError);
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x7F}, table)), EReadError);
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x04, 0x80, 0x80, 0x80, 0x80, 0x08}, table)), EReadError);
    EXPECT_THROW(Load(document, SXML({0x7F, 0x00, 0x00}, table)), EReadError);
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x00}, Concat({{0xFF, 0x01, 0x01}, Ascii8("r")}))), EReadError);
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x00}, Concat({{0x01, 0x09}, Ascii8("r")}))), EReadError);
    // A number that runs past five bytes.
    EXPECT_THROW(Load(document, SXML({0x01, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, table)), EORLXMLDocument);
}

TEST(SXML, DamageKeepsWhatWasReadAndSecondRootRaises) {
    TORLXMLDocument document;
    const Bytes table = Concat({{0x01, 0x01}, Ascii8("r")});
    // Root "r" with two children "r"; the second one announces 127 code units of text that the
    // stream does not hold.
    EXPECT_THROW(Load(document, SXML({0x01, 0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x04, 0x7F}, table)), EReadError);
    ASSERT_EQ(document.Count(), 1);
    EXPECT_EQ(document.Nodes(0)->Count(), 2);

    // A stream that ends inside the tree's length field.
    EXPECT_THROW(Load(document, Concat({Ascii8("SXML"), {0x03, 0x00}})), EReadError);
    EXPECT_EQ(document.Count(), 0);

    EXPECT_THROW(Load(document, SXML({0x02, 0x00, 0x00, 0x00, 0x00}, table)), EORLXMLDocument);
    ASSERT_EQ(document.Count(), 1);
    EXPECT_EQ(document.Nodes(0)->Name(), "r");
}

TEST(SXML, CopiesOfNamesAreBoundedByTheBodySize) {
    // A root named by a 4 KiB name with `children` empty children of the same name: each child
    // record is two bytes but copies the whole name.
    const std::string name(4096, 'n');
    const auto document = [&](uint32_t children) {
        std::string tree;
        WriteXMLVarInt(tree, 1);
        tree += std::string{0x00, 0x02};
        WriteXMLVarInt(tree, children);
        for (uint32_t i = 0; i < children; ++i) tree += std::string{0x00, 0x00};
        std::string table;
        WriteXMLVarInt(table, 1);
        WriteXMLVarInt(table, static_cast<uint32_t>(name.size()));
        table += name;
        return SXML(Ascii8(tree), Ascii8(table));
    };
    const auto nameBytes = [&](uint32_t children) { return (children + 1) * uint64_t(name.size()); };
    const auto limit = [&](const Bytes& bytes) { return SXMLNameBytesLimit(bytes.size() - 4); };

    const Bytes within = document(300);
    ASSERT_LE(nameBytes(300), limit(within));
    TORLXMLDocument loaded;
    Load(loaded, within);
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.Nodes(0)->Count(), 300);

    const Bytes beyond = document(400);
    ASSERT_GT(nameBytes(400), limit(beyond));
    EXPECT_THROW(Load(loaded, beyond), EORLXMLDocument);
}

TEST(BXML, ReadsTheLegacyForm) {
    // <r a="v">text<c/></r>, then a child with flag 4 and a text count of 0.
    const Bytes bytes = Concat({Ascii8("BXML"),
                                I32(1),
                                // r: flags attributes + children + text
                                U16(1),
                                Ascii8("r"),
                                {0x07},
                                I32(2),
                                U16(u't'),
                                U16(u'x'),
                                // one attribute
                                I32(1),
                                U16(1),
                                Ascii8("a"),
                                U16(1),
                                U16(u'v'),
                                // two children
                                I32(2),
                                U16(1),
                                Ascii8("c"),
                                {0x00},
                                U16(1),
                                Ascii8("d"),
                                {0x04},
                                I32(0)});
    TORLXMLDocument document;
    Load(document, bytes);
    ASSERT_EQ(document.Count(), 1);
    TORLXMLNode* r = document.Nodes(0);
    EXPECT_EQ(r->Name(), "r");
    EXPECT_EQ(r->Text(), u"tx");
    EXPECT_EQ(r->Attributes().GetValue("a"), u"v");
    ASSERT_EQ(r->Count(), 2);
    EXPECT_EQ(r->Nodes(1)->Name(), "d");
    EXPECT_EQ(r->Nodes(1)->Text(), u"");
}

TEST(BXML, NegativeCountsAreEmptyAndDamageIsRejected) {
    TORLXMLDocument document;
    Load(document, Concat({Ascii8("BXML"), I32(-5)}));
    EXPECT_EQ(document.Count(), 0);
    Load(document, Concat({Ascii8("BXML"), I32(1), U16(1), Ascii8("r"), {0x07}, I32(-1), I32(-1), I32(-1)}));
    ASSERT_EQ(document.Count(), 1);
    EXPECT_EQ(document.Nodes(0)->Count(), 0);
    EXPECT_EQ(document.Nodes(0)->Attributes().Count(), 0);

    EXPECT_THROW(Load(document, Concat({Ascii8("BXML"), I32(0x7FFFFFFF), U16(1), Ascii8("r"), {0x00}})), EReadError);
    EXPECT_THROW(Load(document, Concat({Ascii8("BXML"), I32(1), U16(1), Ascii8("r"), {0x04}, I32(0x40000000)})),
                 EReadError);
    EXPECT_THROW(Load(document, Concat({Ascii8("BXML"), I32(1), U16(1), Ascii8("r"), {0x01}, I32(1000)})), EReadError);
    // A name longer than the rest of the stream, and a second root.
    EXPECT_THROW(Load(document, Concat({Ascii8("BXML"), I32(1), U16(500), Ascii8("r")})), EReadError);
    EXPECT_THROW(
        Load(document, Concat({Ascii8("BXML"), I32(2), U16(1), Ascii8("r"), {0x00}, U16(1), Ascii8("s"), {0}})),
        EORLXMLDocument);
    ASSERT_EQ(document.Count(), 1);
    EXPECT_EQ(document.Nodes(0)->Name(), "r");
}

}  // namespace
}  // namespace uinst
