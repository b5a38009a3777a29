#include "package/rc4.h"

#include <bit>
#include <cstring>

#include "base/errors.h"

namespace uinst {

void TRC4::Initialize(TRC4Context& context, const void* key, size_t keyLength) {
    if (keyLength == 0) throw Exception(u"RC4 key is empty");
    const auto* k = static_cast<const uint8_t*>(key);
    for (unsigned n = 0; n < 256; ++n) context.S[n] = static_cast<uint8_t>(n);
    unsigned j = 0;
    for (unsigned n = 0; n < 256; ++n) {
        j = (j + context.S[n] + k[n % keyLength]) & 0xFF;
        const uint8_t t = context.S[n];
        context.S[n] = context.S[j];
        context.S[j] = t;
    }
    context.I = 0;
    context.J = 0;
}

void TRC4::Crypt(TRC4Context& context, const void* input, size_t length, void* output) {
    // Opening a package deciphers the whole body, so this loop is on the start-up path: the
    // permutation is widened to 32-bit cells for the run (no byte merges on the critical path)
    // and the keystream is applied eight bytes at a time.
    uint32_t S[256];
    for (unsigned n = 0; n < 256; ++n) S[n] = context.S[n];
    uint32_t i = context.I & 0xFF;
    uint32_t j = context.J & 0xFF;
    const auto* in = static_cast<const uint8_t*>(input);
    auto* out = static_cast<uint8_t*>(output);

    auto next = [&]() -> uint64_t {
        i = (i + 1) & 0xFF;
        const uint32_t si = S[i];
        j = (j + si) & 0xFF;
        const uint32_t sj = S[j];
        S[i] = sj;
        S[j] = si;
        return S[(si + sj) & 0xFF];
    };

    while (length >= 8) {
        uint64_t stream = next();
        stream |= next() << 8;
        stream |= next() << 16;
        stream |= next() << 24;
        stream |= next() << 32;
        stream |= next() << 40;
        stream |= next() << 48;
        stream |= next() << 56;
        uint64_t block;
        std::memcpy(&block, in, 8);
        // Keystream byte k belongs to the k-th byte in memory order.
        if constexpr (std::endian::native == std::endian::big) stream = __builtin_bswap64(stream);
        block ^= stream;
        std::memcpy(out, &block, 8);
        in += 8;
        out += 8;
        length -= 8;
    }
    while (length > 0) {
        *out++ = static_cast<uint8_t>(*in++ ^ next());
        --length;
    }

    for (unsigned n = 0; n < 256; ++n) context.S[n] = static_cast<uint8_t>(S[n]);
    context.I = i;
    context.J = j;
}

}  // namespace uinst
