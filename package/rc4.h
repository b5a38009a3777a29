#pragma once
// RC4, the stream cipher over package bodies. The state carries over from one call to the next,
// so a message may be processed in blocks of any size.
#include <cstddef>
#include <cstdint>

namespace uinst {

struct TRC4Context {
    uint8_t S[256];
    uint32_t I;
    uint32_t J;
};

class TRC4 {
public:
    // Key schedule; the key must have at least one byte.
    static void Initialize(TRC4Context& context, const void* key, size_t keyLength);
    // XORs length bytes of keystream onto input and stores them at output; the two may be the
    // same block.
    static void Crypt(TRC4Context& context, const void* input, size_t length, void* output);
};

}  // namespace uinst
