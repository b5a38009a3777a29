// Opens arbitrary bytes as a package and extracts every entry. Input that starts with "IPK5" is
// a package file as it stands (header, cipher, coder, checksum). Anything else is taken as decoded
// content and wrapped into a package with a correct header first, so that the file table and the
// extraction are reached past the checksum; such a package must open unless its table is
// damaged, and must give back exactly the content that went in.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "package/crc32.h"
#include "package/lzma_coder.h"
#include "package/setup_package.h"

using namespace uinst;

namespace {

constexpr size_t kMaxWrapped = 1 << 16;
constexpr int kMaxEntries = 256;  // lookups are linear: keep each run quick

std::vector<uint8_t> Wrap(const uint8_t* data, size_t size) {
    TMemoryStream out;
    out.WriteBuffer("IPK5", 4);
    out.WriteUInt32(TORLHashCRC32::Calculate(data, size));
    out.WriteUInt32(static_cast<uint32_t>(size));
    const uint8_t key[4] = {uint8_t(SetupPackageKey), uint8_t(SetupPackageKey >> 8), uint8_t(SetupPackageKey >> 16),
                            uint8_t(SetupPackageKey >> 24)};
    TReadOnlyMemoryStream source(data, size);
    LZMAEncode(source, out, 0, MakeRC4Preprocessor(key, 4));
    return out.TakeBytes();
}

void ExtractEverything(TSetupPackageReader& reader) {
    const auto& table = reader.FileTable();
    const auto& content = reader.Content();
    for (int n = 0; n < table.Count() && n < kMaxEntries; ++n) {
        const String& name = table.Items(n).Name;
        const TSetupPackageFileTableItem* first;
        if (!table.Find(name, first) || !reader.Contains(name)) abort();
        std::unique_ptr<TMemoryStream> stream;
        try {
            if (!reader.Extract(name, stream)) abort();
        } catch (const EReadError&) {
            if (reader.ItemInContent(*first)) abort();  // refused an entry that fits
            continue;
        }
        if (!reader.ItemInContent(*first)) abort();  // handed out an entry that does not fit
        if (stream->Position() != 0 || stream->Size() != first->Size) abort();
        if (first->Size > 0 && std::memcmp(stream->Memory(), content.data() + first->Offset, size_t(first->Size)) != 0)
            abort();
        TMemoryStream copy;
        reader.SaveItemToStream(*first, copy);
        if (copy.Bytes() != stream->Bytes()) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool raw = size >= 4 && std::memcmp(data, "IPK5", 4) == 0;
    if (raw) {
        try {
            TReadOnlyMemoryStream stream(data, size);
            TSetupPackageReader reader(stream);
            ExtractEverything(reader);
        } catch (const ESetupPackageReadError&) {
        } catch (const ELZMAError&) {
        } catch (const EReadError&) {
        }
        return 0;
    }
    if (size > kMaxWrapped) return 0;
    const std::vector<uint8_t> package = Wrap(data, size);
    try {
        TReadOnlyMemoryStream stream(package.data(), package.size());
        TSetupPackageReader reader(stream);
        if (reader.Content().size() != size || (size > 0 && std::memcmp(reader.Content().data(), data, size) != 0))
            abort();
        ExtractEverything(reader);
    } catch (const EReadError&) {
        // Only the table may be refused: the rest of this package is sound.
    }
    return 0;
}
