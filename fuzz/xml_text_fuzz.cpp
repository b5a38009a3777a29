// Reads arbitrary bytes as text XML in one of the three decoding modes (picked by the first byte),
// then checks that the tree survives the binary form exactly and, where the text form can hold it,
// the text writer and reader too.
#include <cstddef>
#include <cstdint>

#include "fuzz/xml_fuzz_checks.h"

using namespace uinst;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    TORLXMLReadSettings settings;
    settings.Mode = static_cast<uint8_t>(data[0] % 3);
    settings.CodePage = (data[0] & 0x80) ? 932 : 1251;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    TORLXMLDocument document;
    try {
        TORLTextXMLParser(text, settings, document).Parse();
    } catch (const EORLXMLDocument&) {
        // A second top-level element; the first one stays.
        Check(document.Count() == 1);
    }
    CheckBinaryRoundTrip(document);
    CheckTextRoundTrip(document, static_cast<uint8_t>(data[0] >> 2));
    return 0;
}
