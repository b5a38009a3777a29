#include "formats/xml.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

TEST(XMLNode, AddFindAndIndexChildren) {
    TORLXMLNode root;
    TORLXMLNode* files = root.Add("Files");
    root.Add("Groups");
    EXPECT_EQ(root.Count(), 2);
    EXPECT_EQ(files->Parent(), &root);
    EXPECT_EQ(root.Nodes(0), files);
    EXPECT_EQ(root.Nodes(2), nullptr);
    EXPECT_EQ(root.Nodes(-1), nullptr);

    // Names match without regard to ASCII case, and only at equal length.
    EXPECT_EQ(root.FindNode("FILES"), files);
    EXPECT_EQ(root.FindNode("File"), nullptr);
    TORLXMLNode* found = nullptr;
    EXPECT_TRUE(root.FindNode("groups", found));
    EXPECT_EQ(found, root.Nodes(1));
    EXPECT_FALSE(root.FindNode("x", found));
    EXPECT_EQ(found, nullptr);
    // Bytes outside ASCII letters compare exactly.
    root.Add("\xC4");
    EXPECT_EQ(root.FindNode("\xE4"), nullptr);
}

TEST(XMLNode, FindNodeByPathCreatesMissingStepsOnlyWhenAsked) {
    TORLXMLNode root;
    root.Add("a")->Add("b");
    EXPECT_EQ(root.FindNode({"A", "B"}, false), root.Nodes(0)->Nodes(0));
    EXPECT_EQ(root.FindNode({"a", "c", "d"}, false), nullptr);
    EXPECT_EQ(root.Nodes(0)->Count(), 1);
    TORLXMLNode* d = root.FindNode({"a", "c", "d"}, true);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Name(), "d");
    EXPECT_EQ(d->Parent()->Name(), "c");
    EXPECT_EQ(root.Nodes(0)->Count(), 2);
    EXPECT_EQ(root.FindNode(std::vector<std::string>{}, false), &root);
}

TEST(XMLNode, AssignCopiesTheWholeTreeAndClearKeepsOwnData) {
    TORLXMLNode source;
    source.SetName("root");
    source.SetText(u"text");
    source.Attributes().Add("a", u"1");
    TORLXMLNode* child = source.Add("child");
    child->Attributes().Add("b", u"2");
    child->Add("grand")->SetText(u"g");
    source.Add("second");

    TORLXMLNode copy;
    copy.Add("old");
    copy.Assign(source);
    EXPECT_TRUE(copy.Equals(source));
    EXPECT_EQ(copy.Nodes(0)->Nodes(0)->Text(), u"g");
    EXPECT_EQ(copy.Nodes(1)->Name(), "second");
    EXPECT_EQ(copy.Nodes(0)->Parent(), &copy);

    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(copy.Name(), "root");
    EXPECT_EQ(copy.Text(), u"text");
    EXPECT_EQ(copy.Attributes().Count(), 1);
}

TEST(XMLNode, AssignFromOwnSubtreeOrAncestorIsSafe) {
    TORLXMLNode root;
    root.SetName("r");
    TORLXMLNode* a = root.Add("a");
    a->Add("b")->SetText(u"x");
    root.Assign(*a);  // the source is freed by Clear unless it was copied first
    EXPECT_EQ(root.Name(), "a");
    ASSERT_EQ(root.Count(), 1);
    EXPECT_EQ(root.Nodes(0)->Text(), u"x");

    TORLXMLNode top;
    top.SetName("top");
    TORLXMLNode* inner = top.Add("inner");
    inner->Assign(top);
    EXPECT_EQ(inner->Name(), "top");
    ASSERT_EQ(inner->Count(), 1);
    EXPECT_EQ(inner->Nodes(0)->Name(), "inner");
    EXPECT_EQ(inner->Nodes(0)->Count(), 0);
}

