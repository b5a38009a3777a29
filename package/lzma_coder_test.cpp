#include "package/lzma_coder.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <random>
#include <vector>

#include "base/stream.h"

namespace uinst {
namespace {

// Half text-like, half random bytes, spanning several of the coder's 64 KiB blocks.
std::vector<uint8_t> SampleData(size_t size, unsigned seed = 1) {
    std::mt19937 random(seed);
    const char* words[] = {"player ", "skin ", "track ", "<item name=\"", "\">", "\r\n", "volume ", "ORVO "};
    std::vector<uint8_t> data;
    while (data.size() < size) {
        if (random() % 4 == 0) {
            for (int n = 0; n < 64; ++n) data.push_back(static_cast<uint8_t>(random()));
        } else {
            for (const char* c = words[random() % 8]; *c; ++c) data.push_back(static_cast<uint8_t>(*c));
        }
    }
    data.resize(size);
    return data;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& data, int level, TPreprocessor filter = nullptr) {
    TMemoryStream source(data.data(), data.size());
    TMemoryStream dest;
    LZMAEncode(source, dest, level, std::move(filter));
    return dest.TakeBytes();
}

int Decode(const std::vector<uint8_t>& coded, std::vector<uint8_t>& out, int64_t size, TPreprocessor filter = nullptr) {
    TMemoryStream source(coded.data(), coded.size());
    TMemoryStream dest;
    const int result = LZMADecode(source, dest, std::move(filter), size);
    out = dest.TakeBytes();
    return result;
}

// A raw LZMA1 stream with an end marker, as liblzma writes it, behind our property bytes.
std::vector<uint8_t> EncodeWithEndMarker(const std::vector<uint8_t>& data) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    options.lc = 3, options.lp = 0, options.pb = 2;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::vector<uint8_t> out(data.size() + data.size() / 2 + 1024);
    size_t used = 0;
    EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), out.data(), &used, out.size()),
              LZMA_OK);
    out.resize(used);
    const uint32_t dict = options.dict_size;
    std::vector<uint8_t> coded(5 + out.size());
    coded[0] = 0x5D;
    for (int k = 0; k < 4; ++k) coded[1 + k] = uint8_t(dict >> (8 * k));
    std::copy(out.begin(), out.end(), coded.begin() + 5);
    return coded;
}

// Accepts a fixed number of bytes, then refuses the rest.
class TFullStream : public TMemoryStream {
public:
    explicit TFullStream(size_t room) : FRoom(room) {}
    size_t Write(const void* buffer, size_t count) override {
        const size_t n = std::min(count, FRoom);
        FRoom -= n;
        return n == 0 ? 0 : TMemoryStream::Write(buffer, n);
    }

private:
    size_t FRoom;
};

TEST(LZMACoder, RoundTripAtEveryFastLevel) {
    const auto data = SampleData(300000);
    for (int level = 0; level <= 4; ++level) {
        const auto coded = Encode(data, level);
        const uint32_t dict = LZMADictionarySize(level);
        ASSERT_EQ(coded[0], 0x5D);
        EXPECT_EQ(uint32_t(coded[1] | coded[2] << 8 | coded[3] << 16 | coded[4] << 24), dict) << level;
        std::vector<uint8_t> out;
        EXPECT_EQ(Decode(coded, out, static_cast<int64_t>(data.size())), lzOk);
        EXPECT_EQ(out, data) << "level " << level;
    }
}

TEST(LZMACoder, LevelTable) {
    EXPECT_EQ(LZMADictionarySize(0), 16384u);
    EXPECT_EQ(LZMADictionarySize(4), 4194304u);
    EXPECT_EQ(LZMADictionarySize(5), 16u << 20);
    EXPECT_EQ(LZMADictionarySize(-1), 16u << 20);
    EXPECT_EQ(LZMADictionarySize(6), 32u << 20);
    EXPECT_EQ(LZMADictionarySize(9), 64u << 20);
}

TEST(LZMACoder, PropertiesAtLevelFourEvenForTinyInput) {
    const auto coded = Encode({'a'}, 4);
    EXPECT_EQ(std::vector<uint8_t>(coded.begin(), coded.begin() + 5), (std::vector<uint8_t>{0x5D, 0, 0, 0x40, 0}));
    std::vector<uint8_t> out;
    EXPECT_EQ(Decode(Encode({}, 4), out, 0), lzOk);
    EXPECT_TRUE(out.empty());
}

