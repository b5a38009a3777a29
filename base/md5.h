#pragma once
// MD5 digests, used to tell whether a file on disk already has the content about to be written.
#include <array>
#include <cstddef>
#include <cstdint>

namespace uinst {

class TMD5 {
public:
    using TDigest = std::array<uint8_t, 16>;
    TMD5();
    void Update(const void* data, size_t size);
    TDigest Final();

private:
    void Block(const uint8_t* block);
    uint32_t FState[4];
    uint64_t FLength = 0;
    uint8_t FBuffer[64];
    size_t FBuffered = 0;
};

}  // namespace uinst
