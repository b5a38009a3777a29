#include "formats/label_markup.h"

#include <array>

namespace uinst {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

Char AsciiLower(Char c) {
    return c >= u'A' && c <= u'Z' ? static_cast<Char>(c + 32) : c;
}

bool SameAscii(StringView a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(static_cast<Char>(static_cast<unsigned char>(b[i])))) return false;
    return true;
}

struct TNamedColor {
    std::string_view Name;
    TORLMarkupColor Color;
};

constexpr TORLMarkupColor Sys(uint32_t index) {
    return kMarkupSystemColor | index;
}

// The standard colour names, then the system's display colours by their COLOR_* index.
constexpr std::array<TNamedColor, 50> kColorNames{{
    {"clBlack", MarkupRGB(0x00, 0x00, 0x00)},
    {"clMaroon", MarkupRGB(0x80, 0x00, 0x00)},
    {"clGreen", MarkupRGB(0x00, 0x80, 0x00)},
    {"clOlive", MarkupRGB(0x80, 0x80, 0x00)},
    {"clNavy", MarkupRGB(0x00, 0x00, 0x80)},
    {"clPurple", MarkupRGB(0x80, 0x00, 0x80)},
    {"clTeal", MarkupRGB(0x00, 0x80, 0x80)},
    {"clGray", MarkupRGB(0x80, 0x80, 0x80)},
    {"clSilver", MarkupRGB(0xC0, 0xC0, 0xC0)},
    {"clRed", MarkupRGB(0xFF, 0x00, 0x00)},
    {"clLime", MarkupRGB(0x00, 0xFF, 0x00)},
    {"clYellow", MarkupRGB(0xFF, 0xFF, 0x00)},
    {"clBlue", MarkupRGB(0x00, 0x00, 0xFF)},
    {"clFuchsia", MarkupRGB(0xFF, 0x00, 0xFF)},
    {"clAqua", MarkupRGB(0x00, 0xFF, 0xFF)},
    {"clWhite", MarkupRGB(0xFF, 0xFF, 0xFF)},
    {"clMoneyGreen", MarkupRGB(0xC0, 0xDC, 0xC0)},
    {"clSkyBlue", MarkupRGB(0xA6, 0xCA, 0xF0)},
    {"clCream", MarkupRGB(0xFF, 0xFB, 0xF0)},
    {"clMedGray", MarkupRGB(0xA0, 0xA0, 0xA4)},
    {"clScrollBar", Sys(0)},
    {"clBackground", Sys(1)},
    {"clActiveCaption", Sys(2)},
    {"clInactiveCaption", Sys(3)},
    {"clMenu", Sys(4)},
    {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},
    {"clMenuText", Sys(7)},
    {"clWindowText", Sys(8)},
    {"clCaptionText", Sys(9)},
    {"clActiveBorder", Sys(10)},
    {"clInactiveBorder", Sys(11)},
    {"clAppWorkSpace", Sys(12)},
    {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)},
    {"clBtnFace", Sys(15)},
    {"clBtnShadow", Sys(16)},
    {"clGrayText", Sys(17)},
    {"clBtnText", Sys(18)},
    {"clInactiveCaptionText", Sys(19)},
    {"clBtnHighlight", Sys(20)},
    {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},
    {"clInfoText", Sys(23)},
    {"clInfoBk", Sys(24)},
    {"clHotLight", Sys(26)},
    {"clGradientActiveCaption", Sys(27)},
    {"clGradientInactiveCaption", Sys(28)},
    {"clMenuHighlight", Sys(29)},
    {"clMenuBar", Sys(30)},
}};

int HexValue(Char c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    const Char lower = AsciiLower(c);
    if (lower >= u'a' && lower <= u'f') return lower - u'a' + 10;
    return -1;
}

bool IsSpace(Char c) {
    return c == u' ' || c == u'\t' || c == 0;
}

bool IsLineBreak(Char c) {
    return c == u'\r' || c == u'\n';
}

// Where an address that became a link ends.
bool IsLinkStop(Char c) {
    return IsSpace(c) || IsLineBreak(c) || c == u'[' || c == u']' || c == u'(' || c == u')';
}

enum TTag { tgB, tgI, tgU, tgS, tgColor, tgBackColor, tgURL, tgUnknown };

TTag TagFromName(StringView name) {
    static constexpr std::array<std::string_view, 7> kNames{"B", "I", "U", "S", "COLOR", "BACKCOLOR", "URL"};
    if (name.size() > 9) return tgUnknown;  // longer than any known name: no need to compare
    for (size_t i = 0; i < kNames.size(); ++i)
        if (SameAscii(name, kNames[i])) return static_cast<TTag>(i);
    return tgUnknown;
}

