#include "formats/skin.h"

#include <array>
#include <cmath>
#include <cstring>

namespace uinst {

namespace {

struct TColorName {
    std::string_view Name;  // the keyword after "cla"
    TAlphaColor Color;
};

constexpr TAlphaColor Opaque(uint32_t rgb) {
    return 0xFF000000u | rgb;
}

// The CSS extended colour keywords.
constexpr std::array<TColorName, 147> kColorNames{{
    {"Aliceblue", Opaque(0xF0F8FF)},
    {"Antiquewhite", Opaque(0xFAEBD7)},
    {"Aqua", Opaque(0x00FFFF)},
    {"Aquamarine", Opaque(0x7FFFD4)},
    {"Azure", Opaque(0xF0FFFF)},
    {"Beige", Opaque(0xF5F5DC)},
    {"Bisque", Opaque(0xFFE4C4)},
    {"Black", Opaque(0x000000)},
    {"Blanchedalmond", Opaque(0xFFEBCD)},
    {"Blue", Opaque(0x0000FF)},
    {"Blueviolet", Opaque(0x8A2BE2)},
    {"Brown", Opaque(0xA52A2A)},
    {"Burlywood", Opaque(0xDEB887)},
    {"Cadetblue", Opaque(0x5F9EA0)},
    {"Chartreuse", Opaque(0x7FFF00)},
    {"Chocolate", Opaque(0xD2691E)},
    {"Coral", Opaque(0xFF7F50)},
    {"Cornflowerblue", Opaque(0x6495ED)},
    {"Cornsilk", Opaque(0xFFF8DC)},
    {"Crimson", Opaque(0xDC143C)},
    {"Cyan", Opaque(0x00FFFF)},
    {"Darkblue", Opaque(0x00008B)},
    {"Darkcyan", Opaque(0x008B8B)},
    {"Darkgoldenrod", Opaque(0xB8860B)},
    {"Darkgray", Opaque(0xA9A9A9)},
    {"Darkgreen", Opaque(0x006400)},
    {"Darkgrey", Opaque(0xA9A9A9)},
    {"Darkkhaki", Opaque(0xBDB76B)},
    {"Darkmagenta", Opaque(0x8B008B)},
    {"Darkolivegreen", Opaque(0x556B2F)},
    {"Darkorange", Opaque(0xFF8C00)},
    {"Darkorchid", Opaque(0x9932CC)},
    {"Darkred", Opaque(0x8B0000)},
    {"Darksalmon", Opaque(0xE9967A)},
    {"Darkseagreen", Opaque(0x8FBC8F)},
    {"Darkslateblue", Opaque(0x483D8B)},
    {"Darkslategray", Opaque(0x2F4F4F)},
    {"Darkslategrey", Opaque(0x2F4F4F)},
    {"Darkturquoise", Opaque(0x00CED1)},
    {"Darkviolet", Opaque(0x9400D3)},
    {"Deeppink", Opaque(0xFF1493)},
    {"Deepskyblue", Opaque(0x00BFFF)},
    {"Dimgray", Opaque(0x696969)},
    {"Dimgrey", Opaque(0x696969)},
    {"Dodgerblue", Opaque(0x1E90FF)},
    {"Firebrick", Opaque(0xB22222)},
    {"Floralwhite", Opaque(0xFFFAF0)},
    {"Forestgreen", Opaque(0x228B22)},
    {"Fuchsia", Opaque(0xFF00FF)},
    {"Gainsboro", Opaque(0xDCDCDC)},
    {"Ghostwhite", Opaque(0xF8F8FF)},
    {"Gold", Opaque(0xFFD700)},
    {"Goldenrod", Opaque(0xDAA520)},
    {"Gray", Opaque(0x808080)},
    {"Grey", Opaque(0x808080)},
    {"Green", Opaque(0x008000)},
    {"Greenyellow", Opaque(0xADFF2F)},
    {"Honeydew", Opaque(0xF0FFF0)},
    {"Hotpink", Opaque(0xFF69B4)},
    {"Indianred", Opaque(0xCD5C5C)},
    {"Indigo", Opaque(0x4B0082)},
    {"Ivory", Opaque(0xFFFFF0)},
    {"Khaki", Opaque(0xF0E68C)},
    {"Lavender", Opaque(0xE6E6FA)},
    {"Lavenderblush", Opaque(0xFFF0F5)},
    {"Lawngreen", Opaque(0x7CFC00)},
    {"Lemonchiffon", Opaque(0xFFFACD)},
    {"Lightblue", Opaque(0xADD8E6)},
    {"Lightcoral", Opaque(0xF08080)},
    {"Lightcyan", Opaque(0xE0FFFF)},
    {"Lightgoldenrodyellow", Opaque(0xFAFAD2)},
    {"Lightgray", Opaque(0xD3D3D3)},
    {"Lightgreen", Opaque(0x90EE90)},
    {"Lightgrey", Opaque(0xD3D3D3)},
    {"Lightpink", Opaque(0xFFB6C1)},
    {"Lightsalmon", Opaque(0xFFA07A)},
    {"Lightseagreen", Opaque(0x20B2AA)},
    {"Lightskyblue", Opaque(0x87CEFA)},
    {"Lightslategray", Opaque(0x778899)},
    {"Lightslategrey", Opaque(0x778899)},
    {"Lightsteelblue", Opaque(0xB0C4DE)},
    {"Lightyellow", Opaque(0xFFFFE0)},
    {"Lime", Opaque(0x00FF00)},
    {"Limegreen", Opaque(0x32CD32)},
    {"Linen", Opaque(0xFAF0E6)},
    {"Magenta", Opaque(0xFF00FF)},
    {"Maroon", Opaque(0x800000)},
    {"Mediumaquamarine", Opaque(0x66CDAA)},
    {"Mediumblue", Opaque(0x0000CD)},
    {"Mediumorchid", Opaque(0xBA55D3)},
    {"Mediumpurple", Opaque(0x9370DB)},
    {"Mediumseagreen", Opaque(0x3CB371)},
    {"Mediumslateblue", Opaque(0x7B68EE)},
    {"Mediumspringgreen", Opaque(0x00FA9A)},
    {"Mediumturquoise", Opaque(0x48D1CC)},
    {"Mediumvioletred", Opaque(0xC71585)},
    {"Midnightblue", Opaque(0x191970)},
    {"Mintcream", Opaque(0xF5FFFA)},
    {"Mistyrose", Opaque(0xFFE4E1)},
    {"Moccasin", Opaque(0xFFE4B5)},
    {"Navajowhite", Opaque(0xFFDEAD)},
    {"Navy", Opaque(0x000080)},
    {"Oldlace", Opaque(0xFDF5E6)},
    {"Olive", Opaque(0x808000)},
    {"Olivedrab", Opaque(0x6B8E23)},
    {"Orange", Opaque(0xFFA500)},
    {"Orangered", Opaque(0xFF4500)},
    {"Orchid", Opaque(0xDA70D6)},
    {"Palegoldenrod", Opaque(0xEEE8AA)},
    {"Palegreen", Opaque(0x98FB98)},
    {"Paleturquoise", Opaque(0xAFEEEE)},
    {"Palevioletred", Opaque(0xDB7093)},
    {"Papayawhip", Opaque(0xFFEFD5)},
    {"Peachpuff", Opaque(0xFFDAB9)},
    {"Peru", Opaque(0xCD853F)},
    {"Pink", Opaque(0xFFC0CB)},
    {"Plum", Opaque(0xDDA0DD)},
    {"Powderblue", Opaque(0xB0E0E6)},
    {"Purple", Opaque(0x800080)},
    {"Red", Opaque(0xFF0000)},
    {"Rosybrown", Opaque(0xBC8F8F)},
    {"Royalblue", Opaque(0x4169E1)},
    {"Saddlebrown", Opaque(0x8B4513)},
    {"Salmon", Opaque(0xFA8072)},
    {"Sandybrown", Opaque(0xF4A460)},
    {"Seagreen", Opaque(0x2E8B57)},
    {"Seashell", Opaque(0xFFF5EE)},
    {"Sienna", Opaque(0xA0522D)},
    {"Silver", Opaque(0xC0C0C0)},
    {"Skyblue", Opaque(0x87CEEB)},
    {"Slateblue", Opaque(0x6A5ACD)},
    {"Slategray", Opaque(0x708090)},
    {"Slategrey", Opaque(0x708090)},
    {"Snow", Opaque(0xFFFAFA)},
    {"Springgreen", Opaque(0x00FF7F)},
    {"Steelblue", Opaque(0x4682B4)},
    {"Tan", Opaque(0xD2B48C)},
    {"Teal", Opaque(0x008080)},
    {"Thistle", Opaque(0xD8BFD8)},
    {"Tomato", Opaque(0xFF6347)},
    {"Turquoise", Opaque(0x40E0D0)},
    {"Violet", Opaque(0xEE82EE)},
    {"Wheat", Opaque(0xF5DEB3)},
    {"White", Opaque(0xFFFFFF)},
    {"Whitesmoke", Opaque(0xF5F5F5)},
    {"Yellow", Opaque(0xFFFF00)},
    {"Yellowgreen", Opaque(0x9ACD32)},
}};

Char AsciiLower(Char c) {
    return c >= u'A' && c <= u'Z' ? static_cast<Char>(c + 32) : c;
}

bool SameAscii(StringView a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(static_cast<Char>(static_cast<unsigned char>(b[i])))) return false;
    return true;
}

[[noreturn]] void WrongKind(StringView name) {
    throw ESkinError(u"Damaged skin: the property \"" + String(name) + u"\" has a value of the wrong kind");
}

String ReadText(StringView name, const TORLStreamValue& value) {
    if (!value.IsString() && value.Type != vaIdent) WrongKind(name);
    return value.Text;
}

int32_t ReadInt(StringView name, const TORLStreamValue& value) {
    if (!value.IsInteger() || value.Integer < INT32_MIN || value.Integer > INT32_MAX) WrongKind(name);
    return static_cast<int32_t>(value.Integer);
}

bool ReadBool(StringView name, const TORLStreamValue& value) {
    if (!value.IsBoolean()) WrongKind(name);
    return value.Type == vaTrue;
}

TORLThreeState ReadThreeState(StringView name, const TORLStreamValue& value) {
    if (value.IsBoolean()) return value.Type == vaTrue ? tsTrue : tsFalse;
    if (value.Type == vaIdent) {
        if (SameAscii(value.Text, "True")) return tsTrue;
        if (SameAscii(value.Text, "False")) return tsFalse;
        if (SameAscii(value.Text, "Default")) return tsDefault;
    }
    WrongKind(name);
}

TAlphaColor ReadColor(StringView name, const TORLStreamValue& value) {
    TAlphaColor color = 0;
    if (value.IsInteger()) return static_cast<TAlphaColor>(value.Integer);
    if (value.Type != vaIdent && !value.IsString()) WrongKind(name);
    if (!AlphaColorFromIdent(value.Text, color))
        throw ESkinError(u"Damaged skin: \"" + value.Text + u"\" is no colour");
    return color;
}

void Put(std::vector<TORLStreamProperty>& out, StringView name, TORLStreamValue value) {
    out.push_back({u"Resource." + String(name), std::move(value)});
}

void PutThreeState(std::vector<TORLStreamProperty>& out, StringView name, TORLThreeState state) {
    if (state != tsDefault) Put(out, name, TORLStreamValue::FromBool(state == tsTrue));
}

TAlphaColor ScaleAlpha(TAlphaColor color, uint8_t opacity) {
    if (opacity == 255) return color;
    const uint32_t alpha = (color >> 24) * opacity / 255;
    return (color & 0x00FFFFFFu) | alpha << 24;
}

constexpr std::array<StringView, 4> kWindows11Variants{u"Buttons.Textures.Button", u"Popup.Margins.Borders",
                                                       u"Popup.Margins.CornerRadius", u"Slider.Textures.Thumb"};

}  // namespace

