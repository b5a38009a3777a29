#include "package/setup_package.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/file_replacement.h"
#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "package/crc32.h"
#include "package/lzma_coder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace uinst {

namespace {

constexpr uint8_t kMagic[4] = {'I', 'P', 'K', '5'};
constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxNameLength = 65535;
constexpr size_t kCopyBlock = 1 << 20;
// The content is reserved up front only when the header's length is plausible for the body (LZMA
// seldom packs a product's files more than four to one); otherwise it grows with what the decoder
// delivers, so a damaged length field cannot make a large package reserve many times its size.
constexpr uint64_t kPlausibleRatio = 4;
constexpr uint64_t kMinReserve = 1 << 20;

uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLE32(uint8_t* p, uint32_t value) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(value >> (8 * k));
}

int64_t ReadInt64(TStream& stream) {
    uint8_t b[8];
    stream.ReadBuffer(b, 8);
    uint64_t value = 0;
    for (int k = 7; k >= 0; --k) value = value << 8 | b[k];
    return static_cast<int64_t>(value);
}

void WriteInt64(TStream& stream, int64_t value) {
    uint8_t b[8];
    for (int k = 0; k < 8; ++k) b[k] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * k));
    stream.WriteBuffer(b, 8);
}

std::array<uint8_t, 4> KeyBytes(uint32_t key) {
    std::array<uint8_t, 4> bytes;
    StoreLE32(bytes.data(), key);
    return bytes;
}

// The decoder's destination while a package is opened: appends to the content and checksums each
// block while it is still in the cache, so the content is never walked a second time. When the
// content no longer fits into memory it is dropped and the rest is only counted and checksummed:
// a package with a damaged header is then still reported as corrupted, not as out of memory.
class TContentWriter : public TStream {
public:
    TContentWriter(TMemoryStream& content, uint64_t expected) : FContent(content), FExpected(expected) {}

    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        FHash.Add(buffer, count);
        FTotal += count;
        if (FOverflow) return count;
        try {
            const uint64_t capacity = FContent.Bytes().capacity();
            if (FTotal > capacity) {
                // Double, but never past the declared size, so a sound package keeps no slack.
                const uint64_t target = std::max(FTotal, std::min(FExpected, capacity * 2));
                FContent.Reserve(static_cast<size_t>(target));
            }
            return FContent.Write(buffer, count);
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
        FOverflow = true;
        FContent.TakeBytes();  // frees it
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FContent.Seek(offset, origin); }
    void SetSize(int64_t) override { throw EWriteError(); }
    uint32_t Checksum() const { return FHash.Value(); }
    uint64_t Total() const { return FTotal; }
    // Whether the content had to be dropped for want of memory.
    bool Overflow() const { return FOverflow; }

private:
    TMemoryStream& FContent;
    uint64_t FExpected;
    uint64_t FTotal = 0;
    bool FOverflow = false;
    TORLHashCRC32 FHash;
};

// Reads the content for the encoder and reports how far it got.
class TProgressReader : public TStream {
public:
    TProgressReader(TMemoryStream& content, const TSetupPackageBuilder::TProgress& progress)
        : FContent(content), FProgress(progress) {}

    size_t Read(void* buffer, size_t count) override {
        const size_t n = FContent.Read(buffer, count);
        FProgress(FContent.Position(), FContent.Size());
        return n;
    }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FContent.Seek(offset, origin); }
    void SetSize(int64_t) override { throw EWriteError(); }

private:
    TMemoryStream& FContent;
    const TSetupPackageBuilder::TProgress& FProgress;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TSetupPackageFileTable

TSetupPackageFileTableItem& TSetupPackageFileTable::Add() {
    FIndexValid = false;
    FItems.push_back(std::make_unique<TSetupPackageFileTableItem>());
    return *FItems.back();
}

