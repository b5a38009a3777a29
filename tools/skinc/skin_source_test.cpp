#include "tools/skinc/skin_source.h"

#include <gtest/gtest.h>

#include "base/stream.h"
#include "formats/skin_texture.h"

namespace uinst {
namespace {

// Compiles a source of the checkout and reads the stream back, as the setup program does.
void CompileAndReload(std::string_view name, TORLCustomResourceCollection& skin) {
    TMemoryStream source;
    source.LoadFromFile(Utf8ToString(std::string(UINST_SKIN_SOURCES) + "/" + std::string(name)));
    TORLRootResourceCollectionImpl compiled;
    CompileSkinSource(std::string_view(reinterpret_cast<const char*>(source.Memory()), source.Bytes().size()),
                      compiled);
    const std::vector<uint8_t> stream = compiled.SaveToBytes();
    skin.LoadFromBytes(stream.data(), stream.size());
}

TAlphaColor ColorOf(const TORLCustomResourceCollection& skin, StringView id) {
    const TORLResourceColor* color = skin.GetResource<TORLResourceColor>(id);
    EXPECT_TRUE(color && color->HasValue()) << StringToUtf8(id);
    return color ? color->Value() : 0;
}

TEST(SkinSources, LightAndDarkCompileAndReadBack) {
    TORLRootResourceCollectionImpl light, dark;
    CompileAndReload("light.txt", light);
    CompileAndReload("dark.txt", dark);

    // Two steps of reference: Hint.Colors.Text -> Labels.Colors.Text -> Common.Colors.Text.
    EXPECT_EQ(ColorOf(light, u"Hint.Colors.Text"), 0xFF000000u);
    EXPECT_EQ(ColorOf(dark, u"Hint.Colors.Text"), 0xFFFFFFFFu);
    EXPECT_EQ(ColorOf(light, u"Labels.Colors.Text"), 0xFF000000u);
    EXPECT_EQ(ColorOf(dark, u"Labels.Colors.Text"), 0xFFFFFFFFu);
    EXPECT_EQ(ColorOf(light, u"Labels.Colors.Line2"), 0xFFFFFFFFu);
    EXPECT_EQ(ColorOf(dark, u"Labels.Colors.Line2"), 0xFF000000u);
    EXPECT_EQ(ColorOf(light, u"EditBox.Colors.ContentDisabled"), 0xFFF0F0F0u);
    EXPECT_EQ(ColorOf(dark, u"EditBox.Colors.ContentDisabled"), 0xFF363636u);
    EXPECT_EQ(ColorOf(dark, u"Common.Colors.Background1"), 0xFF2A2A2Au);
    EXPECT_EQ(ColorOf(dark, u"Labels.Colors.TextShadow"), 0xFF646464u);
    EXPECT_EQ(ColorOf(light, u"Labels.Colors.TextHyperlink"), 0xFFD96300u);
    EXPECT_NE(dark.GetResource<TORLResourceColor>(u"Common.Colors.Hatch1"), nullptr);
    EXPECT_EQ(light.GetResource<TORLResourceColor>(u"Common.Colors.Hatch1"), nullptr);

    EXPECT_EQ(light.GetResource<TORLResourceFont>(u"Common.Fonts.Default")->Values().Height, -11);
    EXPECT_EQ(light.GetResource<TORLResourceFont>(u"Common.Fonts.Default")->Values().Color, 0xFF000000u);
    EXPECT_EQ(dark.GetResource<TORLResourceFont>(u"Common.Fonts.Default")->Values().Color, 0xFFFFFFFFu);

    // Every texture the controls name holds a picture for 96 dots per inch at least.
    for (const TORLCustomResourceCollection* skin : {&light, &dark}) {
        for (StringView id :
             {u"Labels.Textures.Icons", u"Buttons.Textures.Button", u"Buttons.Textures.Button.W11",
              u"Buttons.Textures.CheckBox", u"Buttons.Textures.RadioBox", u"EditBox.Textures.Button",
              u"ProgressBar.Texture", u"ScrollBox.Textures.Horz.Background", u"ScrollBox.Textures.Vert.Background",
              u"ScrollBox.Textures.SizeGrip", u"ScrollBox.Textures.Horz.Buttons", u"ScrollBox.Textures.Vert.Buttons",
              u"ScrollBox.Textures.Horz.Thumb", u"ScrollBox.Textures.Vert.Thumb"}) {
            const TORLResourceTexture* texture = skin->GetResource<TORLResourceTexture>(id);
            ASSERT_NE(texture, nullptr) << StringToUtf8(id);
            const std::vector<TORLTextureImage> images = ReadTextureImages(texture->Data());
            ASSERT_FALSE(images.empty());
            EXPECT_EQ(images[0].Dpi, 96);
            EXPECT_FALSE(images[0].Pixels.empty());
        }
    }

    // The doubled item resolves to the second; Windows 11 swaps in the ".W11" textures.
    std::vector<const TORLResourceCollectionItem*> borders;
    for (int i = 0; i < light.Count(); ++i)
        if (light.Items(i).ID == u"Popup.Margins.Borders") borders.push_back(&light.Items(i));
    ASSERT_EQ(borders.size(), 2u);
    EXPECT_EQ(light.Find(u"Popup.Margins.Borders"), borders[1]);
    const std::vector<uint8_t> plainButton = light.GetResource<TORLResourceTexture>(u"Buttons.Textures.Button")->Data();
    light.ApplyWindows11Variants();
    EXPECT_EQ(light.GetResource<TORLResourceTexture>(u"Buttons.Textures.Button")->Data(),
              light.GetResource<TORLResourceTexture>(u"Buttons.Textures.Button.W11")->Data());
    EXPECT_NE(light.GetResource<TORLResourceTexture>(u"Buttons.Textures.Button")->Data(), plainButton);
    EXPECT_EQ(light.GetResource<TORLResourceMargins>(u"Popup.Margins.CornerRadius")->Value().Left, 8);
}

TEST(SkinSources, MistakesNameTheirLine) {
    const auto compile = [](std::string_view source) {
        TORLRootResourceCollectionImpl skin;
        CompileSkinSource(source, skin);
        return skin.Count();
    };
    EXPECT_EQ(
        compile("# only a comment\n\n  color A claRed # red\nfont B -> A name=\"Segoe UI\" style=fsBold,fsItalic"), 2);
    for (std::string_view bad :
         {"colour A claRed", "color", "color A red", "color A claRed opacity=300", "font A style=fsHeavy",
          "margins A all=x", "texture A picture=96:0x4:claRed:claRed", "texture A picture=96:4:claRed:claRed",
          "integer A 1 name=x", "font A name=\"x", "color A ->"}) {
        try {
            compile(std::string("color Fine claRed\n") + std::string(bad));
            ADD_FAILURE() << bad;
        } catch (const ESkinSourceError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("line 2: ", 0), 0u) << error.what();
        }
    }
}

}  // namespace
}  // namespace uinst