bool AlphaColorFromIdent(StringView ident, TAlphaColor& color) {
    if (ident.size() == 9 && (ident[0] == u'x' || ident[0] == u'X')) {
        uint32_t value = 0;
        for (size_t i = 1; i < 9; ++i) {
            const Char c = AsciiLower(ident[i]);
            int digit;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else
                return false;
            value = value << 4 | static_cast<uint32_t>(digit);
        }
        color = value;
        return true;
    }
    if (ident.size() < 4 || ident.size() > 40 || !SameAscii(ident.substr(0, 3), "cla")) return false;
    const StringView keyword = ident.substr(3);
    if (SameAscii(keyword, "Null")) {
        color = kAlphaColorNull;
        return true;
    }
    for (const TColorName& entry : kColorNames) {
        if (SameAscii(keyword, entry.Name)) {
            color = entry.Color;
            return true;
        }
    }
    return false;
}

String AlphaColorToIdent(TAlphaColor color) {
    if (color == kAlphaColorNull) return u"claNull";
    for (const TColorName& entry : kColorNames)
        if (entry.Color == color) return u"cla" + Ascii(entry.Name);
    static constexpr char kHex[] = "0123456789ABCDEF";
    String ident = u"x";
    for (int shift = 28; shift >= 0; shift -= 4) ident.push_back(static_cast<Char>(kHex[(color >> shift) & 0xF]));
    return ident;
}

