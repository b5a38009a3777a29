// Reads arbitrary bytes as a skin stream, a skin and a texture picture. Whatever reads checks:
// the written form reads back to the same tree, every item's value resolves (reference chains
// and cycles included), and a skin saved and loaded again keeps its items and values.
#include <cstdint>
#include <cstdlib>

#include "formats/skin.h"
#include "formats/skin_texture.h"

using namespace uinst;

namespace {

void ResolveAll(const TORLCustomResourceCollection& skin) {
    for (int i = 0; i < skin.Count(); ++i) {
        const TORLResource* resource = skin.Items(i).Resource.get();
        if (auto* color = dynamic_cast<const TORLResourceColor*>(resource)) (void)color->Value();
        if (auto* font = dynamic_cast<const TORLResourceFont*>(resource)) (void)font->Values();
        if (auto* margins = dynamic_cast<const TORLResourceMargins*>(resource)) (void)margins->Value();
        if (auto* integer = dynamic_cast<const TORLResourceInteger*>(resource)) (void)integer->Value();
        if (auto* texture = dynamic_cast<const TORLResourceTexture*>(resource)) {
            try {
                (void)ReadTextureImages(texture->Data());
            } catch (const ESkinTextureError&) {
            }
        }
        if (resource->Master() && !resource->Accepts(*resource->Master())) abort();
    }
}

void CheckSkin(const TORLStreamObject& root) {
    TORLRootResourceCollectionImpl skin;
    try {
        skin.LoadFromObject(root);
    } catch (const ESkinError&) {
        if (skin.Count() != 0) abort();  // a failed load keeps what was there: nothing
        return;
    }
    ResolveAll(skin);

    std::vector<uint8_t> saved;
    try {
        saved = skin.SaveToBytes();
    } catch (const ESkinStreamError&) {
        return;  // names that the stream cannot hold (longer than 255 or outside Latin-1)
    }
    TORLRootResourceCollectionImpl again;
    again.LoadFromBytes(saved.data(), saved.size());
    if (again.Count() != skin.Count()) abort();
    for (int i = 0; i < skin.Count(); ++i) {
        const auto* a = dynamic_cast<const TORLResourceColor*>(skin.Items(i).Resource.get());
        const auto* b = dynamic_cast<const TORLResourceColor*>(again.Items(i).Resource.get());
        if (skin.Items(i).ID != again.Items(i).ID || (a && (!b || a->Value() != b->Value()))) abort();
    }
    if (again.SaveToBytes() != saved) abort();

    skin.ApplyWindows11Variants();
    ResolveAll(skin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)ReadTextureImages(data, size);
    } catch (const ESkinTextureError&) {
    }

    TORLStreamObject root;
    try {
        root = ReadSkinStream(data, size);
    } catch (const ESkinStreamError&) {
        return 0;
    }
    // Everything the reader accepts, the writer can write, and it reads back the same.
    const std::vector<uint8_t> written = WriteSkinStream(root);
    if (!(ReadSkinStream(written.data(), written.size()) == root)) abort();
    CheckSkin(root);
    return 0;
}