TEST(XMLNode, SetParentMovesAndRefusesCycles) {
    TORLXMLNode root;
    TORLXMLNode* a = root.Add("a");
    TORLXMLNode* b = root.Add("b");
    TORLXMLNode* a1 = a->Add("a1");

    EXPECT_EQ(a->SetParent(a), nullptr);
    EXPECT_EQ(a->SetParent(a1), nullptr);     // a descendant
    EXPECT_EQ(a->SetParent(&root), nullptr);  // already there: stays in place
    EXPECT_EQ(root.Nodes(0), a);
    EXPECT_TRUE(root.IsChild(a1));
    EXPECT_FALSE(a->IsChild(b));
    EXPECT_FALSE(a->IsChild(a));

    a1->SetParent(b);
    EXPECT_EQ(a->Count(), 0);
    EXPECT_EQ(b->Nodes(0), a1);
    EXPECT_EQ(a1->Parent(), b);

    std::unique_ptr<TORLXMLNode> detached = b->SetParent(nullptr);
    ASSERT_EQ(detached.get(), b);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(root.Count(), 1);
    // A node without a parent belongs to its creator and is not moved.
    EXPECT_EQ(detached->SetParent(&root), nullptr);
    EXPECT_EQ(root.Count(), 1);
}

TEST(XMLNode, DestroyingAChildTakesItOutOfItsParent) {
    TORLXMLNode root;
    root.Add("a");
    TORLXMLNode* b = root.Add("b");
    root.Add("c");
    delete b;  // a node owned by its parent, destroyed directly
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root.Nodes(1)->Name(), "c");
    root.Delete(0);
    root.Delete(5);
    ASSERT_EQ(root.Count(), 1);
    EXPECT_EQ(root.Nodes(0)->Name(), "c");
}

TEST(XMLNode, EqualityComparesClassNamesTextsAttributesAndChildren) {
    TORLXMLNode a, b;
    for (TORLXMLNode* n : {&a, &b}) {
        n->SetName("x");
        n->Attributes().Add("p", u"1");
        n->Attributes().Add("q", u"2");
        n->Add("c")->SetText(u"t");
    }
    EXPECT_TRUE(a == b);
    // Attribute order does not matter; attribute names are found without case.
    b.Attributes().Clear();
    b.Attributes().Add("Q", u"2");
    b.Attributes().Add("p", u"1");
    EXPECT_TRUE(a == b);
    b.Attributes().Items(0)->Value = u"3";
    EXPECT_FALSE(a == b);
    b.Attributes().Items(0)->Value = u"2";
    b.SetName("X");  // names must match byte for byte
    EXPECT_FALSE(a == b);
    b.SetName("x");
    b.Nodes(0)->SetText(u"T");
    EXPECT_FALSE(a == b);
    b.Nodes(0)->SetText(u"t");
    b.Add("d");
    EXPECT_FALSE(a == b);

    // Names that differ only in case: a lookup by name finds the first of them, yet a list still
    // equals its copy.
    TORLXMLNode c, d;
    c.Attributes().Add("Name", u"");
    c.Attributes().Add("name", u"dup");
    d.Attributes().Assign(c.Attributes());
    EXPECT_TRUE(c == d);

    TORLXMLDocument document;
    TORLXMLNode plain;
    EXPECT_FALSE(document == plain);
}

TEST(XMLNode, DeepTreesAreCopiedComparedAndFreedWithoutRecursion) {
    constexpr int kDepth = 300000;
    auto root = std::make_unique<TORLXMLNode>();
    TORLXMLNode* node = root.get();
    for (int i = 0; i < kDepth; ++i) node = node->Add("n");
    TORLXMLNode copy;
    copy.Assign(*root);
    EXPECT_TRUE(copy == *root);
    root.reset();
}

TEST(XMLAttributes, ListOperations) {
    TORLXMLAttributes list;
    list.Add("Name", u"one");
    list.Add("name", u"two");  // duplicates are allowed; lookups find the first
    TORLXMLAttribute* empty = list.Add();
    EXPECT_EQ(empty->Name, "");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetValue("NAME"), u"one");
    EXPECT_EQ(list.GetValue("missing"), u"");
    String value;
    EXPECT_FALSE(list.TryGetValue("missing", value));
    EXPECT_TRUE(list.TryGetValue("name", value));
    EXPECT_EQ(value, u"one");
    EXPECT_TRUE(list.Remove("NAME"));
    EXPECT_EQ(list.GetValue("name"), u"two");
    EXPECT_FALSE(list.Remove("missing"));
    EXPECT_EQ(list.Items(5), nullptr);

    TORLXMLAttributes copy;
    copy.Add("x", u"y");
    copy.Assign(list);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_NE(copy.Items(0), list.Items(0));
    EXPECT_TRUE(copy.Equals(list));
}

