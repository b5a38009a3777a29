#pragma once
// The pictures of a skin texture: one image per display density, separated by "NEXT". Each image
// is "ORLIMG32", a version (1), a chunk count and tagged chunks; "bitz" holds the pixels as a zlib
// stream, "XDPI" the density. Every length is checked; pixels are inflated only up to the size
// the image declares.
#include <cstdint>
#include <vector>

#include "base/errors.h"

namespace uinst {

class ESkinTextureError : public Exception {
public:
    using Exception::Exception;
};

struct TORLTextureImage {
    uint32_t Format = 0;  // the "bitz" format code, 0 to 3
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint32_t> Pixels;  // Width x Height, row by row; empty for an empty picture
    uint16_t Dpi = 96;
    std::vector<uint8_t> Draw;       // "draw": drawing options
    std::vector<uint8_t> Layout;     // "layt": frame count and stretch margins
    std::vector<uint8_t> FrameInfo;  // "ifam"
};

// Larger pictures are refused: the skins' textures are small.
inline constexpr uint32_t kTextureMaxSide = 8192;

std::vector<TORLTextureImage> ReadTextureImages(const uint8_t* data, size_t size);
inline std::vector<TORLTextureImage> ReadTextureImages(const std::vector<uint8_t>& data) {
    return ReadTextureImages(data.data(), data.size());
}
std::vector<uint8_t> WriteTextureImages(const std::vector<TORLTextureImage>& images);

}  // namespace uinst
