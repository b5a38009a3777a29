#include "package/lzma_coder.h"

#include <lzma.h>

#include <algorithm>
#include <vector>

#include "base/format.h"
#include "base/stream.h"
#include "package/rc4.h"

namespace uinst {

namespace {

constexpr size_t kBlockSize = 65536;
constexpr uint32_t kMinDictionary = 4096;
constexpr int kPropertiesSize = 5;
// No LZMA1 stream expands beyond about 7,100 bytes per input byte: the cheapest symbol, a repeat
// of 273 bytes, takes 14 binary decisions, and an adaptive probability never gets closer to
// certainty than 2017/2048 (0.022 bits per decision). The bound used keeps a wide margin.
constexpr uint64_t kMaxExpansion = 65536;
constexpr uint32_t kLc = 3, kLp = 0, kPb = 2;

// Ends the liblzma stream on every way out, exceptions of streams and filters included.
struct TLzmaStreamGuard {
    lzma_stream Stream = LZMA_STREAM_INIT;
    ~TLzmaStreamGuard() { lzma_end(&Stream); }
};

int MapSetupResult(lzma_ret ret, int optionsCode) {
    switch (ret) {
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR:
            return lzMemError;
        case LZMA_OPTIONS_ERROR:
        case LZMA_PROG_ERROR:
            return optionsCode;
        default:
            return lzDataError;
    }
}

void LevelOptions(int level, lzma_options_lzma& options) {
    if (level < 0) level = 5;
    options = lzma_options_lzma{};
    options.lc = kLc;
    options.lp = kLp;
    options.pb = kPb;
    options.dict_size = LZMADictionarySize(level);
    if (level <= 4) {
        options.mode = LZMA_MODE_FAST;
        options.nice_len = 32;
        options.mf = LZMA_MF_HC4;
        options.depth = 16;
    } else {
        options.mode = LZMA_MODE_NORMAL;
        options.nice_len = level >= 7 ? 64 : 32;
        options.mf = LZMA_MF_BT4;
        options.depth = level >= 7 ? 48 : 32;
    }
}

// The dictionary size as the property bytes declare it: rounded up to 2 * 2^i or 3 * 2^i.
uint32_t DeclaredDictionary(uint32_t size) {
    for (int i = 11; i <= 30; ++i) {
        if (size <= (2u << i)) return 2u << i;
        if (size <= (3u << i)) return 3u << i;
    }
    return size;
}

}  // namespace

ELZMAError::ELZMAError(int code) : Exception(Format(u"LZMA Error (%d)", {code})), FCode(code) {}

TPreprocessor MakeRC4Preprocessor(const void* key, size_t keyLength) {
    auto context = std::make_shared<TRC4Context>();
    TRC4::Initialize(*context, key, keyLength);
    return std::make_shared<TBlockFilter>(
        [context](uint8_t* data, size_t length) { TRC4::Crypt(*context, data, length, data); });
}

size_t TLZMAStreams::Read(uint8_t* buffer, size_t count) {
    const size_t n = SourceStream->Read(buffer, count);
    if (n > 0 && SourcePreprocessor) (*SourcePreprocessor)(buffer, n);
    return n;
}

size_t TLZMAStreams::Write(uint8_t* buffer, size_t count) {
    if (DestPreprocessor) (*DestPreprocessor)(buffer, count);
    return DestStream->Write(buffer, count);
}

uint32_t LZMADictionarySize(int level) {
    if (level < 0) level = 5;
    if (level <= 4) return 1u << (2 * level + 14);
    if (level == 5) return 1u << 24;
    if (level == 6) return 1u << 25;
    return 1u << 26;
}

void LZMAEncode(TStream& source, TStream& dest, int level, TPreprocessor destFilter) {
    TLZMAStreams streams;
    streams.DestPreprocessor = std::move(destFilter);
    streams.DestStream = &dest;
    streams.SourceStream = &source;

    lzma_options_lzma options;
    LevelOptions(level, options);
    options.ext_flags = 0;  // no end marker
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    TLzmaStreamGuard guard;
    lzma_stream& strm = guard.Stream;
    if (lzma_ret ret = lzma_raw_encoder(&strm, filters); ret != LZMA_OK)
        throw ELZMAError(MapSetupResult(ret, lzParamError));

    std::vector<uint8_t> input(kBlockSize), output(kBlockSize);
    output[0] = static_cast<uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc);
    const uint32_t dictionary = DeclaredDictionary(options.dict_size);
    for (int k = 0; k < 4; ++k) output[1 + k] = static_cast<uint8_t>(dictionary >> (8 * k));
    if (streams.Write(output.data(), kPropertiesSize) < kPropertiesSize) throw ELZMAError(lzWriteError);

