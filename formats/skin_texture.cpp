#include "formats/skin_texture.h"

#include <cstring>
#include <zlib.h>

namespace uinst {

namespace {

[[noreturn]] void Damaged(const char* what) {
    throw ESkinTextureError(u"Damaged skin texture: " + Ascii(what));
}

class TCursor {
public:
    TCursor(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    size_t Left() const { return FSize - FPos; }
    const uint8_t* Take(size_t count) {
        if (count > Left()) Damaged("unexpected end");
        const uint8_t* at = FData + FPos;
        FPos += count;
        return at;
    }
    uint32_t UInt32() {
        const uint8_t* at = Take(4);
        return static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<uint32_t>(at[3]) << 24;
    }
    template <size_t N>
    bool Next(const char (&tag)[N]) {
        constexpr size_t length = N - 1;
        if (Left() < length || std::memcmp(FData + FPos, tag, length) != 0) return false;
        FPos += length;
        return true;
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

void ReadPixels(TCursor chunk, size_t chunkSize, TORLTextureImage& image) {
    if (chunkSize < 16) Damaged("pixel header too short");
    image.Format = chunk.UInt32();
    image.Width = chunk.UInt32();
    image.Height = chunk.UInt32();
    const uint32_t compressed = chunk.UInt32();
    if (image.Format > 3) Damaged("unknown pixel format");
    if (image.Width > kTextureMaxSide || image.Height > kTextureMaxSide) Damaged("picture too large");
    if (compressed > chunk.Left()) Damaged("pixel data beyond the chunk");
    const uint64_t expected = static_cast<uint64_t>(image.Width) * image.Height * 4;
    if (expected == 0) return;
    // Deflate shrinks at most about 1032:1: a larger claim is a damaged header, not a picture.
    if (expected > static_cast<uint64_t>(compressed) * 1032 + 1024) Damaged("pixel size does not match its data");

    image.Pixels.resize(static_cast<size_t>(expected / 4));
    std::vector<uint8_t> bytes(static_cast<size_t>(expected));
    z_stream z{};
    if (inflateInit(&z) != Z_OK) Damaged("zlib failed");
    z.next_in = const_cast<Bytef*>(chunk.Take(compressed));
    z.avail_in = compressed;
    z.next_out = bytes.data();
    z.avail_out = static_cast<uInt>(bytes.size());
    const int result = inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    if (result != Z_STREAM_END || produced != expected) Damaged("pixel data damaged");
    for (size_t i = 0; i < image.Pixels.size(); ++i)
        image.Pixels[i] = static_cast<uint32_t>(bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16) |
                          static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
}

TORLTextureImage ReadImage(TCursor& in) {
    if (!in.Next("ORLIMG32")) Damaged("image mark missing");
    TORLTextureImage image;
    if (in.UInt32() != 1) Damaged("unknown image version");
    const uint32_t chunks = in.UInt32();
    if (chunks > in.Left() / 8) Damaged("chunk count beyond the end");
    for (uint32_t i = 0; i < chunks; ++i) {
        const uint8_t* tag = in.Take(4);
        const uint32_t length = in.UInt32();
        const uint8_t* body = in.Take(length);
        const auto is = [tag](const char* name) { return std::memcmp(tag, name, 4) == 0; };
        if (is("bitz")) {
            ReadPixels(TCursor(body, length), length, image);
        } else if (is("draw")) {
            if (length != 5) Damaged("drawing options of a wrong size");
            image.Draw.assign(body, body + length);
        } else if (is("layt")) {
            if (length != 54) Damaged("layout of a wrong size");
            image.Layout.assign(body, body + length);
        } else if (is("ifam")) {
            image.FrameInfo.assign(body, body + length);
        } else if (is("XDPI")) {
            if (length < 2) Damaged("density too short");
            image.Dpi = static_cast<uint16_t>(body[0] | body[1] << 8);
        }
        // Other chunks belong to newer pictures and are skipped.
    }
    return image;
}

void PutUInt32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body) {
    out.insert(out.end(), tag, tag + 4);
    PutUInt32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<TORLTextureImage> ReadTextureImages(const uint8_t* data, size_t size) {
    std::vector<TORLTextureImage> images;
    TCursor in(data, size);
    if (size == 0) return images;
    images.push_back(ReadImage(in));
    while (in.Left() > 0) {
        if (!in.Next("NEXT")) Damaged("bytes after an image");
        images.push_back(ReadImage(in));
    }
    return images;
}

std::vector<uint8_t> WriteTextureImages(const std::vector<TORLTextureImage>& images) {
    std::vector<uint8_t> out;
    for (const TORLTextureImage& image : images) {
        if (&image != &images.front()) out.insert(out.end(), {'N', 'E', 'X', 'T'});
        if (static_cast<uint64_t>(image.Width) * image.Height != image.Pixels.size() || image.Width > kTextureMaxSide ||
            image.Height > kTextureMaxSide || image.Format > 3)
            throw ESkinTextureError(u"Texture picture with inconsistent size");
        std::vector<std::vector<uint8_t>> chunks;
        std::vector<const char*> tags;
        if (!image.Pixels.empty()) {
            std::vector<uint8_t> raw;
            for (uint32_t pixel : image.Pixels) PutUInt32(raw, pixel);
            uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
            std::vector<uint8_t> packed(packedSize);
            if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
                throw ESkinTextureError(u"Texture picture could not be compressed");
            std::vector<uint8_t> bitz;
            PutUInt32(bitz, image.Format);
            PutUInt32(bitz, image.Width);
            PutUInt32(bitz, image.Height);
            PutUInt32(bitz, static_cast<uint32_t>(packedSize));
            bitz.insert(bitz.end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(packedSize));
            chunks.push_back(std::move(bitz));
            tags.push_back("bitz");
        }
        if (!image.Draw.empty()) chunks.push_back(image.Draw), tags.push_back("draw");
        if (!image.Layout.empty()) chunks.push_back(image.Layout), tags.push_back("layt");
        if (!image.FrameInfo.empty()) chunks.push_back(image.FrameInfo), tags.push_back("ifam");
        chunks.push_back({static_cast<uint8_t>(image.Dpi), static_cast<uint8_t>(image.Dpi >> 8)});
        tags.push_back("XDPI");

        out.insert(out.end(), {'O', 'R', 'L', 'I', 'M', 'G', '3', '2'});
        PutUInt32(out, 1);
        PutUInt32(out, static_cast<uint32_t>(chunks.size()));
        for (size_t i = 0; i < chunks.size(); ++i) PutChunk(out, tags[i], chunks[i]);
    }
    return out;
}

}  // namespace uinst
