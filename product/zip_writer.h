#pragma once
// The zip format as the backup archive is written: each entry a local header, its Deflate data and
// no data descriptor (the header's CRC and sizes are filled in once the data is written), then the
// central directory. Names are UTF-8 and marked so (flag bit 11); the system of origin is MS-DOS,
// whose attributes are kept in the low byte of the external attributes. Zip64 fields and end
// records appear only where a classic field cannot hold a value (an entry of 4 GB or more, offsets
// past 4 GB, more than 65535 entries).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace uinst {

// Where the archive's bytes go.
class IZipOutput {
public:
    virtual ~IZipOutput() = default;
    // Appends at the end.
    virtual void Write(const void* data, size_t size) = 0;
    // Overwrites bytes written before.
    virtual void Patch(uint64_t offset, const void* data, size_t size) = 0;
};

struct TZipEntryInfo {
    std::string Name;  // UTF-8, "/" between folders
    uint16_t DosDate = 0;
    uint16_t DosTime = 0;
    uint32_t Attributes = 0;  // DOS attributes; the low byte is stored
    // The size the data is expected to have: from about 4 GB on, the local header gets zip64
    // fields (its classic fields could not hold the sizes that are patched in later).
    uint64_t ExpectedSize = 0;
};

class TZipWriter {
public:
    // level is the Deflate level the data is compressed with (recorded in flag bits 1 and 2).
    TZipWriter(IZipOutput& output, int level);
    // Writes the local header. Raises for a name the format cannot hold.
    void BeginEntry(const TZipEntryInfo& info);
    // Raw Deflate data of the entry begun last.
    void WriteData(const void* data, size_t size);
    // The entry's CRC-32 and uncompressed size: patches its local header and records it for the
    // central directory.
    void EndEntry(uint32_t crc, uint64_t size);
    // The central directory and the end records. Nothing may be written after it.
    void Finish();

    uint64_t Position() const { return FPosition; }

private:
    IZipOutput& FOutput;
    uint16_t FFlags;
    uint64_t FPosition = 0;
    uint64_t FEntries = 0;
    std::vector<uint8_t> FCentral;  // the central directory, record by record
    // The entry being written.
    TZipEntryInfo FEntry;
    uint64_t FHeaderOffset = 0;
    uint64_t FDataStart = 0;
    bool FLocalZip64 = false;
    bool FOpen = false;
};

// DOS date and time (local time, two-second steps, 1980 to 2107) of Windows file times. The local
// time follows the daylight saving rule of each date, as zip tools show it; the offset is kept per
// quarter of an hour, since the system's conversion is slow and files' times cluster.
class TDosClock {
public:
    void DosDateTime(const FILETIME& fileTime, uint16_t& dosDate, uint16_t& dosTime);

private:
    std::unordered_map<int64_t, int64_t> FOffsets;  // quarter of an hour (UTC) -> local minus UTC
};

}  // namespace uinst
