#include "base/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace uinst {
namespace {

std::string Hex(const TMD5::TDigest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : d) out += {digits[b >> 4], digits[b & 15]};
    return out;
}

std::string Digest(const std::string& text, size_t chunk) {
    TMD5 md5;
    for (size_t i = 0; i < text.size(); i += chunk) md5.Update(text.data() + i, std::min(chunk, text.size() - i));
    return Hex(md5.Final());
}

TEST(MD5, KnownDigestsWhateverTheChunking) {
    EXPECT_EQ(Digest("", 1), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest("abc", 1), "900150983cd24fb0d6963f7d28e17f72");
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    for (size_t chunk : {1u, 7u, 64u, 1000u}) EXPECT_EQ(Digest(fox, chunk), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(Digest(std::string(1000000, 'a'), 4096), "7707d6ae4e027c70eea2a935c2296f21");
}

}  // namespace
}  // namespace uinst