// ---------------------------------------------------------------------------------------------

bool TORLResource::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name != u"ID") return false;
    ID = ReadText(name, value);
    return true;
}

void TORLResource::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    if (!ID.empty()) Put(out, u"ID", TORLStreamValue::FromString(ID));
}

bool TORLResourceColor::Accepts(const TORLResource& other) const {
    return dynamic_cast<const TORLResourceColor*>(&other) != nullptr;
}

TAlphaColor TORLResourceColor::Value() const {
    const std::vector<const TORLResourceColor*> chain = Chain<TORLResourceColor>();
    TAlphaColor color = chain.back()->FValue.value_or(kAlphaColorNull);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) color = ScaleAlpha(color, (*it)->Opacity);
    return color;
}

bool TORLResourceColor::HasValue() const {
    return Chain<TORLResourceColor>().back()->FValue.has_value();
}

bool TORLResourceColor::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name == u"Value") {
        FValue = ReadColor(name, value);
    } else if (name == u"Opacity") {
        const int32_t opacity = ReadInt(name, value);
        if (opacity < 0 || opacity > 255) WrongKind(name);
        Opacity = static_cast<uint8_t>(opacity);
    } else if (name == u"AllowColoration") {
        AllowColoration = ReadThreeState(name, value);
    } else {
        return TORLResource::ReadProperty(name, value);
    }
    return true;
}

