#include "formats/xml_convert.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

std::string Convert(std::string_view input, TXMLTargetForm target) {
    TReadOnlyMemoryStream in(input.data(), input.size());
    TMemoryStream out;
    ConvertXmlDocument(in, out, target);
    return std::string(out.Bytes().begin(), out.Bytes().end());
}

std::unique_ptr<TORLXMLDocument> Parse(std::string_view bytes) {
    auto document = std::make_unique<TORLXMLDocument>();
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    document->LoadFromStream(stream);
    return document;
}

constexpr std::string_view kScript =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- installation script -->\n"
    "<Setup ProductName=\"ORVO\" Version='5030'>\n"
    "  <Files>\n"
    "    <File Path=\"bin\\ORVO.exe\" Flags/>\n"
    "    <File Path=\"Langs\\\xD0\xA0\xD1\x83\xD1\x81.lng\"/>\n"
    "  </Files>\n"
    "  <License Family=\"EN\" xml:space=\"preserve\">  Keep  &amp; read \xF0\x9F\x8E\xB5 </License>\n"
    "  <Notes><![CDATA[ <raw> ]]></Notes>\n"
    "  <Run>\"$(DestPath)ORVO.exe\" /first</Run>\n"
    "</Setup>\n";

TEST(XMLConvert, TextToSXMLToTextKeepsTheTree) {
    const auto original = Parse(kScript);
    ASSERT_EQ(original->Count(), 1);
    ASSERT_EQ(original->Nodes(0)->Count(), 4);

    const std::string sxml = Convert(kScript, TXMLTargetForm::xtSXML);
    EXPECT_EQ(sxml.substr(0, 4), "SXML");
    EXPECT_TRUE(Parse(sxml)->Equals(*original));

    const std::string text = Convert(sxml, TXMLTargetForm::xtText);
    EXPECT_EQ(text.substr(0, 5), "<?xml");
    const auto back = Parse(text);
    EXPECT_TRUE(back->Equals(*original)) << text;
    EXPECT_EQ(back->FindNode({"Setup", "License"}, false)->Text(), u"  Keep  & read \U0001F3B5 ");
    // Converting what was written changes nothing.
    EXPECT_EQ(Convert(text, TXMLTargetForm::xtText), text);
    EXPECT_EQ(Convert(text, TXMLTargetForm::xtSXML), sxml);
}

TEST(XMLConvert, LegacyBinaryBecomesSXML) {
    const std::string bxml = std::string("BXML\x01\x00\x00\x00\x01\x00r\x00", 12);
    const std::string sxml = Convert(bxml, TXMLTargetForm::xtSXML);
    EXPECT_EQ(sxml, std::string("SXML\x03\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x01\x01r", 18));
}

TEST(XMLConvert, RefusesWhatTheTextFormCannotHold) {
    TORLXMLDocument document;
    TORLXMLNode* root = document.Add("root");
    root->Add("two words");
    TMemoryStream sxml;
    TORLXMLWriteSettings binary;
    binary.Format = TORLXMLWriteSettings::kFormatBinary;
    document.SaveToStream(sxml, binary);
    sxml.SetPosition(0);
    TMemoryStream out;
    try {
        ConvertXmlDocument(sxml, out, TXMLTargetForm::xtText);
        FAIL() << "converted a name with a space";
    } catch (const EORLXMLDocument& e) {
        EXPECT_NE(e.Message().find(u"/root/two words"), String::npos);
    }
    EXPECT_EQ(out.Size(), 0);

    // An entity-like sequence in a text would be read back as the entity.
    const std::string text = "<a><![CDATA[&amp;amp;]]></a>";
    TReadOnlyMemoryStream in(text.data(), text.size());
    EXPECT_THROW(ConvertXmlDocument(in, out, TXMLTargetForm::xtText), EORLXMLDocument);
    EXPECT_EQ(out.Size(), 0);
}

TEST(XMLConvert, DeepDocumentsConvertInLinearSpace) {
    // 300,000 levels both ways: nothing may recurse, copy a path per node or indent per level.
    constexpr int kDepth = 300000;
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    for (int i = 0; i < kDepth; ++i) text += i % 2 ? "<b k=\"v\">" : "<a>";
    text += "deepest";
    for (int i = kDepth - 1; i >= 0; --i) text += i % 2 ? "</b>" : "</a>";

    const std::string sxml = Convert(text, TXMLTargetForm::xtSXML);
    const std::string back = Convert(sxml, TXMLTargetForm::xtText);
    // Each level costs its tags, its line breaks and at most 32 tabs twice.
    EXPECT_LT(back.size(), size_t(kDepth) * (2 * 32 + 30));
    EXPECT_NE(back.find("\r\n" + std::string(32, '\t') + "<a>"), std::string::npos);
    EXPECT_EQ(back.find(std::string(33, '\t')), std::string::npos);

    const auto original = Parse(text);
    EXPECT_TRUE(Parse(sxml)->Equals(*original));
    const auto reread = Parse(back);
    EXPECT_TRUE(reread->Equals(*original));
    const TORLXMLNode* node = reread.get();
    while (node->Count() > 0) node = node->Nodes(0);
    EXPECT_EQ(node->Text(), u"deepest");
}

TEST(XMLConvert, ADifferenceDeepDownNamesItsLastLevels) {
    TORLXMLDocument document;
    TORLXMLNode* node = document.Add("root");
    for (int i = 0; i < 100; ++i) node = node->Add("level" + std::to_string(i));
    node->Add("two words");
    TMemoryStream sxml;
    TORLXMLWriteSettings binary;
    binary.Format = TORLXMLWriteSettings::kFormatBinary;
    document.SaveToStream(sxml, binary);
    sxml.SetPosition(0);
    TMemoryStream out;
    try {
        ConvertXmlDocument(sxml, out, TXMLTargetForm::xtText);
        FAIL() << "converted a name with a space";
    } catch (const EORLXMLDocument& e) {
        EXPECT_NE(e.Message().find(u"\"/.../level85/"), String::npos) << StringToUtf8(e.Message());
        EXPECT_NE(e.Message().find(u"/level99/two words\""), String::npos) << StringToUtf8(e.Message());
    }
}

}  // namespace
}  // namespace uinst