// The first position at or after `from` that holds `wanted`, remembered between calls: the
// reader asks with ever larger `from`, so all searches together pass over the caption once.
class TForwardFinder {
public:
    TForwardFinder(StringView text, Char wanted) : FText(text), FWanted(wanted) {}
    size_t Find(size_t from) {
        if (FFound != kNone && FFound >= from) return FFound;
        if (FExhausted) return kNone;
        size_t i = from > FSearched ? from : FSearched;
        for (; i < FText.size(); ++i)
            if (FText[i] == FWanted) break;
        FSearched = i;
        if (i == FText.size()) {
            FExhausted = true;
            FFound = kNone;
        } else {
            FFound = i;
        }
        return FFound;
    }

private:
    StringView FText;
    Char FWanted;
    size_t FFound = kNone;
    size_t FSearched = 0;
    bool FExhausted = false;
};

struct TOpened {
    uint32_t Value;     // colour or link index
    uint64_t Sequence;  // order of opening: where two tags set the same thing, the later wins
};

}  // namespace

bool IsMarkupPunctuation(Char c) {
    if (c < 0x80) {
        static constexpr std::string_view kAscii = "%=:+-\\/*;,|(){}<>[].@#$^&?!\"'";
        return kAscii.find(static_cast<char>(c)) != std::string_view::npos;
    }
    switch (c) {
        case 0x201C:
        case 0x201D:
        case 0x00AB:
        case 0x00BB:
        case 0x200B:
        case 0x2018:
        case 0x2019:
        case 0xFF08:
        case 0xFF09:
        case 0xFF0C:
        case 0xFF1A:
        case 0xFF1B:
        case 0xFF1F:
        case 0x060C:
        case 0x3000:
        case 0x3001:
        case 0x3002:
        case 0x300C:
        case 0x300D:
        case 0x300E:
        case 0x300F:
        case 0x300A:
        case 0x300B:
        case 0x3008:
        case 0x3009:
        case 0x3014:
        case 0x3015:
            return true;
        default:
            return false;
    }
}

bool MarkupColorFromName(StringView name, TORLMarkupColor& color) {
    if (name.size() > 32) return false;
    for (const TNamedColor& entry : kColorNames) {
        if (SameAscii(name, entry.Name)) {
            color = entry.Color;
            return true;
        }
    }
    return false;
}

TORLMarkupColor ParseMarkupColor(StringView parameter) {
    TORLMarkupColor color = 0;
    if (parameter.size() <= 32) {
        String prefixed = u"cl";
        prefixed.append(parameter);
        if (MarkupColorFromName(prefixed, color) || MarkupColorFromName(parameter, color)) return color;
    }
    // Hexadecimal RRGGBB: other characters are dropped, an odd count gets a leading "0", and
    // missing digits are zeros at the end. Only the first six digits (after that "0") count.
    size_t digitCount = 0;
    for (Char c : parameter)
        if (HexValue(c) >= 0) ++digitCount;
    std::array<int, 6> digits{};
    size_t next = digitCount % 2;  // the leading "0" of an odd count
    for (Char c : parameter) {
        if (next >= digits.size()) break;
        const int value = HexValue(c);
        if (value >= 0) digits[next++] = value;
    }
    return MarkupRGB(static_cast<uint8_t>(digits[0] << 4 | digits[1]), static_cast<uint8_t>(digits[2] << 4 | digits[3]),
                     static_cast<uint8_t>(digits[4] << 4 | digits[5]));
}

