#include "product/zip_writer.h"

#include <windows.h>

#include "base/errors.h"

namespace uinst {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kMadeBy = 63;  // MS-DOS (0) in the high byte, format version 6.3 (UTF-8 names)
constexpr uint16_t kVersionDeflate = 20;
constexpr uint16_t kVersionZip64 = 45;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kFlagUtf8 = 1 << 11;
constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr uint16_t kMax16 = 0xFFFF;
// Deflate may make incompressible data a little larger (5 bytes per stored block of 64 KB):
// entries expected this large get the zip64 local header in good time.
constexpr uint64_t kZip64LocalThreshold = 0xF0000000;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kLocalZip64ExtraSize = 20;  // id, length, uncompressed and compressed size

class TBytes {
public:
    explicit TBytes(std::vector<uint8_t>& out) : FOut(out) {}
    TBytes& U16(uint16_t v) {
        FOut.push_back(uint8_t(v));
        FOut.push_back(uint8_t(v >> 8));
        return *this;
    }
    TBytes& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    TBytes& U64(uint64_t v) { return U32(uint32_t(v)).U32(uint32_t(v >> 32)); }
    TBytes& Text(const std::string& s) {
        FOut.insert(FOut.end(), s.begin(), s.end());
        return *this;
    }

private:
    std::vector<uint8_t>& FOut;
};

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint32_t Clamp32(uint64_t v) {
    return v >= kMax32 ? kMax32 : uint32_t(v);
}

}  // namespace

TZipWriter::TZipWriter(IZipOutput& output, int level) : FOutput(output) {
    // Bits 1 and 2 tell the Deflate setting: 2 for the slowest levels, 4 for the fastest.
    FFlags = kFlagUtf8 | (level >= 8 ? 2 : level <= 2 ? 4 : 0);
}

void TZipWriter::BeginEntry(const TZipEntryInfo& info) {
    if (info.Name.empty() || info.Name.size() > kMax16)
        throw Exception(u"The name \"" + Utf8ToString(info.Name) + u"\" cannot be stored in a zip archive");
    FEntry = info;
    FHeaderOffset = FPosition;
    FLocalZip64 = info.ExpectedSize >= kZip64LocalThreshold;
    std::vector<uint8_t> header;
    header.reserve(kLocalHeaderSize + info.Name.size() + kLocalZip64ExtraSize);
    TBytes out(header);
    out.U32(kLocalSignature)
        .U16(FLocalZip64 ? kVersionZip64 : kVersionDeflate)
        .U16(FFlags)
        .U16(kMethodDeflate)
        .U16(info.DosTime)
        .U16(info.DosDate)
        .U32(0)  // CRC-32, compressed and uncompressed size: patched in EndEntry
        .U32(FLocalZip64 ? kMax32 : 0)
        .U32(FLocalZip64 ? kMax32 : 0)
        .U16(uint16_t(info.Name.size()))
        .U16(FLocalZip64 ? uint16_t(kLocalZip64ExtraSize) : 0)
        .Text(info.Name);
    if (FLocalZip64) out.U16(kZip64ExtraId).U16(16).U64(0).U64(0);
    FOutput.Write(header.data(), header.size());
    FPosition += header.size();
    FDataStart = FPosition;
    FOpen = true;
}

void TZipWriter::WriteData(const void* data, size_t size) {
    if (!size) return;
    FOutput.Write(data, size);
    FPosition += size;
}

void TZipWriter::EndEntry(uint32_t crc, uint64_t size) {
    const uint64_t compressed = FPosition - FDataStart;
    if (!FLocalZip64 && (size >= kMax32 || compressed >= kMax32))
        throw Exception(u"The file \"" + Utf8ToString(FEntry.Name) + u"\" grew past 4 GB while it was archived");
    uint8_t patch[12];
    Put32(patch, crc);
    if (FLocalZip64) {
        FOutput.Patch(FHeaderOffset + 14, patch, 4);
        uint8_t sizes[16];
        Put64(sizes, size);
        Put64(sizes + 8, compressed);
        FOutput.Patch(FHeaderOffset + kLocalHeaderSize + FEntry.Name.size() + 4, sizes, sizeof sizes);
    } else {
        Put32(patch + 4, uint32_t(compressed));
        Put32(patch + 8, uint32_t(size));
        FOutput.Patch(FHeaderOffset + 14, patch, sizeof patch);
    }

    // The central record: zip64 fields only for the values that need them, in the format's order.
    std::vector<uint8_t> extra;
    TBytes zip64(extra);
    if (size >= kMax32) zip64.U64(size);
    if (compressed >= kMax32) zip64.U64(compressed);
    if (FHeaderOffset >= kMax32) zip64.U64(FHeaderOffset);
    const bool needsZip64 = !extra.empty();
    TBytes out(FCentral);
    out.U32(kCentralSignature)
        .U16(kMadeBy)
        .U16(needsZip64 || FLocalZip64 ? kVersionZip64 : kVersionDeflate)
        .U16(FFlags)
        .U16(kMethodDeflate)
        .U16(FEntry.DosTime)
        .U16(FEntry.DosDate)
        .U32(crc)
        .U32(Clamp32(compressed))
        .U32(Clamp32(size))
        .U16(uint16_t(FEntry.Name.size()))
        .U16(needsZip64 ? uint16_t(4 + extra.size()) : 0)
        .U16(0)  // comment
        .U16(0)  // disk
        .U16(0)  // internal attributes
        .U32(FEntry.Attributes & 0xFF)
        .U32(Clamp32(FHeaderOffset))
        .Text(FEntry.Name);
    if (needsZip64) {
        out.U16(kZip64ExtraId).U16(uint16_t(extra.size()));
        FCentral.insert(FCentral.end(), extra.begin(), extra.end());
    }
    ++FEntries;
    FOpen = false;
}

