#pragma once
// Stream glue around liblzma's raw LZMA1 coder. A coded stream is 5 property bytes (lc/lp/pb byte,
// dictionary size little-endian) followed by the range-coded data; the encoder writes no end
// marker, the uncompressed size travels outside (in the package header). Block filters
// (TPreprocessor) rewrite the coder's input or output blocks in place, which is how the package
// cipher is hooked in without an extra copy.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/errors.h"

namespace uinst {

class TStream;

// Rewrites a block of bytes in place.
using TBlockFilter = std::function<void(uint8_t* data, size_t length)>;
// Shared so that a coding call holds a counted reference to the filter (and the state it
// captures) for as long as it runs.
using TPreprocessor = std::shared_ptr<TBlockFilter>;

// A filter that enciphers or deciphers (the same thing for RC4) with one RC4 state initialised
// with the key.
TPreprocessor MakeRC4Preprocessor(const void* key, size_t keyLength);

// Coder results.
enum TLZMAResult : int {
    lzOk = 0,
    lzDataError = 1,    // corrupt or truncated data
    lzMemError = 2,     // out of memory
    lzUnsupported = 4,  // unsupported properties
    lzParamError = 5,   // invalid encoder parameters
    lzWriteError = 9,   // the destination accepted fewer bytes than written
};

// "LZMA Error (%d)": the coder's invalid-operation error.
class ELZMAError : public Exception {
public:
    explicit ELZMAError(int code);
    int Code() const { return FCode; }

private:
    int FCode;
};

// Binds the coder to its streams and filters for one coding call.
struct TLZMAStreams {
    TPreprocessor DestPreprocessor;
    TStream* DestStream = nullptr;
    TPreprocessor SourcePreprocessor;
    TStream* SourceStream = nullptr;

    // Reading side: up to count bytes from the source, filtered; 0 at its end.
    size_t Read(uint8_t* buffer, size_t count);
    // Writing side: filters the block in place, writes it and returns what the stream accepted.
    size_t Write(uint8_t* buffer, size_t count);
};

// Compresses everything from the source's position to its end into the destination. Levels
// below 0 mean 5. Raises ELZMAError on any failure.
void LZMAEncode(TStream& source, TStream& dest, int level, TPreprocessor destFilter = nullptr);

// Decodes a coded stream from the source's position into the destination, exactly outSize bytes
// (-1: unknown, decode until the end marker). Returns lzOk when the stream ended cleanly, or
// lzDataError when the input was damaged or ended early (the destination may then be short);
// every other failure raises ELZMAError.
int LZMADecode(TStream& source, TStream& dest, TPreprocessor sourceFilter, int64_t outSize);

// The dictionary size that the encoder declares for a level.
uint32_t LZMADictionarySize(int level);

}  // namespace uinst
