// Reads arbitrary bytes as the body of an "SXML" document. Damage must raise one of the reader's
// errors; whatever was accepted must be written back byte for byte.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/xml_fuzz_checks.h"

using namespace uinst;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes = {'S', 'X', 'M', 'L'};
    bytes.insert(bytes.end(), data, data + size);
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    TORLXMLDocument document;
    try {
        document.LoadFromStream(stream);
    } catch (const EStreamError&) {
        return 0;
    } catch (const EORLXMLDocument&) {
        return 0;
    }
    Check(stream.Position() <= stream.Size());
    CheckBinaryRoundTrip(document);
    CheckTextRoundTrip(document, size > 0 ? data[0] : 0);
    return 0;
}