namespace {
bool IsAsciiName(StringView name) {
    for (Char c : name)
        if (c >= 0x80) return false;
    return true;
}
String AsciiUpper(StringView name) {
    String upper(name);
    for (Char& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<Char>(c - 32);
    return upper;
}
}  // namespace

bool TSetupPackageFileTable::Find(StringView name, const TSetupPackageFileTableItem*& item) const {
    // An ASCII name equals only ASCII names with case ignored, so its lookup goes through the
    // index; other names take the full comparison of the user's locale.
    if (IsAsciiName(name)) {
        if (!FIndexValid) {
            FIndex.clear();
            for (size_t i = 0; i < FItems.size(); ++i)
                if (IsAsciiName(FItems[i]->Name)) FIndex.emplace(AsciiUpper(FItems[i]->Name), i);
            FIndexValid = true;
        }
        const auto found = FIndex.find(AsciiUpper(name));
        item = found == FIndex.end() ? nullptr : FItems[found->second].get();
        return item != nullptr;
    }
    for (const auto& entry : FItems) {
        if (entry->Name.size() == name.size() && SameText(entry->Name, name)) {
            item = entry.get();
            return true;
        }
    }
    item = nullptr;
    return false;
}

void TSetupPackageFileTable::LoadFromStream(TStream& stream) {
    std::vector<std::unique_ptr<TSetupPackageFileTableItem>> items;
    std::vector<uint8_t> bytes;
    // Every field is read with ReadBuffer, so a count or name length that reaches past the
    // stream's end stops with EReadError instead of reading beyond it.
    for (int32_t count = stream.ReadInt32(); count > 0; --count) {
        auto item = std::make_unique<TSetupPackageFileTableItem>();
        const uint16_t length = stream.ReadUInt16();
        bytes.resize(size_t(length) * 2);
        if (length > 0) stream.ReadBuffer(bytes.data(), bytes.size());
        item->Name.resize(length);
        for (size_t k = 0; k < length; ++k) item->Name[k] = static_cast<Char>(bytes[2 * k] | bytes[2 * k + 1] << 8);
        item->Offset = ReadInt64(stream);
        item->Size = ReadInt64(stream);
        items.push_back(std::move(item));
    }
    FItems = std::move(items);
    FIndexValid = false;
}

void TSetupPackageFileTable::SaveToStream(TStream& stream) const {
    TMemoryStream buffer;
    buffer.WriteUInt32(static_cast<uint32_t>(FItems.size()));
    for (const auto& item : FItems) {
        const size_t length = std::min(item->Name.size(), kMaxNameLength);
        buffer.WriteUInt16(static_cast<uint16_t>(length));
        for (size_t k = 0; k < length; ++k) buffer.WriteUInt16(item->Name[k]);
        WriteInt64(buffer, item->Offset);
        WriteInt64(buffer, item->Size);
    }
    buffer.SaveToStream(stream);
}

// ---------------------------------------------------------------------------------------------
// TSetupPackageReader

TSetupPackageReader::TSetupPackageReader(TStream& stream) {
    ReadPackage(stream);
}

TSetupPackageReader::TSetupPackageReader(StringView fileName) {
    TORLFileStream file(fileName, TORLFileStream::TMode::fmOpenRead);
    ReadPackage(file);
}

#ifdef _WIN32
TSetupPackageReader::TSetupPackageReader(HINSTANCE__* module, StringView resourceName) {
    const String name(resourceName);
    HRSRC resource = FindResourceW(module, WidePtr(name), RT_RCDATA);
    HGLOBAL handle = resource ? LoadResource(module, resource) : nullptr;
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) throw EResNotFound(Format(u"Resource %s not found", {name}));
    TReadOnlyMemoryStream stream(data, SizeofResource(module, resource));
    ReadPackage(stream);
}
#endif

void TSetupPackageReader::ReadPackage(TStream& stream) {
    uint8_t header[kHeaderSize];
    stream.ReadBuffer(header, kHeaderSize);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) throw ESetupPackageReadError();
    const uint32_t checksum = LoadLE32(header + 4);
    const uint32_t length = LoadLE32(header + 8);

    const int64_t body = stream.Size() - stream.Position();
    const uint64_t plausible = std::max<uint64_t>(kMinReserve, body > 0 ? uint64_t(body) * kPlausibleRatio : 0);
    if (length <= plausible) {
        try {
            FData.Reserve(length);
        } catch (const std::bad_alloc&) {
            // Perhaps the length is wrong: the content grows as it arrives and shows it.
        } catch (const std::length_error&) {
        }
    }

    const auto key = KeyBytes(SetupPackageKey);
    TContentWriter content(FData, length);
    const int result = LZMADecode(stream, content, MakeRC4Preprocessor(key.data(), key.size()), length);

    FData.SetPosition(0);
    if (result != lzOk || content.Total() != length || content.Checksum() != checksum) throw ESetupPackageReadError();
    // A sound package that does not fit into memory.
    if (content.Overflow()) throw std::bad_alloc();
    ReadFileTable();
}

void TSetupPackageReader::ReadFileTable() {
    const auto& bytes = FData.Bytes();
    if (bytes.size() < 4) throw EReadError();
    const uint32_t tableLength = LoadLE32(bytes.data() + bytes.size() - 4);
    if (tableLength > bytes.size() - 4) throw EReadError();
    // The table is read from its own bytes only: a count that asks for more entries than the
    // table holds stops with EReadError.
    TReadOnlyMemoryStream table(bytes.data() + bytes.size() - 4 - tableLength, tableLength);
    FFileTable.LoadFromStream(table);
}

