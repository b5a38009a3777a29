#include "formats/xml_text.h"

#include <gtest/gtest.h>

#include "base/code_page.h"

namespace uinst {
namespace {

std::unique_ptr<TORLXMLDocument> Read(std::string_view text, uint8_t mode = TORLXMLReadSettings::kModeUtf8,
                                      int32_t codePage = 0) {
    auto document = std::make_unique<TORLXMLDocument>();
    TReadOnlyMemoryStream stream(text.data(), text.size());
    TORLXMLReadSettings settings;
    settings.Mode = mode;
    settings.CodePage = codePage;
    document->LoadFromStream(stream, settings);
    return document;
}

std::string Write(const TORLXMLNode& document, uint8_t attributePerLine, uint8_t indent, uint8_t lineBreaks) {
    TMemoryStream stream;
    TORLXMLWriteSettings settings;
    settings.Format = TORLXMLWriteSettings::kFormatText;
    settings.AttributePerLine = attributePerLine;
    settings.Indent = indent;
    settings.LineBreaks = lineBreaks;
    static_cast<const TORLXMLDocument&>(document).SaveToStream(stream, settings);
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

// Restores the process-wide setting that a test changes.
class AnsiCodePageGuard {
public:
    AnsiCodePageGuard() : FSaved(AnsiCodePageSetting()) {}
    ~AnsiCodePageGuard() { SetAnsiCodePageSetting(FSaved); }

private:
    int32_t FSaved;
};

TEST(XMLTextReader, ElementTextIsTrimmedUnlessPreserved) {
    auto doc = Read("<a>  word \r\n</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"word");

    doc = Read("<a xml:space=\"PRESERVE\" k=\"v\">  word \r\n</a>");
    TORLXMLNode* a = doc->Nodes(0);
    EXPECT_EQ(a->Text(), u"  word \r\n");
    EXPECT_EQ(a->Attributes().Count(), 1);  // the xml:space attribute is consumed
    EXPECT_EQ(a->Attributes().GetValue("k"), u"v");

    doc = Read("<a xml:space=\"default\"> w </a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"w");
}

TEST(XMLTextReader, PreserveSwitchReachesTheFirstDescendantsOnly) {
    // The switch holds until the next empty element or end tag.
    auto doc = Read("<a xml:space=\"preserve\"><b> x </b><c> y </c></a>");
    EXPECT_EQ(doc->Nodes(0)->Nodes(0)->Text(), u" x ");
    EXPECT_EQ(doc->Nodes(0)->Nodes(1)->Text(), u"y");
    doc = Read("<a xml:space=\"preserve\"><e/><c> y </c></a>");
    EXPECT_EQ(doc->Nodes(0)->Nodes(1)->Text(), u"y");
}

TEST(XMLTextReader, TextAfterAChildIsDropped) {
    auto doc = Read("<a> first <b/> second </a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"first");
    doc = Read("<a> first <b>x</b> second <c/> third </a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"first");
    EXPECT_EQ(doc->Nodes(0)->Nodes(0)->Text(), u"x");
    // Text that follows an empty child is still pending when the next child starts, and goes to
    // the parent then.
    doc = Read("<a> first <b/> second <c/> third </a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"second");
}

TEST(XMLTextReader, CommentsRemoveTextAndCharacterDataOverridesIt) {
    EXPECT_EQ(Read("<a>text<!-- note --></a>")->Nodes(0)->Text(), u"");
    EXPECT_EQ(Read("<a><!-- note -->text</a>")->Nodes(0)->Text(), u"");
    // Character data is not trimmed but is entity-decoded; the last block wins.
    auto doc = Read("<a>x<![CDATA[ one ]]>y<![CDATA[ &amp; <two> ]]>z</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u" & <two> ");
    // Character data before a child element survives it.
    doc = Read("<a><![CDATA[c]]><b/>tail</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"c");
}

TEST(XMLTextReader, EntitiesInText) {
    auto doc = Read("<a>&#65;&#x41;&#0x41; &AMP; [&;] &amp &lt;&gt;&quot;&apos; \\&amp;</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"AAA AMP [] &amp <>\"' &amp;");
}

TEST(XMLTextReader, AttributesWithAndWithoutValues) {
    auto doc = Read("<a b=1 c d=\"x y\" e = 'q' f=\"&lt;&#x263A;\"/>");
    const TORLXMLAttributes& list = doc->Nodes(0)->Attributes();
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Items(0)->Name, "b");
    EXPECT_EQ(list.Items(0)->Value, u"1");
    EXPECT_EQ(list.Items(1)->Name, "c");
    EXPECT_EQ(list.Items(1)->Value, u"");
    EXPECT_EQ(list.Items(2)->Name, "d");
    EXPECT_EQ(list.Items(2)->Value, u"x y");
    EXPECT_EQ(list.Items(3)->Value, u"q");
    EXPECT_EQ(list.Items(4)->Value, u"<\u263A");
}

TEST(XMLTextReader, OddTagsFollowTheCounter) {
    // "a==b": the second equals sign is a's value; after a value, or where an equals sign belongs,
    // a token starts the next attribute; a quoted value stops at ">"; names are raw bytes.
    auto doc = Read("<n\xC3\xA9 a==b c d=e=f x=\"1>rest</n\xC3\xA9>");
    TORLXMLNode* n = doc->Nodes(0);
    EXPECT_EQ(n->Name(), "n\xC3\xA9");
    const TORLXMLAttributes& list = n->Attributes();
    ASSERT_EQ(list.Count(), 7);
    const char* names[] = {"a", "b", "c", "d", "=", "f", "x"};
    const char16_t* values[] = {u"=", u"", u"", u"e", u"", u"", u"1"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(list.Items(i)->Name, names[i]) << i;
        EXPECT_EQ(list.Items(i)->Value, values[i]) << i;
    }
    EXPECT_EQ(n->Text(), u"rest");
}

TEST(XMLTextReader, OnlyOneRootRaisesAndKeepsTheFirst) {
    TORLXMLDocument document;
    const std::string text = "<a>1</a>\r\n<b>2</b>";
    TReadOnlyMemoryStream stream(text.data(), text.size());
    EXPECT_THROW(document.LoadFromStream(stream), EORLXMLDocument);
    ASSERT_EQ(document.Count(), 1);
    EXPECT_EQ(document.Nodes(0)->Text(), u"1");
}

TEST(XMLTextReader, MalformedInputEndsTheParseQuietly) {
    // A stray end tag at the top ends the parse (the second root is never seen).
    auto doc = Read("<a><b/></a></x><c/>");
    EXPECT_EQ(doc->Count(), 1);
    // A tag start inside a start tag ends everything.
    doc = Read("<a b=\"1\" <c/></a>");
    ASSERT_EQ(doc->Count(), 1);
    EXPECT_EQ(doc->Nodes(0)->Attributes().GetValue("b"), u"1");
    EXPECT_EQ(doc->Nodes(0)->Count(), 0);
    // Missing end tags: the text is never handed over.
    doc = Read("<a><b>text");
    EXPECT_EQ(doc->Nodes(0)->Nodes(0)->Text(), u"");
    // An unterminated comment is an ordinary "<!" tag that swallows the end tag.
    doc = Read("<a>x<!-- y</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"");
    // Inputs below five bytes give an empty document.
    EXPECT_EQ(Read("<a/>")->Count(), 0);
    EXPECT_EQ(Read("")->Count(), 0);
    // End tag names are not compared.
    doc = Read("<a><b>t</c></d>");
    EXPECT_EQ(doc->Nodes(0)->Nodes(0)->Text(), u"t");
}

TEST(XMLTextReader, DeclarationsAndDocumentTypesAreNotElements) {
    auto doc = Read("<?xml version=\"1.0\"?>\r\n<!DOCTYPE script>\r\n<Setup Version=\"5\"/>");
    ASSERT_EQ(doc->Count(), 1);
    EXPECT_EQ(doc->Nodes(0)->Name(), "Setup");
    EXPECT_EQ(doc->FindNode("SETUP"), doc->Nodes(0));
}

TEST(XMLTextReader, DeclaredEncodingSwitchesTheDecoding) {
    // "UTF-8" in capitals is UTF-8, whatever the caller asked for.
    auto doc = Read("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a v=\"\xC3\xA9\">\xE2\x82\xAC</a>",
                    TORLXMLReadSettings::kModeCodePage, 1251);
    EXPECT_EQ(doc->Nodes(0)->Text(), u"\u20AC");
    EXPECT_EQ(doc->Nodes(0)->Attributes().GetValue("v"), u"\u00E9");

    doc = Read("<?xml encoding=\"Windows-1251\"?><a>\xC0\xDF</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"\u0410\u042F");

    // Any other encoding means the library's ANSI code page setting.
    AnsiCodePageGuard guard;
    SetAnsiCodePageSetting(1253);
    doc = Read("<?xml encoding=\"iso-8859-1\"?><a>\xC1</a>");
    EXPECT_EQ(doc->Nodes(0)->Text(), u"\u0391");
}

TEST(XMLTextReader, AnsiCodePageSettingAppliesToLaterReadsWithoutDeclaration) {
    AnsiCodePageGuard guard;
    const std::string text = "<a t=\"\xC0\">\xE0</a>";
    SetAnsiCodePageSetting(1251);
    TReadOnlyMemoryStream stream(text.data(), text.size());
    TORLXMLDocument document(stream);
    EXPECT_EQ(document.Nodes(0)->Text(), u"\u0430");
    EXPECT_EQ(document.Nodes(0)->Attributes().GetValue("t"), u"\u0410");

    SetAnsiCodePageSetting(1252);
    stream.SetPosition(0);
    document.LoadFromStream(stream);
    EXPECT_EQ(document.Nodes(0)->Text(), u"\u00E0");
}

TEST(XMLTextReader, InvalidUtf8EmptiesOnlyTheTextThatHoldsIt) {
    auto doc = Read("<a v=\"\xC3\" w=\"ok\">fine<b>x\xE2\x82</b><c>\xC3(</c><d>\x80\x80</d></a>");
    TORLXMLNode* a = doc->Nodes(0);
    EXPECT_EQ(a->Attributes().GetValue("v"), u"");
    EXPECT_EQ(a->Attributes().GetValue("w"), u"ok");
    EXPECT_EQ(a->Text(), u"fine");
    EXPECT_EQ(a->Nodes(0)->Text(), u"");
    EXPECT_EQ(a->Nodes(1)->Text(), u"");
    // A continuation byte as a lead is taken for a two-byte sequence; overlong forms pass too.
    EXPECT_EQ(a->Nodes(2)->Text(), String(1, u'\0'));
    EXPECT_EQ(DecodeXMLUtf8("\xC0\x81\xED\xA0\x80"), String(u"\x01") + String(1, Char(0xD800)));
}

TEST(XMLTextReader, FourByteUtf8BecomesASurrogatePair) {
    EXPECT_EQ(DecodeXMLUtf8("\xF0\x9F\x8E\xB5!"), u"\U0001F3B5!");
    EXPECT_EQ(DecodeXMLUtf8("a\xF0\x9F\x8E"), u"");
    EXPECT_EQ(DecodeXMLUtf8("\xF0\x8F\xBF\xBF"), u"");  // overlong
    EXPECT_EQ(DecodeXMLUtf8("\xF4\x90\x80\x80"), u"");  // beyond U+10FFFF
    EXPECT_EQ(DecodeXMLUtf8("\xF8\x80\x80\x80\x80"), u"");
}

TEST(XMLTextReader, LoadFromStringIsUtf8) {
    TORLXMLDocument document;
    document.LoadFromString("<a>\xC3\xA9t\xC3\xA9</a>");
    EXPECT_EQ(document.Nodes(0)->Text(), u"\u00E9t\u00E9");
}

// The text in UTF-16 or UTF-32 of either byte order, with its byte-order mark.
std::string Encoded(std::u32string_view text, int width, bool little) {
    std::u32string units;
    for (char32_t c : U"\uFEFF" + std::u32string(text)) {
        if (width == 2 && c >= 0x10000) {
            units.push_back(0xD800 + ((c - 0x10000) >> 10));
            units.push_back(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units.push_back(c);
        }
    }
    std::string bytes;
    for (char32_t u : units)
        for (int k = 0; k < width; ++k) bytes.push_back(char(u >> (8 * (little ? k : width - 1 - k))));
    return bytes;
}

TEST(XMLTextReader, ByteOrderMarksDecideTheEncoding) {
    AnsiCodePageGuard guard;
    SetAnsiCodePageSetting(1252);
    // The declaration's encoding cannot override the mark, nor can the settings.
    constexpr std::u32string_view kDocument =
        U"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
        U"<Setup Name=\"\u0416\u00E9 &amp; \U0001F3B5\">\r\n  <T\u00EBxt>  \u65E5\u672C  </T\u00EBxt>\r\n</Setup>\r\n";
    for (int width : {2, 4}) {
        for (bool little : {true, false}) {
            auto document = Read(Encoded(kDocument, width, little), TORLXMLReadSettings::kModeAnsi);
            ASSERT_EQ(document->Count(), 1) << width << little;
            const TORLXMLNode* setup = document->Nodes(0);
            EXPECT_EQ(setup->Name(), "Setup");
            EXPECT_EQ(setup->Attributes().GetValue("name"), u"\u0416\u00E9 & \U0001F3B5");
            ASSERT_EQ(setup->Count(), 1);
            EXPECT_EQ(setup->Nodes(0)->Name(), "T\xC3\xABxt");
            EXPECT_EQ(setup->Nodes(0)->Text(), u"\u65E5\u672C");
        }
    }

    // A stray last byte of UTF-16 is ignored; an unpaired surrogate stays as it is.
    std::string odd = Encoded(U"<a>x</a>", 2, true);
    odd.insert(odd.size() - 8, std::string("\x00\xD8", 2));
    auto document = Read(odd + "\x3C");
    ASSERT_EQ(document->Count(), 1);
    EXPECT_EQ(document->Nodes(0)->Text(), String(u"x") + Char(0xD800));

    // A UTF-8 mark wins over a declared code page and the ANSI setting.
    document = Read("\xEF\xBB\xBF<?xml encoding=\"windows-1251\"?><a>\xC3\xA9</a>", TORLXMLReadSettings::kModeAnsi);
    EXPECT_EQ(document->Nodes(0)->Text(), u"\u00E9");
    document = Read("\xEF\xBB\xBF<a>\xC3\xA9</a>", TORLXMLReadSettings::kModeAnsi);
    EXPECT_EQ(document->Nodes(0)->Text(), u"\u00E9");
}

TEST(XMLTextReader, DeepNestingIsReadWithoutRecursion) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "<n>";
    auto doc = Read(text);
    int depth = 0;
    for (const TORLXMLNode* n = doc.get(); n->Count() > 0; n = n->Nodes(0)) ++depth;
    EXPECT_EQ(depth, 200000);
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TORLXMLDocument> SampleTree() {
    auto doc = std::make_unique<TORLXMLDocument>();
    TORLXMLNode* root = doc->Add("root");
    root->Attributes().Add("id", u"1");
    root->Add("item")->SetText(u"a<b");
    root->Add("empty");
    TORLXMLNode* group = root->Add("group");
    group->Add("x")->Attributes().Add("k", u"\"&\u00E9");
    return doc;
}

TEST(XMLTextWriter, IndentedWithLineBreaks) {
    EXPECT_EQ(Write(*SampleTree(), 0, 1, 1),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              "<root id=\"1\">\r\n"
              "\t<item>a&lt;b</item>\r\n"
              "\t<empty/>\r\n"
              "\t<group>\r\n"
              "\t\t<x k=\"&quot;&amp;\xC3\xA9\"/>\r\n"
              "\t</group>\r\n"
              "</root>\r\n");
}

TEST(XMLTextWriter, CompactAndAttributePerLine) {
    EXPECT_EQ(Write(*SampleTree(), 0, 0, 0),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              "<root id=\"1\"><item>a&lt;b</item><empty/><group><x k=\"&quot;&amp;\xC3\xA9\"/></group></root>");
    EXPECT_EQ(Write(*SampleTree(), 1, 1, 1),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              "<root\r\n\tid=\"1\"\r\n>\r\n"
              "\t<item>a&lt;b</item>\r\n"
              "\t<empty/>\r\n"
              "\t<group>\r\n"
              "\t\t<x\r\n\t\t\tk=\"&quot;&amp;\xC3\xA9\"\r\n\t\t/>\r\n"
              "\t</group>\r\n"
              "</root>\r\n");
    // Attribute per line without indentation: the tag closes right after the last attribute.
    EXPECT_EQ(Write(*SampleTree(), 1, 0, 0).substr(40, 16), "<root\r\n\tid=\"1\"><");
}

TEST(XMLTextWriter, BlanksAtTheEdgesAreMarkedAndReadBack) {
    TORLXMLDocument doc;
    TORLXMLNode* root = doc.Add("r");
    root->Add("a")->SetText(u"ends with space ");
    root->Add("b")->SetText(u"two\r\nlines");
    root->Add("c")->SetText(
        u"\x01"
        u"control");
    const std::string text = Write(doc, 0, 1, 1);
    EXPECT_NE(text.find("<a xml:space=\"preserve\">ends with space </a>"), std::string::npos);
    EXPECT_NE(text.find("<b xml:space=\"preserve\">two\r\nlines</b>"), std::string::npos);
    auto back = Read(text);
    EXPECT_TRUE(back->Equals(doc));
}

TEST(XMLTextWriter, NothingIsAddedInsidePreservedElements) {
    // Line breaks and tabs below an element that keeps its blanks would become text of its first
    // descendants when read back.
    TORLXMLDocument doc;
    TORLXMLNode* root = doc.Add("r");
    TORLXMLNode* p = root->Add("p");
    p->SetText(u" lead");
    TORLXMLNode* q = p->Add("q");
    q->SetText(u"x");
    q->Add("leaf")->SetText(u"y");
    q->Add("leaf2");
    root->Add("after")->SetText(u"z");
    const std::string text = Write(doc, 0, 1, 1);
    EXPECT_NE(text.find("<p xml:space=\"preserve\"> lead<q>x<leaf>y</leaf>\r\n<leaf2/>\r\n"), std::string::npos)
        << text;
    auto back = Read(text);
    EXPECT_TRUE(back->Equals(doc)) << text;
}

TEST(XMLTextWriter, TextsOutsideTheBasicPlaneSurviveTheTextForm) {
    TORLXMLDocument doc;
    TORLXMLNode* root = doc.Add("r");
    root->SetText(u"\U0001F3B5 \u00E9 \\\"x\\");
    root->Attributes().Add("lone", String(1, Char(0xD800)) + u"z");
    auto back = Read(Write(doc, 0, 0, 0));
    EXPECT_TRUE(back->Equals(doc));
}

}  // namespace
}  // namespace uinst
