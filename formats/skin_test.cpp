#include "formats/skin.h"

#include <gtest/gtest.h>

#include "formats/skin_texture.h"

namespace uinst {
namespace {

using Bytes = std::vector<uint8_t>;

TORLResourceColor& AddColor(TORLCustomResourceCollection& skin, StringView id, std::optional<TAlphaColor> value,
                            StringView ref = u"") {
    auto& color = static_cast<TORLResourceColor&>(*skin.Add(id, TORLResourceColor::kClassName).Resource);
    color.FValue = value;
    color.ID = String(ref);
    return color;
}

TAlphaColor ColorOf(const TORLCustomResourceCollection& skin, StringView id) {
    const TORLResourceColor* color = skin.GetResource<TORLResourceColor>(id);
    EXPECT_NE(color, nullptr) << StringToUtf8(id);
    return color ? color->Value() : 0x12345678;
}

TEST(Skin, ColourIdentifiers) {
    TAlphaColor color = 0;
    EXPECT_TRUE(AlphaColorFromIdent(u"xFF0078D7", color));
    EXPECT_EQ(color, 0xFF0078D7u);
    EXPECT_TRUE(AlphaColorFromIdent(u"x80abcdef", color));
    EXPECT_EQ(color, 0x80ABCDEFu);
    EXPECT_TRUE(AlphaColorFromIdent(u"claWhitesmoke", color));
    EXPECT_EQ(color, 0xFFF5F5F5u);
    EXPECT_TRUE(AlphaColorFromIdent(u"claNull", color));
    EXPECT_EQ(color, 0u);
    EXPECT_TRUE(AlphaColorFromIdent(u"claSilver", color));
    EXPECT_EQ(color, 0xFFC0C0C0u);
    EXPECT_TRUE(AlphaColorFromIdent(u"claLightgoldenrodyellow", color));
    EXPECT_EQ(color, 0xFFFAFAD2u);
    for (StringView bad : {u"xFF0078D", u"xFF0078D7F", u"xGG0078D7", u"claRebeccapurple", u"cla", u"Black", u""})
        EXPECT_FALSE(AlphaColorFromIdent(bad, color)) << StringToUtf8(bad);

    EXPECT_EQ(AlphaColorToIdent(0xFF000000), u"claBlack");
    EXPECT_EQ(AlphaColorToIdent(0xFF2A2A2A), u"xFF2A2A2A");
    EXPECT_EQ(AlphaColorToIdent(0), u"claNull");
}

TEST(Skin, ReferencesAreFollowedToTheEnd) {
    TORLRootResourceCollectionImpl skin;
    AddColor(skin, u"Labels.Colors.Text", std::nullopt, u"Common.Colors.Text");
    AddColor(skin, u"Common.Colors.Text", 0xFF00FF00, u"Base.Text");
    AddColor(skin, u"Base.Text", 0xFFFFFFFF);
    AddColor(skin, u"Missing", 0xFF112233, u"Nowhere");
    AddColor(skin, u"Self", 0xFF445566, u"Self");
    skin.Add(u"Common.Fonts.Default", TORLResourceFont::kClassName);
    AddColor(skin, u"OtherClass", 0xFF778899, u"Common.Fonts.Default");
    AddColor(skin, u"Unset", std::nullopt);
    skin.Bind();

    EXPECT_EQ(ColorOf(skin, u"Labels.Colors.Text"), 0xFFFFFFFFu);
    EXPECT_EQ(ColorOf(skin, u"Common.Colors.Text"), 0xFFFFFFFFu);
    // What resolves to nothing keeps its own value; a reference to another class is not followed.
    EXPECT_EQ(ColorOf(skin, u"Missing"), 0xFF112233u);
    EXPECT_EQ(ColorOf(skin, u"Self"), 0xFF445566u);
    EXPECT_EQ(ColorOf(skin, u"OtherClass"), 0xFF778899u);
    EXPECT_EQ(skin.GetResource<TORLResourceColor>(u"OtherClass")->Master(), nullptr);
    EXPECT_EQ(ColorOf(skin, u"Unset"), kAlphaColorNull);
    EXPECT_FALSE(skin.GetResource<TORLResourceColor>(u"Unset")->HasValue());

    // Lookups: by class, never the requester itself.
    EXPECT_EQ(skin.GetResource<TORLResourceFont>(u"Base.Text"), nullptr);
    EXPECT_EQ(skin.GetResource<TORLResourceColor>(u"Common.Fonts.Default"), nullptr);
    EXPECT_EQ(skin.GetResource<TORLResource>(u"Common.Fonts.Default")->ClassName(), u"TORLResourceFont");
    const TORLResource* base = skin.GetResource<TORLResourceColor>(u"Base.Text");
    EXPECT_EQ(skin.GetResource<TORLResourceColor>(u"Base.Text", base), nullptr);
    EXPECT_EQ(skin.GetResource(u"Base.Text", TORLResourceColor(), nullptr), base);
    EXPECT_EQ(skin.GetResource(u"Base.Text", TORLResourceFont(), nullptr), nullptr);
}

TEST(Skin, ReferenceCyclesAreBroken) {
    TORLRootResourceCollectionImpl skin;
    AddColor(skin, u"A", 0xFF0000AA, u"B");
    AddColor(skin, u"B", 0xFF0000BB, u"C");
    AddColor(skin, u"C", 0xFF0000CC, u"A");
    AddColor(skin, u"IntoCycle", 0xFF000001, u"B");
    skin.Bind();
    EXPECT_EQ(ColorOf(skin, u"A"), 0xFF0000AAu);
    EXPECT_EQ(ColorOf(skin, u"B"), 0xFF0000BBu);
    EXPECT_EQ(ColorOf(skin, u"C"), 0xFF0000CCu);
    EXPECT_EQ(ColorOf(skin, u"IntoCycle"), 0xFF0000BBu);

    // A long chain resolves without deep recursion.
    TORLRootResourceCollectionImpl chain;
    for (int i = 0; i < 50000; ++i)
        AddColor(chain, u"c" + Ascii(std::to_string(i)), 0xFF000000, u"c" + Ascii(std::to_string(i + 1)));
    AddColor(chain, u"c50000", 0xFF123456);
    chain.Bind();
    EXPECT_EQ(ColorOf(chain, u"c0"), 0xFF123456u);
}

TEST(Skin, DuplicateIdentifiersResolveToTheItemReadLast) {
    TORLRootResourceCollectionImpl skin;
    auto& first = static_cast<TORLResourceMargins&>(
        *skin.Add(u"Popup.Margins.Borders", TORLResourceMargins::kClassName).Resource);
    first.FValue = {1, 1, 1, 1};
    auto& last = static_cast<TORLResourceMargins&>(
        *skin.Add(u"Popup.Margins.Borders", TORLResourceMargins::kClassName).Resource);
    last.FValue = {2, 3, 4, 5};
    skin.Bind();
    EXPECT_EQ(skin.Count(), 2);
    EXPECT_EQ(skin.GetResource<TORLResourceMargins>(u"Popup.Margins.Borders"), &last);

    // Read back from a stream, the same holds.
    TORLRootResourceCollectionImpl loaded;
    const Bytes bytes = skin.SaveToBytes();
    loaded.LoadFromBytes(bytes.data(), bytes.size());
    EXPECT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.GetResource<TORLResourceMargins>(u"Popup.Margins.Borders")->Value(),
              (TORLMarginValues{2, 3, 4, 5}));
}

TEST(Skin, Windows11Variants) {
    TORLRootResourceCollectionImpl skin;
    auto& button = static_cast<TORLResourceTexture&>(
        *skin.Add(u"Buttons.Textures.Button", TORLResourceTexture::kClassName).Resource);
    button.FData = {1};
    auto& variant = static_cast<TORLResourceTexture&>(
        *skin.Add(u"Buttons.Textures.Button.W11", TORLResourceTexture::kClassName).Resource);
    variant.FData = {2, 2};
    // Without its twin an identifier stays as it is; identifiers outside the four never change.
    auto& thumb = static_cast<TORLResourceTexture&>(
        *skin.Add(u"Slider.Textures.Thumb", TORLResourceTexture::kClassName).Resource);
    thumb.FData = {3};
    skin.Add(u"EditBox.Textures.Button", TORLResourceTexture::kClassName);
    skin.Add(u"EditBox.Textures.Button.W11", TORLResourceTexture::kClassName);
    skin.Bind();
    EXPECT_EQ(button.Data(), (Bytes{1}));

    skin.ApplyWindows11Variants();
    EXPECT_EQ(button.ID, u"Buttons.Textures.Button.W11");
    EXPECT_EQ(skin.GetResource<TORLResourceTexture>(u"Buttons.Textures.Button")->Data(), (Bytes{2, 2}));
    EXPECT_EQ(thumb.Data(), (Bytes{3}));
    EXPECT_TRUE(skin.GetResource<TORLResource>(u"EditBox.Textures.Button")->ID.empty());
}

TEST(Skin, FontsOverrideTheirMastersNamedValues) {
    TORLRootResourceCollectionImpl skin;
    AddColor(skin, u"Accent", 0xFFAC671C);
    auto font = [&](StringView id) -> TORLResourceFont& {
        return static_cast<TORLResourceFont&>(*skin.Add(id, TORLResourceFont::kClassName).Resource);
    };
    TORLResourceFont& base = font(u"Common.Fonts.Default");
    base.Height = -11;
    base.Color = 0xFFFFFFFF;
    base.Assigned = TORLResourceFont::avSize | TORLResourceFont::avColor;
    TORLResourceFont& bold = font(u"Labels.Fonts.Bold");
    bold.ID = u"Common.Fonts.Default";
    bold.Style = fsBold;
    bold.Assigned = TORLResourceFont::avStyle;
    TORLResourceFont& accent = font(u"Labels.Fonts.Accent");
    accent.ID = u"Labels.Fonts.Bold";
    accent.ColorID = u"Accent";
    accent.Size = 12;
    accent.SizeInPoints = true;
    accent.Assigned = TORLResourceFont::avColor | TORLResourceFont::avSize;
    skin.Bind();

    const TORLFontValues defaults;
    const TORLFontValues b = bold.Values();
    EXPECT_EQ(b.Height, -11);
    EXPECT_EQ(b.Color, 0xFFFFFFFFu);
    EXPECT_EQ(b.Style, fsBold);
    EXPECT_EQ(b.Name, defaults.Name);
    const TORLFontValues a = accent.Values();
    EXPECT_EQ(a.Color, 0xFFAC671Cu);
    EXPECT_EQ(a.Height, -16);
    EXPECT_EQ(a.Style, fsBold);

    // Through a stream: written properties count as assigned, and so do the listed ones.
    const Bytes bytes = skin.SaveToBytes();
    TORLRootResourceCollectionImpl loaded;
    loaded.LoadFromBytes(bytes.data(), bytes.size());
    EXPECT_EQ(loaded.GetResource<TORLResourceFont>(u"Labels.Fonts.Accent")->Values().Color, 0xFFAC671Cu);
    EXPECT_EQ(loaded.GetResource<TORLResourceFont>(u"Labels.Fonts.Accent")->Values().Height, -16);

    TORLResourceFont listed;
    listed.ReadProperty(u"AssignedValues", TORLStreamValue::FromSet({u"fvName", u"fvStyle"}));
    EXPECT_EQ(listed.Assigned, TORLResourceFont::avName | TORLResourceFont::avStyle);
}

TEST(Skin, OpacityScalesAlpha) {
    TORLRootResourceCollectionImpl skin;
    AddColor(skin, u"Base", 0xFF102030);
    AddColor(skin, u"Half", std::nullopt, u"Base").Opacity = 128;
    skin.Bind();
    EXPECT_EQ(ColorOf(skin, u"Half"), 0x80102030u);
}

// A stream of one collection whose single item has the given properties.
Bytes OneItem(std::vector<TORLStreamProperty> properties) {
    TORLStreamObject root;
    root.ClassName = u"TORLRootResourceCollectionImpl";
    TORLStreamValue items;
    items.Type = vaCollection;
    items.Items.push_back({std::nullopt, std::move(properties)});
    root.Properties.push_back({u"Left", TORLStreamValue::FromInteger(100)});
    root.Properties.push_back({u"Items", items});
    return WriteSkinStream(root);
}

TEST(Skin, LoadingReadsEveryResourceClass) {
    TORLRootResourceCollectionImpl skin;
    const auto load = [&](std::vector<TORLStreamProperty> properties) {
        const Bytes bytes = OneItem(std::move(properties));
        skin.LoadFromBytes(bytes.data(), bytes.size());
        return skin.Items(0).Resource.get();
    };
    const auto text = TORLStreamValue::FromString;
    const auto ident = TORLStreamValue::FromIdent;
    const auto number = TORLStreamValue::FromInteger;

    auto* color =
        dynamic_cast<TORLResourceColor*>(load({{u"ID", text(u"c")},
                                               {u"Description", text(u"d")},
                                               {u"ResourceClassName", text(u"TORLResourceColor")},
                                               {u"Resource.Value", ident(u"claNavy")},
                                               {u"Resource.Opacity", number(255)},
                                               {u"Resource.AllowColoration", TORLStreamValue::FromBool(false)},
                                               {u"Resource.Unknown", number(1)}}));
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(skin.Items(0).Description, u"d");
    EXPECT_EQ(color->Value(), 0xFF000080u);
    EXPECT_EQ(color->AllowColoration, tsFalse);

    auto* font = dynamic_cast<TORLResourceFont*>(
        load({{u"ResourceClassName", text(u"TORLResourceFont")},
              {u"Resource.Name", text(u"Tahoma")},
              {u"Resource.Size", number(9)},
              {u"Resource.Style", TORLStreamValue::FromSet({u"fsItalic", u"fsStrikeOut"})},
              {u"Resource.Quality", ident(u"fqClearType")}}));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Values().Name, u"Tahoma");
    EXPECT_EQ(font->Values().Height, -12);
    EXPECT_EQ(font->Values().Style, fsItalic | fsStrikeOut);
    EXPECT_EQ(font->Values().Quality, u"fqClearType");

