#include "package/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/stream.h"

namespace uinst {
namespace {

// The definition, one bit at a time.
uint32_t BitwiseCrc(const uint8_t* p, size_t size) {
    uint32_t crc = 0;
    for (size_t n = 0; n < size; ++n) {
        crc ^= uint32_t(p[n]) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

TEST(PackageCrc32, CheckValues) {
    EXPECT_EQ(TORLHashCRC32::Calculate("123456789", 9), 0x89A1897Fu);
    EXPECT_EQ(TORLHashCRC32::Calculate("", 0), 0u);
}

TEST(PackageCrc32, MatchesTheDefinitionForEveryLengthAndSplit) {
    std::mt19937 random(3);
    std::vector<uint8_t> data(300);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    for (size_t size = 0; size <= data.size(); ++size) {
        const uint32_t expected = BitwiseCrc(data.data(), size);
        ASSERT_EQ(TORLHashCRC32::Calculate(data.data(), size), expected) << size;
        const size_t split = random() % (size + 1);
        TORLHashCRC32 hash;
        hash.Add(data.data(), split);
        hash.Add(data.data() + split, size - split);
        ASSERT_EQ(hash.Value(), expected) << size << "/" << split;
    }
}

TEST(PackageCrc32, MemoryStreamFromItsPosition) {
    TMemoryStream stream("xx123456789", 11);
    stream.SetPosition(2);
    EXPECT_EQ(TORLHashCRC32::Calculate(stream), 0x89A1897Fu);
    EXPECT_EQ(stream.Position(), 2);
}

}  // namespace
}  // namespace uinst
