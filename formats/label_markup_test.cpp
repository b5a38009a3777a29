#include "formats/label_markup.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

constexpr TORLMarkupColor kRed = MarkupRGB(0xFF, 0, 0);

// The words of a layout with their style, "|" between tokens, line breaks as "/".
std::string Describe(const TORLMarkupLayout& layout) {
    std::string out;
    for (const TORLMarkupToken& token : layout.Tokens()) {
        if (!out.empty()) out += '|';
        if (token.Kind == mtLineBreak) {
            out += '/';
            continue;
        }
        out += StringToUtf8(layout.TokenText(token));
        if (token.Style & msBold) out += "+b";
        if (token.Style & msItalic) out += "+i";
        if (token.Style & msUnderline) out += "+u";
        if (token.Style & msStrikeOut) out += "+s";
        if (token.Link >= 0) out += "@" + std::to_string(token.Link);
    }
    return out;
}

std::string Describe(StringView caption) {
    return Describe(TORLMarkupLayout(caption));
}

TEST(LabelMarkup, TagNamesIgnoreCaseAndUnknownTagsStayText) {
    EXPECT_EQ(Describe(u"[b]x[/B]"), "x+b");
    EXPECT_EQ(TORLMarkupLayout(u"[b]x[/B]").Text(), u"x");
    // An unknown tag is shown with all its characters; "[" and "]" are words of their own.
    TORLMarkupLayout unknown(u"[q]x[/q]");
    EXPECT_EQ(unknown.Text(), u"[q]x[/q]");
    EXPECT_EQ(Describe(unknown), "[|q|]|x|[|/|q|]");
    // A parameter on a closing tag makes it unknown; the bold stays open.
    EXPECT_EQ(Describe(u"[B]a[/B=1]b"), "a+b|[+b|/+b|B+b|=+b|1+b|]+b|b+b");
    // A "[" without a later "]" is text, also when a known name follows it.
    EXPECT_EQ(TORLMarkupLayout(u"a [B b").Text(), u"a [B b");
    EXPECT_EQ(Describe(u"[B"), "[|B");
    EXPECT_EQ(Describe(u"[]x[/]"), "[|]|x|[|/|]");
    // A parameter on a tag without one is ignored.
    EXPECT_EQ(Describe(u"[U=1]a"), "a+u");
}

TEST(LabelMarkup, ClosingEndsTheLatestTagOfItsName) {
    EXPECT_EQ(Describe(u"[B]a[I]b[/B]c[/I]"), "a+b|b+b+i|c+i");
    EXPECT_EQ(Describe(u"[/B]a[B][B]b[/B]c[/B]d[/B]e"), "a|b+b|c+b|d|e");
    EXPECT_EQ(Describe(u"[S]a[/S] [U]b"), "a+s| |b+u");

    // Colours: the one opened later wins; closing it uncovers the earlier one.
    TORLMarkupLayout colors(u"[COLOR=Red]a[COLOR=Blue]b[/COLOR]c[/COLOR]d");
    const auto& t = colors.Tokens();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_TRUE(t[0].HasColor && t[0].Color == kRed);
    EXPECT_TRUE(t[1].HasColor && t[1].Color == MarkupRGB(0, 0, 0xFF));
    EXPECT_TRUE(t[2].HasColor && t[2].Color == kRed);
    EXPECT_FALSE(t[3].HasColor);

    TORLMarkupLayout back(u"[BACKCOLOR=Yellow]a[/BACKCOLOR]b");
    EXPECT_TRUE(back.Tokens()[0].HasBackColor && back.Tokens()[0].BackColor == MarkupRGB(0xFF, 0xFF, 0));
    EXPECT_FALSE(back.Tokens()[1].HasBackColor);
}

TEST(LabelMarkup, DeepNestingNeitherOverflowsNorSlowsDown) {
    String caption;
    for (int i = 0; i < 200000; ++i) caption += u"[COLOR=Red][B][URL=x]";
    caption += u"x";
    for (int i = 0; i < 200000; ++i) caption += u"[/URL][/B][/COLOR]";
    caption += u"y";
    TORLMarkupLayout layout(caption);
    EXPECT_EQ(layout.Text(), u"xy");
    EXPECT_EQ(Describe(layout), "x+b+u@199999|y");
    EXPECT_EQ(layout.Links().size(), 200000u);

    // Many "[" with one "]" at the very end: every tag test must not search to the end again.
    String brackets(300000, u'[');
    brackets += u"]";
    EXPECT_EQ(TORLMarkupLayout(brackets).Text(), brackets);
}

TEST(LabelMarkup, ColourParameters) {
    for (StringView red : {u"Red", u"clRed", u"#FF0000", u"RED", u"CLRED", u"ff0000"}) {
        EXPECT_EQ(ParseMarkupColor(red), kRed) << StringToUtf8(red);
    }
    EXPECT_EQ(ParseMarkupColor(u"#FF8000"), MarkupRGB(0xFF, 0x80, 0x00));
    EXPECT_EQ(ParseMarkupColor(u"F80"), MarkupRGB(0x0F, 0x80, 0x00));
    EXPECT_EQ(ParseMarkupColor(u"1"), MarkupRGB(0x01, 0, 0));
    EXPECT_EQ(ParseMarkupColor(u"#12 34 56 78"), MarkupRGB(0x12, 0x34, 0x56));
    EXPECT_EQ(ParseMarkupColor(u"x"), MarkupRGB(0, 0, 0));
    EXPECT_EQ(ParseMarkupColor(u""), MarkupRGB(0, 0, 0));
    EXPECT_EQ(ParseMarkupColor(u"SkyBlue"), MarkupRGB(0xA6, 0xCA, 0xF0));
    // System colours stay symbolic: they follow the theme.
    const TORLMarkupColor window = ParseMarkupColor(u"Window");
    EXPECT_TRUE(IsMarkupSystemColor(window));
    EXPECT_EQ(window & 0xFF, 5u);
    EXPECT_EQ(ParseMarkupColor(u"clGrayText"), kMarkupSystemColor | 17);
    EXPECT_FALSE(IsMarkupSystemColor(ParseMarkupColor(u"#FFFFFF")));
    TORLMarkupColor unused;
    EXPECT_FALSE(MarkupColorFromName(u"Red", unused));

    TORLMarkupLayout layout(u"[color=F80]a");
    EXPECT_EQ(layout.Tokens()[0].Color, MarkupRGB(0x0F, 0x80, 0x00));
}