void TORLResourceColor::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    TORLResource::WriteProperties(out);
    if (FValue) Put(out, u"Value", TORLStreamValue::FromIdent(AlphaColorToIdent(*FValue)));
    if (Opacity != 255) Put(out, u"Opacity", TORLStreamValue::FromInteger(Opacity));
    PutThreeState(out, u"AllowColoration", AllowColoration);
}

// ---------------------------------------------------------------------------------------------

bool TORLResourceFont::Accepts(const TORLResource& other) const {
    return dynamic_cast<const TORLResourceFont*>(&other) != nullptr;
}

const std::vector<std::pair<TORLResourceFont::TAssigned, StringView>>& TORLResourceFont::AssignedNames() {
    static const std::vector<std::pair<TAssigned, StringView>> names{
        {avColor, u"fvColor"}, {avName, u"fvName"},       {avSize, u"fvSize"},
        {avStyle, u"fvStyle"}, {avQuality, u"fvQuality"}, {avAllowColoration, u"fvAllowColoration"}};
    return names;
}

TORLFontValues TORLResourceFont::Values() const {
    const std::vector<const TORLResourceFont*> chain = Chain<TORLResourceFont>();
    TORLFontValues values;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const TORLResourceFont& font = **it;
        if (font.Assigned & avColor) values.Color = font.FColorMaster ? font.FColorMaster->Value() : font.Color;
        if (font.Assigned & avName) values.Name = font.Name;
        if (font.Assigned & avSize)
            values.Height =
                font.SizeInPoints ? -static_cast<int32_t>(std::lround(font.Size * 96.0 / 72.0)) : font.Height;
        if (font.Assigned & avStyle) values.Style = font.Style;
        if (font.Assigned & avQuality) values.Quality = font.Quality;
        if (font.Assigned & avAllowColoration) values.AllowColoration = font.AllowColoration;
    }
    return values;
}

