#include "package/crc32.h"

#include <array>

#include "base/stream.h"

namespace uinst {

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7;

// Table k maps a byte that stands k further bytes ahead of the end of an 8-byte group; table 0 is
// the classic byte table (T[1] = polynomial).
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr TCrcTables MakeTables() {
    TCrcTables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b << 24;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ kPolynomial : c << 1;
        t[0][b] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 24];
    return t;
}

constexpr TCrcTables kTables = MakeTables();

inline uint32_t LoadBigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

}  // namespace

uint32_t TORLHashCRC32::Update(uint32_t crc, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    const auto& t = kTables;
    // Eight bytes per step (slicing by 8): the eight table lookups are independent of each other.
    while (size >= 8) {
        const uint32_t one = crc ^ LoadBigEndian32(p);
        const uint32_t two = LoadBigEndian32(p + 4);
        crc = t[7][one >> 24] ^ t[6][(one >> 16) & 0xFF] ^ t[5][(one >> 8) & 0xFF] ^ t[4][one & 0xFF] ^
              t[3][two >> 24] ^ t[2][(two >> 16) & 0xFF] ^ t[1][(two >> 8) & 0xFF] ^ t[0][two & 0xFF];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = t[0][(crc >> 24) ^ *p++] ^ (crc << 8);
    return crc;
}

uint32_t TORLHashCRC32::Calculate(TMemoryStream& stream) {
    const size_t size = stream.Bytes().size();
    const auto position = static_cast<size_t>(stream.Position());
    if (position >= size) return 0;
    return Update(0, stream.Memory() + position, size - position);
}

}  // namespace uinst