void TZipWriter::Finish() {
    if (FOpen) throw Exception(u"The last entry of the zip archive was not completed");
    const uint64_t centralOffset = FPosition;
    const uint64_t centralSize = FCentral.size();
    std::vector<uint8_t> end;
    TBytes out(end);
    if (FEntries > kMax16 || centralOffset >= kMax32 || centralSize >= kMax32) {
        const uint64_t zip64End = centralOffset + centralSize;
        out.U32(kZip64EndSignature)
            .U64(44)  // the record's size after this field
            .U16(kMadeBy)
            .U16(kVersionZip64)
            .U32(0)  // this disk
            .U32(0)  // the disk of the central directory
            .U64(FEntries)
            .U64(FEntries)
            .U64(centralSize)
            .U64(centralOffset);
        out.U32(kZip64LocatorSignature).U32(0).U64(zip64End).U32(1);
    }
    const uint16_t entries = FEntries > kMax16 ? kMax16 : uint16_t(FEntries);
    out.U32(kEndSignature)
        .U16(0)
        .U16(0)
        .U16(entries)
        .U16(entries)
        .U32(Clamp32(centralSize))
        .U32(Clamp32(centralOffset))
        .U16(0);  // comment
    FOutput.Write(FCentral.data(), FCentral.size());
    FOutput.Write(end.data(), end.size());
    FPosition += FCentral.size() + end.size();
    FCentral.clear();
    FCentral.shrink_to_fit();
}

void TDosClock::DosDateTime(const FILETIME& fileTime, uint16_t& dosDate, uint16_t& dosTime) {
    constexpr int64_t kQuarter = 15LL * 60 * 10000000;  // in 100-nanosecond ticks
    const int64_t utc = int64_t((uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
    auto found = FOffsets.find(utc / kQuarter);
    if (found == FOffsets.end()) {
        SYSTEMTIME system, local;
        FILETIME localTime;
        int64_t offset = 0;
        if (FileTimeToSystemTime(&fileTime, &system) && SystemTimeToTzSpecificLocalTime(nullptr, &system, &local) &&
            SystemTimeToFileTime(&local, &localTime))
            offset = int64_t((uint64_t(localTime.dwHighDateTime) << 32) | localTime.dwLowDateTime) - utc;
        // The milliseconds that SYSTEMTIME dropped are not part of the offset.
        offset = (offset + (offset >= 0 ? 5000000 : -5000000)) / 10000000 * 10000000;
        found = FOffsets.emplace(utc / kQuarter, offset).first;
    }
    const int64_t localTicks = utc + found->second;
    FILETIME localTime{DWORD(uint64_t(localTicks)), DWORD(uint64_t(localTicks) >> 32)};
    SYSTEMTIME local;
    if (localTicks < 0 || !FileTimeToSystemTime(&localTime, &local) || local.wYear < 1980) {
        dosDate = (0 << 9) | (1 << 5) | 1;
        dosTime = 0;
    } else if (local.wYear > 2107) {
        dosDate = uint16_t((127 << 9) | (12 << 5) | 31);
        dosTime = uint16_t((23 << 11) | (59 << 5) | 29);
    } else {
        dosDate = uint16_t(((local.wYear - 1980) << 9) | (local.wMonth << 5) | local.wDay);
        dosTime = uint16_t((local.wHour << 11) | (local.wMinute << 5) | (local.wSecond / 2));
    }
}

}  // namespace uinst