void TORLResourceFont::BindExtra(const TORLCustomResourceCollection& collection) {
    FColorMaster = ColorID.empty() ? nullptr : collection.GetResource<TORLResourceColor>(ColorID);
}

bool TORLResourceFont::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name == u"Color") {
        Color = ReadColor(name, value);
        Assigned |= avColor;
    } else if (name == u"ColorID") {
        ColorID = ReadText(name, value);
        Assigned |= avColor;
    } else if (name == u"Name") {
        Name = ReadText(name, value);
        Assigned |= avName;
    } else if (name == u"Height") {
        Height = ReadInt(name, value);
        SizeInPoints = false;
        Assigned |= avSize;
    } else if (name == u"Size") {
        if (!value.IsNumber()) WrongKind(name);
        Size = value.AsDouble();
        if (!(std::fabs(Size) <= 10000)) WrongKind(name);  // also refuses NaN
        SizeInPoints = true;
        Assigned |= avSize;
    } else if (name == u"Style") {
        if (value.Type != vaSet) WrongKind(name);
        Style = 0;
        for (const String& member : value.Members) {
            if (member == u"fsBold")
                Style |= fsBold;
            else if (member == u"fsItalic")
                Style |= fsItalic;
            else if (member == u"fsUnderline")
                Style |= fsUnderline;
            else if (member == u"fsStrikeOut")
                Style |= fsStrikeOut;
        }
        Assigned |= avStyle;
    } else if (name == u"Quality") {
        Quality = ReadText(name, value);
        Assigned |= avQuality;
    } else if (name == u"AllowColoration") {
        AllowColoration = ReadThreeState(name, value);
        Assigned |= avAllowColoration;
    } else if (name == u"AssignedValues") {
        if (value.Type != vaSet) WrongKind(name);
        for (const String& member : value.Members)
            for (const auto& [bit, text] : AssignedNames())
                if (member == text) Listed |= bit;
        Assigned |= Listed;
    } else {
        return TORLResource::ReadProperty(name, value);
    }
    return true;
}