    auto* margins = dynamic_cast<TORLResourceMargins*>(load({{u"ResourceClassName", text(u"TORLResourceMargins")},
                                                             {u"Resource.All", number(4)},
                                                             {u"Resource.Bottom", number(-1)}}));
    ASSERT_NE(margins, nullptr);
    EXPECT_EQ(margins->Value(), (TORLMarginValues{4, 4, 4, -1}));

    auto* integer = dynamic_cast<TORLResourceInteger*>(
        load({{u"ResourceClassName", text(u"TORLResourceInteger")}, {u"Resource.Value", number(300)}}));
    ASSERT_NE(integer, nullptr);
    EXPECT_EQ(integer->Value(), 300);

    auto* texture =
        dynamic_cast<TORLResourceTexture*>(load({{u"ResourceClassName", text(u"TORLResourceTexture")},
                                                 {u"Resource.Data", TORLStreamValue::FromBinary({9})},
                                                 {u"Resource.Scalable", TORLStreamValue::FromBool(true)},
                                                 {u"Resource.Overriden", TORLStreamValue::FromBool(true)}}));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->Data(), (Bytes{9}));
    EXPECT_EQ(texture->Scalable, tsTrue);
    EXPECT_TRUE(texture->Overriden);
}

TEST(Skin, DamagedSkinsLeaveTheLoadedOneInPlace) {
    TORLRootResourceCollectionImpl skin;
    AddColor(skin, u"Kept", 0xFF010203);
    skin.Bind();
    const auto text = TORLStreamValue::FromString;
    const std::vector<std::vector<TORLStreamProperty>> damaged{
        {{u"ResourceClassName", text(u"TORLResourceSound")}},
        {{u"Resource.Value", text(u"claBlack")}, {u"ResourceClassName", text(u"TORLResourceColor")}},
        {{u"ID", text(u"no class")}},
        {{u"ResourceClassName", text(u"TORLResourceColor")}, {u"Resource.Value", text(u"claUnknown")}},
        {{u"ResourceClassName", text(u"TORLResourceColor")}, {u"Resource.Opacity", TORLStreamValue::FromInteger(256)}},
        {{u"ResourceClassName", text(u"TORLResourceInteger")}, {u"Resource.Value", text(u"1")}},
        {{u"ResourceClassName", text(u"TORLResourceTexture")}, {u"Resource.Data", text(u"1")}},
        {{u"ResourceClassName", text(u"TORLResourceFont")}, {u"Resource.Style", text(u"fsBold")}},
    };
    for (const auto& properties : damaged) {
        const Bytes bytes = OneItem(properties);
        EXPECT_THROW(skin.LoadFromBytes(bytes.data(), bytes.size()), ESkinError);
    }
    const Bytes truncated = OneItem({{u"ResourceClassName", text(u"TORLResourceColor")}});
    EXPECT_THROW(skin.LoadFromBytes(truncated.data(), truncated.size() - 1), ESkinStreamError);
    EXPECT_EQ(ColorOf(skin, u"Kept"), 0xFF010203u);
}

