#pragma once
// The binary forms of XML documents: "SXML" (read and written) and the older "BXML" (read only).
// Both readers take the document body, which follows the four-byte magic.
//
// Damaged documents are rejected: a count that needs more bytes than the stream still holds raises
// EReadError, as reading past the end does; a name index outside the string table or a malformed
// variable-length integer raises EORLXMLDocument. Neither reads outside the stream.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/xml.h"

namespace uinst {

inline constexpr char kSXMLMagic[4] = {'S', 'X', 'M', 'L'};
inline constexpr char kBXMLMagic[4] = {'B', 'X', 'M', 'L'};

// The most bytes of element and attribute names that an SXML body of bodySize bytes may hold once
// read. Every record copies its name from the shared table, so one long name used by many short
// records could otherwise ask for hundreds of gigabytes; real documents stay far below 64 times
// their size. A body that needs more is refused as damaged.
uint64_t SXMLNameBytesLimit(uint64_t bodySize);

// An unsigned 32-bit value, 7 bits per byte, least significant group first.
void WriteXMLVarInt(std::string& out, uint32_t value);
uint32_t ReadXMLVarInt(TStream& stream);

class TORLBinaryXMLParser {
public:
    TORLBinaryXMLParser(TStream& stream, TORLXMLDocument& document) : FStream(stream), FDocument(document) {}
    void Parse();

private:
    TStream& FStream;
    TORLXMLDocument& FDocument;
};

class TORLLegacyBinaryXMLParser {
public:
    TORLLegacyBinaryXMLParser(TStream& stream, TORLXMLDocument& document) : FStream(stream), FDocument(document) {}
    void Parse();

private:
    TStream& FStream;
    TORLXMLDocument& FDocument;
};

class TORLBinaryXMLBuilder {
public:
    TORLBinaryXMLBuilder(const TORLXMLNode& document, TStream& stream) : FDocument(document), FStream(stream) {}
    // The magic, the tree length, the tree and the string table, at the stream's position.
    void Build();

private:
    const TORLXMLNode& FDocument;
    TStream& FStream;
};

}  // namespace uinst
