#pragma once
// The text form of XML documents: the forgiving reader and the writer.
#include <string>
#include <string_view>

#include "formats/xml.h"

namespace uinst {

// The reader's UTF-8 rule: one- to three-byte sequences become one UTF-16 unit each, four-byte
// sequences a surrogate pair; a sequence that lacks its continuation bytes empties the result.
String DecodeXMLUtf8(std::string_view bytes);
// Bytes of element text, attribute values and character data: decoded by the settings' mode, then
// DecodeText.
String DecodeXMLBytes(std::string_view bytes, const TORLXMLReadSettings& settings);

// Reads text XML into an empty document. Syntax never raises; on malformed input the reader stops
// and the document keeps what was read. Only the document's own rule (one top-level element) raises.
// A byte-order mark at the start (UTF-8, UTF-16 or UTF-32, either byte order) decides the encoding
// over the settings and any declaration.
class TORLTextXMLParser {
public:
    TORLTextXMLParser(std::string_view buffer, const TORLXMLReadSettings& settings, TORLXMLDocument& document)
        : FBuffer(buffer), FSettings(settings), FDocument(document) {}
    void Parse();

private:
    enum class TToken {
        ttEnd,
        ttQuoted,
        ttEmptyEnd,
        ttEndTagStart,
        ttComment,
        ttCData,
        ttTagStart,
        ttEquals,
        ttTagEnd,
        ttWord
    };
    enum class TTagEnd { teContent, teEmpty, teAbort };

    // The next token after blanks; FTokenStart/FTokenText describe it and FPosition is behind it.
    TToken Next();
    TTagEnd ReadTag(TORLXMLNode& node);
    void GivePendingText(TORLXMLNode& node);
    bool BlankAt(size_t i) const;
    // Turns a document that starts with a byte-order mark into UTF-8 without it, and fixes the
    // encoding to UTF-8.
    void TakeByteOrderMark();

    std::string_view FBuffer;
    TORLXMLReadSettings FSettings;
    TORLXMLDocument& FDocument;
    size_t FPosition = 0;
    size_t FTokenStart = 0;
    std::string_view FTokenText;
    bool FPreserve = false;
    bool FHasPending = false;
    size_t FPendingStart = 0;
    bool FNoCommentEnd = false;
    bool FNoCDataEnd = false;
    bool FEncodingFixed = false;
    std::string FConverted;  // the UTF-8 form of a UTF-16 or UTF-32 document
};

// Writes a document as UTF-8 text XML. Elements deeper than kMaxIndent levels are indented as
// that level.
class TORLTextXMLBuilder {
public:
    static constexpr int kMaxIndent = 32;

    TORLTextXMLBuilder(const TORLXMLNode& document, TStream& stream, const TORLXMLWriteSettings& settings)
        : FDocument(document), FStream(stream), FSettings(settings) {}
    void Build();

private:
    void Write(std::string_view bytes);
    void WriteTabs(int count);
    void WriteText(StringView text);
    void WriteAttribute(std::string_view name, StringView value, int level);

    const TORLXMLNode& FDocument;
    TStream& FStream;
    TORLXMLWriteSettings FSettings;
    std::string FBuffer;
};

// UTF-8 as the writer stores it: pairs as four bytes, a lone surrogate as the three bytes of its
// unit, which the reader turns back into the same unit.
std::string EncodeXMLUtf8(StringView text);

}  // namespace uinst