TEST(SkinTexture, PicturesRoundTripAndDamageIsRejected) {
    TORLTextureImage small;
    small.Width = 3;
    small.Height = 2;
    small.Pixels = {1, 2, 3, 4, 5, 0xFFFFFFFF};
    small.Layout.assign(54, 7);
    small.Draw.assign(5, 1);
    TORLTextureImage large = small;
    large.Dpi = 192;
    TORLTextureImage empty;
    empty.Dpi = 120;
    const Bytes data = WriteTextureImages({small, large, empty});

    const std::vector<TORLTextureImage> read = ReadTextureImages(data);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].Pixels, small.Pixels);
    EXPECT_EQ(read[0].Layout, small.Layout);
    EXPECT_EQ(read[0].Draw, small.Draw);
    EXPECT_EQ(read[0].Dpi, 96);
    EXPECT_EQ(read[1].Dpi, 192);
    EXPECT_TRUE(read[2].Pixels.empty());
    EXPECT_EQ(read[2].Dpi, 120);
    EXPECT_TRUE(ReadTextureImages(Bytes{}).empty());

    // Every shorter copy fails, except those that end right after a whole picture.
    const size_t oneImage = WriteTextureImages({small}).size(), twoImages = WriteTextureImages({small, large}).size();
    for (size_t size = 1; size < data.size(); ++size) {
        if (size == oneImage || size == twoImages) continue;
        const Bytes cut(data.begin(), data.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_THROW(ReadTextureImages(cut), ESkinTextureError) << size;
    }
    // A picture that claims another size than its pixels inflate to.
    Bytes wrongSize = WriteTextureImages({small});
    wrongSize[8 + 4 + 4 + 4 + 4 + 4] = 4;  // the width, after mark, version, count, tag, length, format
    EXPECT_THROW(ReadTextureImages(wrongSize), ESkinTextureError);
    Bytes trailing = data;
    trailing.push_back('N');
    EXPECT_THROW(ReadTextureImages(trailing), ESkinTextureError);
}

}  // namespace
}  // namespace uinst
