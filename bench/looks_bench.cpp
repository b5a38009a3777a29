// Reading label markup and skins: captions of typical and large size, and the skins the program
// loads at start and on every change of the colour scheme.
#include <benchmark/benchmark.h>

#include "formats/label_markup.h"
#include "formats/skin.h"
#include "formats/skin_texture.h"

using namespace uinst;

namespace {

String Caption(size_t repeats) {
    String caption;
    for (size_t i = 0; i < repeats; ++i)
        caption +=
            u"[B]ORVO Visualizer[/B] adds [COLOR=#AC671C]spectrum[/COLOR] views; see www.example.org "
            u"or [URL=https://example.org/addons]the catalogue[/URL].\\n";
    return caption;
}

void BM_MarkupCaption(benchmark::State& state) {
    const String caption = Caption(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TORLMarkupLayout layout(caption);
        benchmark::DoNotOptimize(layout.Tokens().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(caption.size() * 2));
}
BENCHMARK(BM_MarkupCaption)->Arg(1)->Arg(10000);

// A skin of the size of the program's own: 150 items, two thirds of the colours references.
std::vector<uint8_t> Skin() {
    TORLRootResourceCollectionImpl skin;
    for (int i = 0; i < 100; ++i) {
        auto& color = static_cast<TORLResourceColor&>(
            *skin.Add(u"Colors." + Ascii(std::to_string(i)), TORLResourceColor::kClassName).Resource);
        if (i % 3 == 0)
            color.FValue = 0xFF000000u | static_cast<uint32_t>(i);
        else
            color.ID = u"Colors." + Ascii(std::to_string(i - i % 3));
    }
    TORLTextureImage image;
    image.Width = 16;
    image.Height = 80;
    image.Pixels.assign(16 * 80, 0xFFE1E1E1);
    for (int i = 0; i < 30; ++i) {
        auto& texture = static_cast<TORLResourceTexture&>(
            *skin.Add(u"Textures." + Ascii(std::to_string(i)), TORLResourceTexture::kClassName).Resource);
        texture.FData = WriteTextureImages({image, image});
    }
    return skin.SaveToBytes();
}

void BM_SkinLoad(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Skin();
    for (auto _ : state) {
        TORLRootResourceCollectionImpl skin;
        skin.LoadFromBytes(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(skin.GetResource<TORLResourceColor>(u"Colors.98")->Value());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SkinLoad);

void BM_TexturePictures(benchmark::State& state) {
    TORLTextureImage image;
    image.Width = 16;
    image.Height = 80;
    image.Pixels.assign(16 * 80, 0xFFE1E1E1);
    const std::vector<uint8_t> data = WriteTextureImages({image, image, image, image});
    for (auto _ : state) benchmark::DoNotOptimize(ReadTextureImages(data).size());
}
BENCHMARK(BM_TexturePictures);

}  // namespace

BENCHMARK_MAIN();