void TORLResourceFont::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    TORLResource::WriteProperties(out);
    if (Listed) {
        std::vector<String> members;
        for (const auto& [bit, text] : AssignedNames())
            if (Listed & bit) members.emplace_back(text);
        Put(out, u"AssignedValues", TORLStreamValue::FromSet(std::move(members)));
    }
    if (Assigned & avColor) {
        // A font may carry both: the colour stands in when the identifier resolves to nothing.
        if (ColorID.empty() || Color != TORLFontValues().Color)
            Put(out, u"Color", TORLStreamValue::FromIdent(AlphaColorToIdent(Color)));
        if (!ColorID.empty()) Put(out, u"ColorID", TORLStreamValue::FromString(ColorID));
    }
    if (Assigned & avName) Put(out, u"Name", TORLStreamValue::FromString(Name));
    if (Assigned & avSize) {
        if (SizeInPoints && Size == std::floor(Size))
            Put(out, u"Size", TORLStreamValue::FromInteger(static_cast<int64_t>(Size)));
        else if (SizeInPoints) {
            TORLStreamValue size;
            size.Type = vaDouble;
            std::memcpy(&size.Integer, &Size, sizeof Size);
            Put(out, u"Size", size);
        } else {
            Put(out, u"Height", TORLStreamValue::FromInteger(Height));
        }
    }
    if (Assigned & avStyle) {
        std::vector<String> members;
        if (Style & fsBold) members.emplace_back(u"fsBold");
        if (Style & fsItalic) members.emplace_back(u"fsItalic");
        if (Style & fsUnderline) members.emplace_back(u"fsUnderline");
        if (Style & fsStrikeOut) members.emplace_back(u"fsStrikeOut");
        Put(out, u"Style", TORLStreamValue::FromSet(std::move(members)));
    }
    if (Assigned & avQuality) Put(out, u"Quality", TORLStreamValue::FromIdent(Quality));
    if (Assigned & avAllowColoration) PutThreeState(out, u"AllowColoration", AllowColoration);
}

// ---------------------------------------------------------------------------------------------

bool TORLResourceMargins::Accepts(const TORLResource& other) const {
    return dynamic_cast<const TORLResourceMargins*>(&other) != nullptr;
}

TORLMarginValues TORLResourceMargins::Value() const {
    return Chain<TORLResourceMargins>().back()->FValue;
}

bool TORLResourceMargins::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name == u"All") {
        const int32_t all = ReadInt(name, value);
        FValue = {all, all, all, all};
    } else if (name == u"Left") {
        FValue.Left = ReadInt(name, value);
    } else if (name == u"Top") {
        FValue.Top = ReadInt(name, value);
    } else if (name == u"Right") {
        FValue.Right = ReadInt(name, value);
    } else if (name == u"Bottom") {
        FValue.Bottom = ReadInt(name, value);
    } else {
        return TORLResource::ReadProperty(name, value);
    }
    return true;
}

void TORLResourceMargins::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    TORLResource::WriteProperties(out);
    const TORLMarginValues& v = FValue;
    if (v.Left == v.Top && v.Top == v.Right && v.Right == v.Bottom) {
        if (v.Left != 0) Put(out, u"All", TORLStreamValue::FromInteger(v.Left));
        return;
    }
    if (v.Left) Put(out, u"Left", TORLStreamValue::FromInteger(v.Left));
    if (v.Top) Put(out, u"Top", TORLStreamValue::FromInteger(v.Top));
    if (v.Right) Put(out, u"Right", TORLStreamValue::FromInteger(v.Right));
    if (v.Bottom) Put(out, u"Bottom", TORLStreamValue::FromInteger(v.Bottom));
}

// ---------------------------------------------------------------------------------------------

bool TORLResourceInteger::Accepts(const TORLResource& other) const {
    return dynamic_cast<const TORLResourceInteger*>(&other) != nullptr;
}

int32_t TORLResourceInteger::Value() const {
    return Chain<TORLResourceInteger>().back()->FValue;
}

bool TORLResourceInteger::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name != u"Value") return TORLResource::ReadProperty(name, value);
    FValue = ReadInt(name, value);
    return true;
}

void TORLResourceInteger::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    TORLResource::WriteProperties(out);
    if (FValue) Put(out, u"Value", TORLStreamValue::FromInteger(FValue));
}

// ---------------------------------------------------------------------------------------------

bool TORLResourceTexture::Accepts(const TORLResource& other) const {
    return dynamic_cast<const TORLResourceTexture*>(&other) != nullptr;
}