TEST(XMLDocument, OnlyOneRootAndItsChildrenShareItsClass) {
    TORLXMLDocument document;
    TORLXMLNode* root = document.Add("root");
    EXPECT_TRUE(document.RootOnly());
    try {
        document.Add("second");
        FAIL() << "a second root was accepted";
    } catch (const EORLXMLDocument& e) {
        EXPECT_EQ(e.Message(), u"Only one Root available");
    }
    EXPECT_EQ(document.Count(), 1);
    // Below the document any number of children is fine.
    root->Add("a");
    root->Add("b");
    EXPECT_EQ(root->Count(), 2);
    EXPECT_NE(dynamic_cast<TORLXMLDocument*>(root), nullptr);
    EXPECT_FALSE(static_cast<TORLXMLDocument*>(root)->RootOnly());
}

TEST(XMLHelper, DecodeEntity) {
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"amp"), u"&");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"apos"), u"'");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"AMP"), u"AMP");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#65"), u"A");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#x41"), u"A");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#X41"), u"A");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#0x41"), u"A");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#0X41"), u"A");
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#x10041"), u"A");  // truncated to 16 bits
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#zz"), String(1, u'\0'));
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#"), String(1, u'\0'));
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u"#-65"), String(1, u'\0'));
    EXPECT_EQ(TORLXMLHelper::DecodeEntity(u""), u"");
}

TEST(XMLHelper, DecodeText) {
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"a &lt;b&gt; &amp;&quot;&apos;"), u"a <b> &\"'");
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"&#65;&#x41;&#0x41;"), u"AAA");
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"x&AMP;y"), u"xAMPy");
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"x&;y"), u"xy");
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"R&D and &amp"), u"R&D and &amp");
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"&a-b;"), u"&a-b;");
    // Backslash escapes of the five entity characters; other backslashes stay.
    EXPECT_EQ(TORLXMLHelper::DecodeText(u"\\&amp; \\< \\n C:\\dir\\"), u"&amp; < \\n C:\\dir\\");
}

TEST(XMLHelper, EncodeText) {
    EXPECT_EQ(TORLXMLHelper::EncodeText(u"a<b>&\"'"), u"a&lt;b&gt;&amp;&quot;&apos;");
    // Entities already in the text are kept.
    EXPECT_EQ(TORLXMLHelper::EncodeText(u"&amp; &#65; & &x"), u"&amp; &#65; &amp; &amp;x");
    // A backslash in front of an entity character would be read as an escape.
    EXPECT_EQ(TORLXMLHelper::EncodeText(u"C:\\\"x\\"), u"C:&#92;&quot;x\\");
    EXPECT_EQ(TORLXMLHelper::EncodeText(u"\\\\x\\\\&"), u"\\\\x&#92;&#92;&amp;");
    for (const String text : {u"C:\\\"x\\\"", u"\\<\\\\>", u"a&b", u"\\\\&\\"})
        EXPECT_EQ(TORLXMLHelper::DecodeText(TORLXMLHelper::EncodeText(text)), text);
}

TEST(XMLHelper, NeedPreserveSpaces) {
    EXPECT_FALSE(TORLXMLHelper::NeedPreserveSpaces(u""));
    EXPECT_FALSE(TORLXMLHelper::NeedPreserveSpaces(u"a b"));
    EXPECT_TRUE(TORLXMLHelper::NeedPreserveSpaces(u" a"));
    EXPECT_TRUE(TORLXMLHelper::NeedPreserveSpaces(u"a\t"));
    EXPECT_TRUE(TORLXMLHelper::NeedPreserveSpaces(u"a\nb"));
    EXPECT_TRUE(TORLXMLHelper::NeedPreserveSpaces(u"a\rb"));
    EXPECT_FALSE(TORLXMLHelper::NeedPreserveSpaces(u"\x01"));
}

}  // namespace
}  // namespace uinst
