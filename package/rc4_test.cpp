#include "package/rc4.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/errors.h"

namespace uinst {
namespace {

std::vector<uint8_t> Crypt(const std::string& key, const std::string& text) {
    TRC4Context context;
    TRC4::Initialize(context, key.data(), key.size());
    std::vector<uint8_t> out(text.size());
    TRC4::Crypt(context, text.data(), text.size(), out.data());
    return out;
}

TEST(RC4, PublishedVectors) {
    EXPECT_EQ(Crypt("Key", "Plaintext"), (std::vector<uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));
    EXPECT_EQ(Crypt("Wiki", "pedia"), (std::vector<uint8_t>{0x10, 0x21, 0xBF, 0x04, 0x20}));
    EXPECT_EQ(Crypt("Secret", "Attack at dawn"), (std::vector<uint8_t>{0x45, 0xA0, 0x1F, 0x64, 0x5F, 0xC3, 0x5B, 0x38,
                                                                       0x35, 0x52, 0x54, 0x4B, 0x9B, 0xF5}));
}

TEST(RC4, BlocksOfAnySizeGiveTheSameBytesAsOnePiece) {
    std::mt19937 random(7);
    std::vector<uint8_t> message(5000);
    for (auto& b : message) b = static_cast<uint8_t>(random());
    const uint8_t key[4] = {1, 2, 3, 4};

    TRC4Context whole;
    TRC4::Initialize(whole, key, 4);
    std::vector<uint8_t> expected(message.size());
    TRC4::Crypt(whole, message.data(), message.size(), expected.data());

    for (int round = 0; round < 20; ++round) {
        TRC4Context context;
        TRC4::Initialize(context, key, 4);
        std::vector<uint8_t> block = message;  // in place, as the coder's filters use it
        size_t at = 0;
        while (at < block.size()) {
            const size_t n = std::min<size_t>(block.size() - at, random() % 23);
            TRC4::Crypt(context, block.data() + at, n, block.data() + at);
            at += n;
        }
        ASSERT_EQ(block, expected) << "round " << round;
    }
    // Deciphering with a fresh state restores the message.
    TRC4Context again;
    TRC4::Initialize(again, key, 4);
    TRC4::Crypt(again, expected.data(), expected.size(), expected.data());
    EXPECT_EQ(expected, message);
}

TEST(RC4, EmptyKeyIsRefused) {
    TRC4Context context;
    EXPECT_THROW(TRC4::Initialize(context, "", 0), Exception);
}

}  // namespace
}  // namespace uinst