    lzma_action action = LZMA_RUN;
    strm.next_out = output.data();
    strm.avail_out = output.size();
    for (;;) {
        if (strm.avail_in == 0 && action == LZMA_RUN) {
            const size_t n = streams.Read(input.data(), input.size());
            if (n == 0) action = LZMA_FINISH;
            strm.next_in = input.data();
            strm.avail_in = n;
        }
        const lzma_ret ret = lzma_code(&strm, action);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) throw ELZMAError(MapSetupResult(ret, lzParamError));
        if (strm.avail_out == 0 || ret == LZMA_STREAM_END) {
            const size_t size = output.size() - strm.avail_out;
            if (size > 0 && streams.Write(output.data(), size) < size) throw ELZMAError(lzWriteError);
            strm.next_out = output.data();
            strm.avail_out = output.size();
        }
        if (ret == LZMA_STREAM_END) return;
    }
}

int LZMADecode(TStream& source, TStream& dest, TPreprocessor sourceFilter, int64_t outSize) {
    TLZMAStreams streams;
    streams.DestStream = &dest;
    streams.SourcePreprocessor = std::move(sourceFilter);
    streams.SourceStream = &source;

    // The property bytes come through the reading side, deciphered like the rest.
    uint8_t properties[kPropertiesSize];
    size_t got = 0;
    while (got < kPropertiesSize) {
        const size_t n = streams.Read(properties + got, kPropertiesSize - got);
        if (n == 0) return lzDataError;
        got += n;
    }
    uint32_t d = properties[0];
    if (d >= 9 * 5 * 5) throw ELZMAError(lzUnsupported);
    lzma_options_lzma options{};
    options.lc = d % 9;
    d /= 9;
    options.lp = d % 5;
    options.pb = d / 5;
    uint32_t dictionary = uint32_t(properties[1]) | uint32_t(properties[2]) << 8 | uint32_t(properties[3]) << 16 |
                          uint32_t(properties[4]) << 24;
    const bool known = outSize >= 0;
    // Nothing can reach back further than what has been produced, so a dictionary larger than the
    // output is never used. The output is bounded by the expected size and by what the input can
    // expand to: cap the dictionary at both, so that damaged property or size fields cannot make
    // a small package allocate gigabytes.
    uint64_t reach = known ? static_cast<uint64_t>(outSize) : UINT64_MAX;
    const int64_t available = source.Size() - source.Position();
    if (available >= 0) reach = std::min(reach, (static_cast<uint64_t>(available) + 1) * kMaxExpansion);
    if (reach < dictionary) dictionary = static_cast<uint32_t>(reach);
    options.dict_size = std::max(dictionary, kMinDictionary);
    // A known size accepts an end marker right after it; an unknown size requires one.
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(options, known ? static_cast<uint64_t>(outSize) : UINT64_MAX);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    TLzmaStreamGuard guard;
    lzma_stream& strm = guard.Stream;
    if (lzma_ret ret = lzma_raw_decoder(&strm, filters); ret != LZMA_OK)
        throw ELZMAError(MapSetupResult(ret, lzUnsupported));

    std::vector<uint8_t> input(kBlockSize), output(kBlockSize);
    uint64_t produced = 0;
    bool sourceEnded = false;
    // The loop ends only when the coder reports the end of the stream: with a known size that
    // means the size was reached and the range coder finished cleanly (or an end marker
    // followed), so damage in the last bytes of a stream is not mistaken for success.
    for (;;) {
        if (strm.avail_in == 0 && !sourceEnded) {
            const size_t n = streams.Read(input.data(), input.size());
            sourceEnded = n == 0;
            strm.next_in = input.data();
            strm.avail_in = n;
        }
        const size_t room =
            known ? static_cast<size_t>(std::min<uint64_t>(kBlockSize, outSize - produced)) : kBlockSize;
        const size_t before = strm.avail_in;
        strm.next_out = output.data();
        strm.avail_out = room;
        const lzma_ret ret = lzma_code(&strm, LZMA_RUN);
        const size_t made = room - strm.avail_out;
        if (made > 0) {
            if (streams.Write(output.data(), made) < made) throw ELZMAError(lzWriteError);
            produced += made;
        }
        switch (ret) {
            case LZMA_OK:
                break;
            case LZMA_STREAM_END:
                return !known || produced == static_cast<uint64_t>(outSize) ? lzOk : lzDataError;
            case LZMA_MEM_ERROR:
            case LZMA_MEMLIMIT_ERROR:
                throw ELZMAError(lzMemError);
            case LZMA_OPTIONS_ERROR:
                throw ELZMAError(lzUnsupported);
            default:  // damaged data, or no progress possible
                return lzDataError;
        }
        // Input used up and nothing more could be produced: truncated.
        if (sourceEnded && made == 0 && strm.avail_in == before) return lzDataError;
    }
}

}  // namespace uinst
