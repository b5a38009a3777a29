#include "tools/skinc/skin_source.h"

#include <charconv>
#include <cstdio>

#include "formats/skin_texture.h"

namespace uinst {

namespace {

struct TLine {
    int Number;
    std::vector<std::string> Tokens;
};

[[noreturn]] void Fail(int line, const std::string& message) {
    throw ESkinSourceError(Utf8ToString("line " + std::to_string(line) + ": " + message));
}

// Splits at blanks; "..." keeps blanks inside a token (the quotes are dropped).
std::vector<std::string> Tokenize(std::string_view text, int line) {
    std::vector<std::string> tokens;
    size_t p = 0;
    while (p < text.size()) {
        while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\r')) ++p;
        if (p >= text.size() || text[p] == '#') break;
        std::string token;
        bool quoted = false;
        while (p < text.size() && (quoted || (text[p] != ' ' && text[p] != '\t' && text[p] != '\r'))) {
            if (text[p] == '"')
                quoted = !quoted;
            else
                token += text[p];
            ++p;
        }
        if (quoted) Fail(line, "a quote is not closed");
        tokens.push_back(std::move(token));
    }
    return tokens;
}

int64_t Number(const std::string& text, int line, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        Fail(line, "\"" + text + "\" is no number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

TAlphaColor Color(const std::string& text, int line) {
    TAlphaColor color = 0;
    if (!AlphaColorFromIdent(Utf8ToString(text), color))
        Fail(line, "\"" + text + "\" is no colour (xAARRGGBB or a cla name)");
    return color;
}

TORLThreeState ThreeState(const std::string& text, int line) {
    if (text == "true") return tsTrue;
    if (text == "false") return tsFalse;
    if (text == "default") return tsDefault;
    Fail(line, "\"" + text + "\" is not true, false or default");
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t p = 0; p <= text.size(); ++p) {
        if (p == text.size() || text[p] == separator) {
            parts.push_back(text.substr(start, p - start));
            start = p + 1;
        }
    }
    return parts;
}

// "DPI:WxH:FILL:BORDER": a filled rectangle with a one-pixel border, `frames` times one above the other.
TORLTextureImage Picture(const std::string& text, int frames, int line) {
    const std::vector<std::string> parts = Split(text, ':');
    if (parts.size() != 4) Fail(line, "a picture is DPI:WIDTHxHEIGHT:FILL:BORDER");
    const std::vector<std::string> size = Split(parts[1], 'x');
    if (size.size() != 2) Fail(line, "a picture size is WIDTHxHEIGHT");
    TORLTextureImage image;
    image.Dpi = static_cast<uint16_t>(Number(parts[0], line, 96, 480));
    const auto width = static_cast<uint32_t>(Number(size[0], line, 1, 256));
    const auto height = static_cast<uint32_t>(Number(size[1], line, 1, 256));
    const TAlphaColor fill = Color(parts[2], line), border = Color(parts[3], line);
    image.Width = width;
    image.Height = height * static_cast<uint32_t>(frames);
    image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
    for (uint32_t y = 0; y < image.Height; ++y) {
        const uint32_t frameY = y % height;
        for (uint32_t x = 0; x < width; ++x) {
            const bool edge = x == 0 || frameY == 0 || x + 1 == width || frameY + 1 == height;
            image.Pixels[static_cast<size_t>(y) * width + x] = edge ? border : fill;
        }
    }
    // Layout: the frame count and the margins that stay unstretched (the border), rest zero.
    image.Layout.assign(54, 0);
    const uint32_t layout[5] = {static_cast<uint32_t>(frames), 1, 1, 1, 1};
    for (size_t i = 0; i < 5; ++i)
        for (size_t b = 0; b < 4; ++b) image.Layout[4 * i + b] = static_cast<uint8_t>(layout[i] >> (8 * b));
    return image;
}

void CompileLine(const TLine& line, TORLCustomResourceCollection& skin) {
    const std::vector<std::string>& t = line.Tokens;
    static const std::vector<std::pair<std::string_view, StringView>> kClasses{
        {"color", TORLResourceColor::kClassName},
        {"font", TORLResourceFont::kClassName},
        {"margins", TORLResourceMargins::kClassName},
        {"integer", TORLResourceInteger::kClassName},
        {"texture", TORLResourceTexture::kClassName}};
    StringView className;
    for (const auto& [keyword, name] : kClasses)
        if (t[0] == keyword) className = name;
    if (className.empty()) Fail(line.Number, "unknown kind \"" + t[0] + "\"");
    if (t.size() < 2) Fail(line.Number, "the identifier is missing");

    TORLResourceCollectionItem& item = skin.Add(Utf8ToString(t[1]), className);
    TORLResource& resource = *item.Resource;
    auto* color = dynamic_cast<TORLResourceColor*>(&resource);
    auto* font = dynamic_cast<TORLResourceFont*>(&resource);
    auto* margins = dynamic_cast<TORLResourceMargins*>(&resource);
    auto* integer = dynamic_cast<TORLResourceInteger*>(&resource);
    auto* texture = dynamic_cast<TORLResourceTexture*>(&resource);
    std::vector<std::string> pictures;
    int frames = 1;

    for (size_t i = 2; i < t.size(); ++i) {
        const std::string& token = t[i];
        const int n = line.Number;
        if (token == "->") {
            if (i + 1 >= t.size()) Fail(n, "\"->\" without an identifier");
            resource.ID = Utf8ToString(t[++i]);
            continue;
        }
        const size_t equals = token.find('=');
        if (equals == std::string::npos) {
            // The bare main value.
            if (color)
                color->FValue = Color(token, n);
            else if (integer)
                integer->FValue = static_cast<int32_t>(Number(token, n, INT32_MIN, INT32_MAX));
            else
                Fail(n, "\"" + token + "\" needs a name (name=value)");
            continue;
        }
        const std::string key = token.substr(0, equals), value = token.substr(equals + 1);
        if (key == "description") {
            item.Description = Utf8ToString(value);
        } else if (key == "coloration" && (color || font || texture)) {
            const TORLThreeState state = ThreeState(value, n);
            if (color) color->AllowColoration = state;
            if (texture) texture->AllowColoration = state;
            if (font) font->AllowColoration = state, font->Assigned |= TORLResourceFont::avAllowColoration;
        } else if (color && key == "opacity") {
            color->Opacity = static_cast<uint8_t>(Number(value, n, 0, 255));
        } else if (font && key == "color") {
            font->Color = Color(value, n);
            font->Assigned |= TORLResourceFont::avColor;
        } else if (font && key == "colorid") {
            font->ColorID = Utf8ToString(value);
            font->Assigned |= TORLResourceFont::avColor;
        } else if (font && key == "name") {
            font->Name = Utf8ToString(value);
            font->Assigned |= TORLResourceFont::avName;
        } else if (font && key == "height") {
            font->Height = static_cast<int32_t>(Number(value, n, -1000, 1000));
            font->SizeInPoints = false;
            font->Assigned |= TORLResourceFont::avSize;
        } else if (font && key == "size") {
            font->Size = static_cast<double>(Number(value, n, 1, 1000));
            font->SizeInPoints = true;
            font->Assigned |= TORLResourceFont::avSize;
        } else if (font && key == "style") {
            font->Style = 0;
            for (const std::string& member : Split(value, ',')) {
                if (member == "fsBold")
                    font->Style |= fsBold;
                else if (member == "fsItalic")
                    font->Style |= fsItalic;
                else if (member == "fsUnderline")
                    font->Style |= fsUnderline;
                else if (member == "fsStrikeOut")
                    font->Style |= fsStrikeOut;
                else if (!member.empty())
                    Fail(n, "unknown font style \"" + member + "\"");
            }
            font->Assigned |= TORLResourceFont::avStyle;
        } else if (font && key == "quality") {
            font->Quality = Utf8ToString(value);
            font->Assigned |= TORLResourceFont::avQuality;
        } else if (margins && (key == "all" || key == "left" || key == "top" || key == "right" || key == "bottom")) {
            const auto v = static_cast<int32_t>(Number(value, n, -10000, 10000));
            if (key == "all") margins->FValue = {v, v, v, v};
            if (key == "left") margins->FValue.Left = v;
            if (key == "top") margins->FValue.Top = v;
            if (key == "right") margins->FValue.Right = v;
            if (key == "bottom") margins->FValue.Bottom = v;
        } else if (texture && key == "picture") {
            pictures.push_back(value);
        } else if (texture && key == "frames") {
            frames = static_cast<int>(Number(value, n, 1, 64));
        } else if (texture && key == "scalable") {
            texture->Scalable = ThreeState(value, n);
        } else {
            Fail(n, "\"" + key + "\" does not belong to a " + t[0]);
        }
    }
    if (texture && !pictures.empty()) {
        std::vector<TORLTextureImage> images;
        for (const std::string& picture : pictures) images.push_back(Picture(picture, frames, line.Number));
        texture->FData = WriteTextureImages(images);
    }
}

}  // namespace

void CompileSkinSource(std::string_view source, TORLCustomResourceCollection& skin) {
    int number = 0;
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        ++number;
        TLine line{number, Tokenize(source.substr(start, end - start), number)};
        if (!line.Tokens.empty()) CompileLine(line, skin);
        start = end + 1;
    }
    skin.Bind();
}

std::string DescribeSkin(const TORLCustomResourceCollection& skin) {
    std::string out;
    char hex[16];
    for (int i = 0; i < skin.Count(); ++i) {
        const TORLResourceCollectionItem& item = skin.Items(i);
        const TORLResource& resource = *item.Resource;
        out += StringToUtf8(resource.ClassName()) + " " + StringToUtf8(item.ID);
        if (!resource.ID.empty()) out += " -> " + StringToUtf8(resource.ID);
        if (auto* color = dynamic_cast<const TORLResourceColor*>(&resource)) {
            std::snprintf(hex, sizeof hex, "%08X", color->Value());
            out += std::string(" = x") + hex;
        } else if (auto* font = dynamic_cast<const TORLResourceFont*>(&resource)) {
            const TORLFontValues v = font->Values();
            std::snprintf(hex, sizeof hex, "%08X", v.Color);
            out += " = " + StringToUtf8(v.Name) + " " + std::to_string(v.Height) + " x" + hex + " style " +
                   std::to_string(v.Style);
        } else if (auto* margins = dynamic_cast<const TORLResourceMargins*>(&resource)) {
            const TORLMarginValues v = margins->Value();
            out += " = " + std::to_string(v.Left) + "," + std::to_string(v.Top) + "," + std::to_string(v.Right) + "," +
                   std::to_string(v.Bottom);
        } else if (auto* integer = dynamic_cast<const TORLResourceInteger*>(&resource)) {
            out += " = " + std::to_string(integer->Value());
        } else if (auto* texture = dynamic_cast<const TORLResourceTexture*>(&resource)) {
            out += " = " + std::to_string(texture->Data().size()) + " bytes";
        }
        out += "\n";
    }
    return out;
}

}  // namespace uinst