TEST(LabelMarkup, LineBreaksAndSpaces) {
    TORLMarkupLayout layout(u"a\r\nb\rc\nd\\ne\\x");
    EXPECT_EQ(Describe(layout), "a|/|b|/|c|/|d|/|e|\\|x");
    EXPECT_EQ(layout.Text(), u"a\r\nb\r\nc\r\nd\r\ne\\x");
    // Spaces, tabs and NUL separate words; NUL reads as a space in the window text.
    TORLMarkupLayout spaces(String(u"a \t b") + Char(0) + u"c");
    EXPECT_EQ(Describe(spaces), "a| \t |b| |c");
    EXPECT_EQ(spaces.Tokens()[1].Kind, mtSpace);
    // With the escape off, "\n" is text.
    TORLMarkupSettings settings;
    settings.EscapedLineBreaks = false;
    EXPECT_EQ(Describe(TORLMarkupLayout(u"a\\nb", settings)), "a|\\|nb");
}

TEST(LabelMarkup, PunctuationIsAWordOfItsOwn) {
    EXPECT_EQ(Describe(u"one,two.(three)"), "one|,|two|.|(|three|)");
    EXPECT_EQ(Describe(u"a%b=c'd\"e"), "a|%|b|=|c|'|d|\"|e");
    EXPECT_EQ(TORLMarkupLayout(u"\u3053\u3001\u3093\u300Cx\u300D\u00ABy\u00BB").Tokens().size(), 9u);
    EXPECT_TRUE(IsMarkupPunctuation(0x200B));
    EXPECT_FALSE(IsMarkupPunctuation(u'_'));
    EXPECT_FALSE(IsMarkupPunctuation(u'~'));
}

TEST(LabelMarkup, AddressesBecomeLinks) {
    // "www." with the sentence's full stop: the full stop is no stop character.
    TORLMarkupLayout www(u"Visit www.example.org.");
    EXPECT_EQ(Describe(www), "Visit| |www.example.org.+u@0");
    EXPECT_EQ(www.Links()[0].Target, u"https://www.example.org.");
    EXPECT_EQ(TORLMarkupLayout(u"WwW.x").Links()[0].Target, u"https://WwW.x");

    TORLMarkupLayout scheme(u"(see https://example.org/a?b=c,d)[B]x");
    EXPECT_EQ(Describe(scheme), "(|see| |https://example.org/a?b=c,d+u@0|)|x+b");
    EXPECT_EQ(scheme.Links()[0].Target, u"https://example.org/a?b=c,d");
    // Links stop at spaces, line breaks and brackets, and run to the end of the caption.
    EXPECT_EQ(TORLMarkupLayout(u"ftp://h/p\r\nz").Links()[0].Target, u"ftp://h/p");
    EXPECT_EQ(TORLMarkupLayout(u"ftp://h[/p]").Links()[0].Target, u"ftp://h");
    EXPECT_EQ(TORLMarkupLayout(u"mailto://").Links()[0].Target, u"mailto://");

    // Not addresses: "www" inside a longer word, "://" without a word before it, "www" without ".".
    EXPECT_TRUE(TORLMarkupLayout(u"awww.x wwwx.y ://x www :/x").Links().empty());

    // An address inside coloured text still shows in the link colour.
    TORLMarkupLayout colored(u"[COLOR=Red]www.x[/COLOR]");
    EXPECT_FALSE(colored.Tokens()[0].HasColor);

    TORLMarkupSettings off;
    off.AutoLinks = false;
    EXPECT_TRUE(TORLMarkupLayout(u"www.x http://y", off).Links().empty());
}

TEST(LabelMarkup, UrlTags) {
    TORLMarkupLayout layout(u"[URL=https://a.example/?q=1]Get it[/URL] or [url]none[/url]");
    EXPECT_EQ(Describe(layout), "Get+u@0| +u@0|it+u@0| |or| |none+u@1");
    ASSERT_EQ(layout.Links().size(), 2u);
    EXPECT_EQ(layout.Links()[0].Target, u"https://a.example/?q=1");
    EXPECT_EQ(layout.Links()[1].Target, u"");
    EXPECT_EQ(layout.Text(), u"Get it or none");

    // The link colour and a [COLOR]: the one opened later wins.
    TORLMarkupLayout inner(u"[URL=x][COLOR=Red]a[/COLOR][/URL]");
    EXPECT_TRUE(inner.Tokens()[0].HasColor);
    TORLMarkupLayout outer(u"[COLOR=Red][URL=x]a[/URL][/COLOR]");
    EXPECT_FALSE(outer.Tokens()[0].HasColor);
    EXPECT_EQ(outer.Tokens()[0].Link, 0);

    TORLMarkupSettings noTags;
    noTags.Tags = false;
    EXPECT_EQ(TORLMarkupLayout(u"[B]x[/B]", noTags).Text(), u"[B]x[/B]");
}

}  // namespace
}  // namespace uinst