bool TSetupPackageReader::Contains(StringView name) const {
    const TSetupPackageFileTableItem* item;
    return FFileTable.Find(name, item);
}

bool TSetupPackageReader::ItemInContent(const TSetupPackageFileTableItem& item) const {
    const uint64_t size = FData.Bytes().size();
    return item.Offset >= 0 && item.Size >= 0 && uint64_t(item.Offset) <= size &&
           uint64_t(item.Size) <= size - uint64_t(item.Offset);
}

bool TSetupPackageReader::Extract(StringView name, std::unique_ptr<TMemoryStream>& stream) {
    const TSetupPackageFileTableItem* item;
    if (!FFileTable.Find(name, item)) return false;
    if (!ItemInContent(*item)) throw EReadError();
    FData.SetPosition(item->Offset + item->Size);
    stream = std::make_unique<TMemoryStream>(FData.Memory() + item->Offset, static_cast<size_t>(item->Size));
    return true;
}

void TSetupPackageReader::SaveItemToStream(const TSetupPackageFileTableItem& item, TStream& target) const {
    if (!ItemInContent(item)) throw EReadError();
    const uint8_t* p = FData.Memory() + item.Offset;
    for (int64_t left = item.Size; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyBlock));
        target.WriteBuffer(p, n);
        p += n;
        left -= static_cast<int64_t>(n);
    }
}

// ---------------------------------------------------------------------------------------------
// TSetupPackageBuilder

TSetupPackageBuilder::TSetupPackageBuilder(uint32_t key) : FKey(KeyBytes(key)) {}

void TSetupPackageBuilder::Add(TStream& stream, StringView name) {
    if (FTableWritten) throw Exception(u"The package has already been committed");
    // Longer names would be cut short by the table's 16-bit length field.
    if (name.size() > kMaxNameLength)
        throw Exception(
            Format(u"The file name \"%s...\" is longer than 65535 characters", {String(name.substr(0, 64))}));
    const int64_t size = stream.Size();
    if (size < 0) throw EReadError();
    const int64_t offset = FData.Size();
    // The header's length field is 32 bits wide; a 32-bit build could not even hold the content.
    if (uint64_t(size) > UINT32_MAX - uint64_t(offset))
        throw Exception(
            Format(u"The file \"%s\" (%d bytes) would make the package content exceed 4 GiB", {String(name), size}));
    // Read straight into the content; a source that ends early leaves the content as it was.
    FData.SetSize(offset + size);
    try {
        uint8_t* p = FData.Memory() + offset;
        for (int64_t left = size; left > 0;) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyBlock));
            stream.ReadBuffer(p, n);
            p += n;
            left -= static_cast<int64_t>(n);
        }
    } catch (...) {
        FData.SetSize(offset);
        FData.Seek(0, TSeekOrigin::soEnd);
        throw;
    }
    FData.Seek(0, TSeekOrigin::soEnd);
    auto& item = FFileTable.Add();
    item.Name = String(name);
    item.Offset = offset;
    item.Size = size;
}

void TSetupPackageBuilder::WriteFileTable() {
    if (FTableWritten) return;
    TMemoryStream table;
    FFileTable.SaveToStream(table);
    FData.Seek(0, TSeekOrigin::soEnd);
    table.SaveToStream(FData);
    FData.WriteUInt32(static_cast<uint32_t>(table.Size()));
    FTableWritten = true;
}

void TSetupPackageBuilder::Commit(TStream& stream, int level, const TProgress& progress) {
    // The header's length field is 32 bits wide: a larger content would make a package that no
    // reader accepts.
    TMemoryStream table;
    FFileTable.SaveToStream(table);
    const uint64_t total = uint64_t(FData.Size()) + (FTableWritten ? 0 : uint64_t(table.Size()) + 4);
    if (total > UINT32_MAX) throw Exception(u"The package content exceeds 4 GiB");
    WriteFileTable();

    FData.SetPosition(0);
    uint8_t header[kHeaderSize];
    std::memcpy(header, kMagic, sizeof kMagic);
    StoreLE32(header + 4, TORLHashCRC32::Calculate(FData));
    StoreLE32(header + 8, static_cast<uint32_t>(FData.Size()));
    stream.WriteBuffer(header, kHeaderSize);

    auto filter = MakeRC4Preprocessor(FKey.data(), FKey.size());
    if (progress) {
        TProgressReader source(FData, progress);
        LZMAEncode(source, stream, level, filter);
    } else {
        LZMAEncode(FData, stream, level, filter);
    }
}

void TSetupPackageBuilder::Commit(StringView fileName, int level, const TProgress& progress) {
    WriteFileReplacing(fileName, [&](TStream& file) { Commit(file, level, progress); });
}

}  // namespace uinst