const std::vector<uint8_t>& TORLResourceTexture::Data() const {
    return Chain<TORLResourceTexture>().back()->FData;
}

bool TORLResourceTexture::ReadProperty(StringView name, const TORLStreamValue& value) {
    if (name == u"Data") {
        if (value.Type != vaBinary) WrongKind(name);
        FData = value.Bytes;
    } else if (name == u"Scalable") {
        Scalable = ReadThreeState(name, value);
    } else if (name == u"AllowColoration") {
        AllowColoration = ReadThreeState(name, value);
    } else if (name == u"Overriden") {
        Overriden = ReadBool(name, value);
    } else {
        return TORLResource::ReadProperty(name, value);
    }
    return true;
}

void TORLResourceTexture::WriteProperties(std::vector<TORLStreamProperty>& out) const {
    TORLResource::WriteProperties(out);
    if (!FData.empty()) Put(out, u"Data", TORLStreamValue::FromBinary(FData));
    PutThreeState(out, u"Scalable", Scalable);
    PutThreeState(out, u"AllowColoration", AllowColoration);
    if (Overriden) Put(out, u"Overriden", TORLStreamValue::FromBool(true));
}

std::unique_ptr<TORLResource> CreateResource(StringView className) {
    if (className == TORLResourceColor::kClassName) return std::make_unique<TORLResourceColor>();
    if (className == TORLResourceFont::kClassName) return std::make_unique<TORLResourceFont>();
    if (className == TORLResourceMargins::kClassName) return std::make_unique<TORLResourceMargins>();
    if (className == TORLResourceInteger::kClassName) return std::make_unique<TORLResourceInteger>();
    if (className == TORLResourceTexture::kClassName) return std::make_unique<TORLResourceTexture>();
    return nullptr;
}

// ---------------------------------------------------------------------------------------------

void TORLCustomResourceCollection::LoadFromBytes(const uint8_t* data, size_t size) {
    LoadFromObject(ReadSkinStream(data, size));
}

void TORLCustomResourceCollection::LoadFromObject(const TORLStreamObject& root) {
    // Built aside and swapped in, so that a damaged stream leaves the current skin in place.
    TORLCustomResourceCollection loaded;
    if (const TORLStreamValue* items = root.Find(u"Items")) {
        if (items->Type != vaCollection) throw ESkinError(u"Damaged skin: \"Items\" is no collection");
        for (const TORLStreamCollectionItem& streamItem : items->Items) {
            TORLResourceCollectionItem item;
            for (const TORLStreamProperty& property : streamItem.Properties) {
                const StringView name = property.Name;
                if (name == u"ID") {
                    item.ID = ReadText(name, property.Value);
                } else if (name == u"Description") {
                    item.Description = ReadText(name, property.Value);
                } else if (name == u"ResourceClassName") {
                    const String className = ReadText(name, property.Value);
                    item.Resource = CreateResource(className);
                    if (!item.Resource)
                        throw ESkinError(u"Damaged skin: unknown resource class \"" + className + u"\"");
                } else if (name.starts_with(u"Resource.")) {
                    if (!item.Resource)
                        throw ESkinError(u"Damaged skin: \"" + String(name) + u"\" before \"ResourceClassName\"");
                    item.Resource->ReadProperty(name.substr(9), property.Value);  // unknown names are skipped
                }
            }
            if (!item.Resource) throw ESkinError(u"Damaged skin: the item \"" + item.ID + u"\" has no resource");
            loaded.FItems.push_back(std::move(item));
        }
    }
    FItems.swap(loaded.FItems);
    Bind();
}