void TORLMarkupLayout::Parse(StringView s, const TORLMarkupSettings& settings) {
    FText.clear();
    FTokens.clear();
    FLinks.clear();
    FText.reserve(s.size());

    int counts[4] = {0, 0, 0, 0};  // B, I, U, S
    std::vector<TOpened> colors, backColors, urls;
    uint64_t sequence = 0;
    TForwardFinder closeFinder(s, u']');
    TForwardFinder equalsFinder(s, u'=');

    // A token of the characters just appended to FText, styled by the tags open now.
    auto addToken = [&](TORLMarkupTokenKind kind, size_t start, int32_t autoLink) {
        TORLMarkupToken token;
        token.Kind = kind;
        token.Start = static_cast<uint32_t>(start);
        token.Length = static_cast<uint32_t>(FText.size() - start);
        for (int i = 0; i < 4; ++i)
            if (counts[i] > 0) token.Style |= static_cast<uint8_t>(1 << i);
        if (!backColors.empty()) {
            token.HasBackColor = true;
            token.BackColor = backColors.back().Value;
        }
        const TOpened* url = urls.empty() ? nullptr : &urls.back();
        if (autoLink >= 0) {
            // An address found in the text opens its link right here: nothing opened later.
            token.Link = autoLink;
            url = nullptr;
        } else if (url) {
            token.Link = static_cast<int32_t>(url->Value);
        }
        if (autoLink < 0 && !colors.empty() && (!url || colors.back().Sequence > url->Sequence)) {
            token.HasColor = true;
            token.Color = colors.back().Value;
        }
        if (token.Link >= 0) token.Style |= msUnderline;
        FTokens.push_back(token);
    };

    const size_t n = s.size();
    size_t p = 0;
    while (p < n) {
        const Char c = s[p];

        if (c == u'[' && settings.Tags) {
            const size_t close = closeFinder.Find(p + 1);
            if (close != kNone) {
                const bool closing = p + 1 < close && s[p + 1] == u'/';
                if (closing) {
                    const TTag tag = TagFromName(s.substr(p + 2, close - p - 2));
                    if (tag != tgUnknown) {
                        if (tag < tgColor) {
                            if (counts[tag] > 0) --counts[tag];
                        } else {
                            std::vector<TOpened>& stack = tag == tgColor       ? colors
                                                          : tag == tgBackColor ? backColors
                                                                               : urls;
                            if (!stack.empty()) stack.pop_back();
                        }
                        p = close + 1;
                        continue;
                    }
                } else {
                    const size_t equals = equalsFinder.Find(p + 1);
                    const size_t nameEnd = equals != kNone && equals < close ? equals : close;
                    const TTag tag = TagFromName(s.substr(p + 1, nameEnd - p - 1));
                    if (tag != tgUnknown) {
                        const StringView parameter =
                            nameEnd < close ? s.substr(nameEnd + 1, close - nameEnd - 1) : StringView();
                        ++sequence;
                        if (tag < tgColor) {
                            ++counts[tag];
                        } else if (tag == tgURL) {
                            urls.push_back({static_cast<uint32_t>(FLinks.size()), sequence});
                            FLinks.push_back({String(parameter)});
                        } else {
                            (tag == tgColor ? colors : backColors).push_back({ParseMarkupColor(parameter), sequence});
                        }
                        p = close + 1;
                        continue;
                    }
                }
            }
            // Not a tag: the "[" is text, and a word of its own.
        }

        if (IsLineBreak(c) || (settings.EscapedLineBreaks && c == u'\\' && p + 1 < n && s[p + 1] == u'n')) {
            const size_t start = FText.size();
            FText.append(u"\r\n");
            addToken(mtLineBreak, start, -1);
            p += (c == u'\r' && p + 1 < n && s[p + 1] == u'\n') || c == u'\\' ? 2 : 1;
            continue;
        }

        if (IsSpace(c)) {
            const size_t start = FText.size();
            for (; p < n && IsSpace(s[p]); ++p) FText.push_back(s[p] == 0 ? u' ' : s[p]);
            addToken(mtSpace, start, -1);
            continue;
        }

        if (IsMarkupPunctuation(c)) {
            const size_t start = FText.size();
            FText.push_back(c);
            addToken(mtWord, start, -1);
            ++p;
            continue;
        }

        // A word, unless it starts an address.
        size_t end = p;
        while (end < n && !IsSpace(s[end]) && !IsLineBreak(s[end]) && !IsMarkupPunctuation(s[end])) ++end;
        const size_t start = FText.size();
        if (settings.AutoLinks) {
            const bool scheme = s.substr(end, 3) == u"://";
            const bool www = !scheme && end < n && s[end] == u'.' && SameAscii(s.substr(p, end - p), "www");
            if (scheme || www) {
                size_t linkEnd = end;
                while (linkEnd < n && !IsLinkStop(s[linkEnd])) ++linkEnd;
                const StringView address = s.substr(p, linkEnd - p);
                FText.append(address);
                FLinks.push_back({www ? u"https://" + String(address) : String(address)});
                addToken(mtWord, start, static_cast<int32_t>(FLinks.size() - 1));
                p = linkEnd;
                continue;
            }
        }
        FText.append(s.substr(p, end - p));
        addToken(mtWord, start, -1);
        p = end;
    }
}

}  // namespace uinst