TEST(LZMACoder, FiltersApplyToEveryByteIncludingProperties) {
    const auto data = SampleData(200000, 5);
    const uint8_t key[4] = {9, 8, 7, 6};
    const auto plain = Encode(data, 2);
    auto ciphered = Encode(data, 2, MakeRC4Preprocessor(key, 4));
    ASSERT_EQ(ciphered.size(), plain.size());
    EXPECT_NE(ciphered[0], plain[0]);
    std::vector<uint8_t> out;
    EXPECT_EQ(Decode(ciphered, out, static_cast<int64_t>(data.size()), MakeRC4Preprocessor(key, 4)), lzOk);
    EXPECT_EQ(out, data);
}

TEST(LZMACoder, TruncatedInputReturnsShortOutput) {
    const auto data = SampleData(200000, 2);
    auto coded = Encode(data, 4);
    for (size_t keep : {size_t(3), size_t(5), size_t(6), coded.size() / 2, coded.size() - 1}) {
        std::vector<uint8_t> cut(coded.begin(), coded.begin() + keep), out;
        EXPECT_EQ(Decode(cut, out, static_cast<int64_t>(data.size())), lzDataError) << keep;
        EXPECT_LT(out.size(), data.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
    }
}

TEST(LZMACoder, InvalidPropertyByteRaisesCodeFour) {
    auto coded = Encode(SampleData(1000), 4);
    coded[0] = 225;
    std::vector<uint8_t> out;
    try {
        Decode(coded, out, 1000);
        FAIL() << "no error";
    } catch (const ELZMAError& e) {
        EXPECT_EQ(e.Code(), 4);
        EXPECT_EQ(e.Message(), u"LZMA Error (4)");
    }
    // lc 8 is a valid classic property byte, but liblzma's decoder takes lc + lp up to 4 only.
    coded[0] = 8;
    EXPECT_THROW(Decode(coded, out, 1000), ELZMAError);
}

TEST(LZMACoder, RefusedWriteRaisesCodeNine) {
    const auto data = SampleData(100000);
    for (size_t room : {size_t(2), size_t(5), size_t(70000)}) {
        TMemoryStream source(data.data(), data.size());
        TFullStream dest(room);
        try {
            LZMAEncode(source, dest, 4);
            FAIL() << "no error";
        } catch (const ELZMAError& e) {
            EXPECT_EQ(e.Code(), 9) << room;
        }
    }
}

TEST(LZMACoder, EndMarkerAfterTheExpectedSizeIsAccepted) {
    const auto data = SampleData(150000, 4);
    const auto coded = EncodeWithEndMarker(data);
    std::vector<uint8_t> out;
    EXPECT_EQ(Decode(coded, out, static_cast<int64_t>(data.size())), lzOk);
    EXPECT_EQ(out, data);
    // Unknown size: the end marker ends the stream.
    EXPECT_EQ(Decode(coded, out, -1), lzOk);
    EXPECT_EQ(out, data);
    // Unknown size without a marker: input runs out first.
    EXPECT_EQ(Decode(Encode(data, 4), out, -1), lzDataError);
    EXPECT_EQ(out, data);
}

TEST(LZMACoder, ExpectedSizeLimitsTheOutput) {
    // Exactly the expected bytes are written; the stream does not end there, which is reported.
    const auto data = SampleData(100000, 6);
    std::vector<uint8_t> out;
    EXPECT_EQ(Decode(Encode(data, 4), out, 777), lzDataError);
    EXPECT_EQ(out, std::vector<uint8_t>(data.begin(), data.begin() + 777));
}

TEST(LZMACoder, HugeDeclaredDictionaryForSmallOutput) {
    // The dictionary is capped by the expected size, so a damaged property field costs nothing.
    const auto data = SampleData(5000);
    auto coded = Encode(data, 4);
    coded[1] = coded[2] = coded[3] = coded[4] = 0xFF;
    std::vector<uint8_t> out;
    EXPECT_EQ(Decode(coded, out, 5000), lzOk);
    EXPECT_EQ(out, data);
    // Unknown or absurd sizes: the input's length bounds what the dictionary has to hold.
    auto marked = EncodeWithEndMarker(data);
    marked[1] = marked[2] = marked[3] = marked[4] = 0xFF;
    EXPECT_EQ(Decode(marked, out, -1), lzOk);
    EXPECT_EQ(out, data);
    EXPECT_EQ(Decode(marked, out, int64_t(1) << 40), lzDataError);
    EXPECT_EQ(out, data);
}

TEST(LZMACoder, FilterExceptionsPassThrough) {
    const auto coded = Encode(SampleData(1000), 4);
    auto failing = std::make_shared<TBlockFilter>([](uint8_t*, size_t) { throw EReadError(u"filter broke"); });
    std::vector<uint8_t> out;
    try {
        Decode(coded, out, 1000, failing);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), u"filter broke");
    }
}

}  // namespace
}  // namespace uinst
