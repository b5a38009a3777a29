#pragma once
// The bracket markup of formatted labels: [B], [I], [U], [S], [COLOR=...], [BACKCOLOR=...] and
// [URL=...], line breaks (also the two characters "\n") and addresses that become links by
// themselves. The reader turns a caption into words, spaces and line breaks with their style,
// ready for a control to measure and wrap; it never fails: what is not a known tag is text.
//
// One pass from left to right, linear in the caption's length, without recursion: tags that are
// opened a million times deep cost a counter or one stack entry each.
#include <cstdint>
#include <vector>

#include "base/string.h"

namespace uinst {

// Font styles of a token, a bit each.
enum TORLMarkupStyle : uint8_t { msBold = 1, msItalic = 2, msUnderline = 4, msStrikeOut = 8 };

// A colour as the label's font and brush take it: 0x00BBGGRR for an RGB value, or
// kMarkupSystemColor | index for one of the system's display colours (COLOR_WINDOW and so on),
// which follow the current theme.
using TORLMarkupColor = uint32_t;
inline constexpr TORLMarkupColor kMarkupSystemColor = 0xFF000000u;
inline constexpr TORLMarkupColor MarkupRGB(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<TORLMarkupColor>(r) | static_cast<TORLMarkupColor>(g) << 8 |
           static_cast<TORLMarkupColor>(b) << 16;
}
inline constexpr bool IsMarkupSystemColor(TORLMarkupColor color) {
    return (color & 0xFF000000u) == kMarkupSystemColor;
}

// A colour parameter: a colour name with "cl" in front ("Red"), a colour name as written
// ("clRed"), names compared without regard to ASCII case; otherwise hexadecimal digits RRGGBB
// with every other character dropped ("#FF8000", "F80" = 0F 80 00).
TORLMarkupColor ParseMarkupColor(StringView parameter);
// Looks up a colour name only ("clRed", "clWindow"); false when it names no colour.
bool MarkupColorFromName(StringView name, TORLMarkupColor& color);

struct TORLMarkupSettings {
    bool Tags = true;
    bool EscapedLineBreaks = true;  // "\n" (backslash, small n) breaks the line
    bool AutoLinks = true;          // "scheme://..." and "www...." become links
};

enum TORLMarkupTokenKind : uint8_t { mtWord, mtSpace, mtLineBreak };

struct TORLMarkupToken {
    TORLMarkupTokenKind Kind = mtWord;
    uint8_t Style = 0;          // TORLMarkupStyle bits; links are underlined
    bool HasColor = false;      // Color set by [COLOR]; otherwise the label's text or link colour
    bool HasBackColor = false;  // BackColor set by [BACKCOLOR]; otherwise transparent
    TORLMarkupColor Color = 0;
    TORLMarkupColor BackColor = 0;
    int32_t Link = -1;  // index into Links, -1 when the token is no link
    // The token's characters in Text. A line break is the two characters CR LF there.
    uint32_t Start = 0;
    uint32_t Length = 0;
};

struct TORLMarkupLink {
    String Target;  // empty: a click does nothing
};

class TORLMarkupLayout {
public:
    TORLMarkupLayout() = default;
    TORLMarkupLayout(StringView caption, const TORLMarkupSettings& settings = {}) { Parse(caption, settings); }

    void Parse(StringView caption, const TORLMarkupSettings& settings = {});

    // The caption without its markup, line breaks as CR LF: the label's window text, which screen
    // readers read.
    const String& Text() const { return FText; }
    const std::vector<TORLMarkupToken>& Tokens() const { return FTokens; }
    const std::vector<TORLMarkupLink>& Links() const { return FLinks; }
    StringView TokenText(const TORLMarkupToken& token) const {
        return StringView(FText).substr(token.Start, token.Length);
    }

private:
    String FText;
    std::vector<TORLMarkupToken> FTokens;
    std::vector<TORLMarkupLink> FLinks;
};

// True for the characters that are a word of their own, so a line may wrap before and after them.
bool IsMarkupPunctuation(Char c);

}  // namespace uinst
