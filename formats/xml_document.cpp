#include <cstring>
#include <vector>

#include "formats/xml.h"
#include "formats/xml_binary.h"
#include "formats/xml_text.h"

namespace uinst {

TORLXMLDocument::TORLXMLDocument(TStream& stream) : TORLXMLDocument() {
    TORLXMLReadSettings settings;
    settings.Mode = TORLXMLReadSettings::kModeAnsi;
    settings.CodePage = 0;
    LoadFromStream(stream, settings);
}

void TORLXMLDocument::LoadFromStream(TStream& stream, const TORLXMLReadSettings& settings) {
    Clear();
    const int64_t remaining = stream.Size() - stream.Position();
    if (remaining < 5) return;
    char magic[4];
    stream.ReadBuffer(magic, 4);
    if (std::memcmp(magic, kSXMLMagic, 4) == 0) {
        TORLBinaryXMLParser(stream, *this).Parse();
        return;
    }
    if (std::memcmp(magic, kBXMLMagic, 4) == 0) {
        TORLLegacyBinaryXMLParser(stream, *this).Parse();
        return;
    }
    stream.Seek(-4, TSeekOrigin::soCurrent);
    std::vector<char> buffer(static_cast<size_t>(remaining));
    stream.ReadBuffer(buffer.data(), buffer.size());
    TORLTextXMLParser(std::string_view(buffer.data(), buffer.size()), settings, *this).Parse();
}

void TORLXMLDocument::LoadFromString(std::string_view text) {
    TReadOnlyMemoryStream stream(text.data(), text.size());
    TORLXMLReadSettings settings;
    settings.Mode = TORLXMLReadSettings::kModeUtf8;
    LoadFromStream(stream, settings);
}

void TORLXMLDocument::SaveToStream(TStream& stream, const TORLXMLWriteSettings& settings) const {
    switch (settings.Format) {
        case TORLXMLWriteSettings::kFormatBinary:
            TORLBinaryXMLBuilder(*this, stream).Build();
            break;
        case TORLXMLWriteSettings::kFormatText:
            TORLTextXMLBuilder(*this, stream, settings).Build();
            break;
        default:
            throw EORLXMLDocument(u"Unknown XML document format");
    }
}

}  // namespace uinst
