#pragma once
// The package checksum: CRC-32 with polynomial 0x04C11DB7, bits taken most significant first,
// initial value 0 and no final XOR (not the common reflected CRC-32). "123456789" gives
// 0x89A1897F.
#include <cstddef>
#include <cstdint>

namespace uinst {

class TMemoryStream;

class TORLHashCRC32 {
public:
    // Continues a checksum over more bytes.
    static uint32_t Update(uint32_t crc, const void* data, size_t size);
    static uint32_t Calculate(const void* data, size_t size) { return Update(0, data, size); }
    // Reads the stream's memory directly from its current position to its end; the position is
    // left where it was.
    static uint32_t Calculate(TMemoryStream& stream);

    void Add(const void* data, size_t size) { FValue = Update(FValue, data, size); }
    uint32_t Value() const { return FValue; }

private:
    uint32_t FValue = 0;
};

}  // namespace uinst