TORLStreamObject TORLCustomResourceCollection::SaveToObject() const {
    TORLStreamObject root;
    root.ClassName = String(ClassName());
    TORLStreamValue items;
    items.Type = vaCollection;
    for (const TORLResourceCollectionItem& item : FItems) {
        TORLStreamCollectionItem streamItem;
        auto& properties = streamItem.Properties;
        if (!item.Description.empty())
            properties.push_back({u"Description", TORLStreamValue::FromString(item.Description)});
        properties.push_back({u"ID", TORLStreamValue::FromString(item.ID)});
        properties.push_back({u"ResourceClassName", TORLStreamValue::FromString(item.ResourceClassName())});
        item.Resource->WriteProperties(properties);
        items.Items.push_back(std::move(streamItem));
    }
    root.Properties.push_back({u"Items", std::move(items)});
    return root;
}

std::vector<uint8_t> TORLCustomResourceCollection::SaveToBytes() const {
    return WriteSkinStream(SaveToObject());
}

void TORLCustomResourceCollection::Clear() {
    FItems.clear();
    FMap.clear();
}

TORLResourceCollectionItem& TORLCustomResourceCollection::Add(StringView id, StringView className) {
    TORLResourceCollectionItem item;
    item.ID = String(id);
    item.Resource = CreateResource(className);
    if (!item.Resource) throw ESkinError(u"Unknown skin resource class \"" + String(className) + u"\"");
    FItems.push_back(std::move(item));
    return FItems.back();
}

const TORLResourceCollectionItem* TORLCustomResourceCollection::Find(StringView id) const {
    const auto it = FMap.find(String(id));
    return it == FMap.end() ? nullptr : &FItems[it->second];
}

const TORLResource* TORLCustomResourceCollection::GetResource(StringView id, const TORLResource& kind,
                                                              const TORLResource* requester) const {
    const TORLResourceCollectionItem* item = Find(id);
    if (!item || item->Resource.get() == requester || !kind.Accepts(*item->Resource)) return nullptr;
    return item->Resource.get();
}

void TORLCustomResourceCollection::Bind() {
    FMap.clear();
    for (size_t i = 0; i < FItems.size(); ++i) FMap[FItems[i].ID] = i;  // the item read last wins

    std::unordered_map<const TORLResource*, size_t> indexOf;
    for (size_t i = 0; i < FItems.size(); ++i) {
        TORLResource& resource = *FItems[i].Resource;
        indexOf[&resource] = i;
        resource.FMaster = resource.ID.empty() ? nullptr : GetResource(resource.ID, resource, &resource);
    }

    // Break reference cycles: walk each chain once, marking the items on the current walk; a
    // walk that meets its own marks has found a cycle, whose members then keep their own values.
    enum TState : uint8_t { stNew, stWalking, stDone };
    std::vector<TState> state(FItems.size(), stNew);
    std::vector<size_t> walk;
    for (size_t start = 0; start < FItems.size(); ++start) {
        walk.clear();
        size_t at = start;
        while (state[at] == stNew) {
            state[at] = stWalking;
            walk.push_back(at);
            const TORLResource* master = FItems[at].Resource->FMaster;
            if (!master) break;
            at = indexOf.at(master);
        }
        if (state[at] == stWalking && FItems[at].Resource->FMaster) {
            // `at` is on this walk and has a master: the walk ran into itself.
            const size_t cycleStart = at;
            size_t member = cycleStart;
            do {
                TORLResource& resource = *FItems[member].Resource;
                const size_t next = indexOf.at(resource.FMaster);
                resource.FMaster = nullptr;
                member = next;
            } while (member != cycleStart);
        }
        for (size_t done : walk) state[done] = stDone;
    }

    for (TORLResourceCollectionItem& item : FItems) item.Resource->BindExtra(*this);
}

void TORLCustomResourceCollection::ApplyWindows11Variants() {
    bool changed = false;
    for (StringView id : kWindows11Variants) {
        const String variant = String(id) + u".W11";
        const auto it = FMap.find(String(id));
        if (it == FMap.end() || FMap.find(variant) == FMap.end()) continue;
        FItems[it->second].Resource->ID = variant;
        changed = true;
    }
    if (changed) Bind();
}

}  // namespace uinst
