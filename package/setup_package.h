#pragma once
// The "IPK5" package container: a 12-byte plain header ("IPK5", CRC-32 and length of the content)
// and a body that is the content compressed with LZMA and enciphered with RC4. The content holds
// the stored files one after another, then the file table, then the table's length.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/errors.h"
#include "base/stream.h"

#ifdef _WIN32
struct HINSTANCE__;
#endif

namespace uinst {

// The key of every package the program reads or writes (stored low byte first: "ORVO"). Shipped
// packages and uninstall data depend on it: never change it.
inline constexpr uint32_t SetupPackageKey = 0x4F56524F;

class ESetupPackageReadError : public Exception {
public:
    ESetupPackageReadError() : Exception(u"Package was corrupted") {}
};

// The resource layer's not-found error: "Resource %s not found".
class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

struct TSetupPackageFileTableItem {
    String Name;
    int64_t Offset = 0;
    int64_t Size = 0;
};

class TSetupPackageFileTable {
public:
    // A new empty entry at the end; the table owns it.
    TSetupPackageFileTableItem& Add();
    // The first entry whose name equals the given one with case ignored.
    bool Find(StringView name, const TSetupPackageFileTableItem*& item) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    const TSetupPackageFileTableItem& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    void Clear() {
        FItems.clear();
        FIndexValid = false;
    }

    // The table layout (count and entries, not the trailing table length). Reading stops with
    // EReadError when an entry would reach past the stream's end.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

private:
    std::vector<std::unique_ptr<TSetupPackageFileTableItem>> FItems;
    // Lookups of ASCII names through an index of upper-cased names (first entry of each), made on
    // the first lookup after a change: an installation looks up thousands of names.
    mutable std::unordered_map<String, size_t> FIndex;
    mutable bool FIndexValid = false;
};

class TCustomSetupPackage {
public:
    TCustomSetupPackage(const TCustomSetupPackage&) = delete;
    TCustomSetupPackage& operator=(const TCustomSetupPackage&) = delete;
    virtual ~TCustomSetupPackage() = default;

    const TSetupPackageFileTable& FileTable() const { return FFileTable; }

protected:
    TCustomSetupPackage() = default;

    TSetupPackageFileTable FFileTable;
    TMemoryStream FData;
};

class TSetupPackageReader : public TCustomSetupPackage {
public:
    // Reads a package from the stream's position; the stream is not needed afterwards.
    explicit TSetupPackageReader(TStream& stream);
    // Opens the file for reading (other readers and writers are not denied) and reads it.
    explicit TSetupPackageReader(StringView fileName);
#ifdef _WIN32
    // Reads the RCDATA resource of that name from the module.
    TSetupPackageReader(HINSTANCE__* module, StringView resourceName);
#endif

    bool Contains(StringView name) const;
    // A new stream with exactly the file's bytes, positioned at 0; false when no entry matches.
    // An entry that reaches outside the content raises EReadError.
    bool Extract(StringView name, std::unique_ptr<TMemoryStream>& stream);
    // Writes one entry's bytes straight from the content (no intermediate copy); the same range
    // check as Extract.
    void SaveItemToStream(const TSetupPackageFileTableItem& item, TStream& target) const;
    // The decoded content: file data, table and table length.
    const std::vector<uint8_t>& Content() const {
        return FData.Bytes();
    }
    // Whether the entry's bytes lie inside the content.
    bool ItemInContent(const TSetupPackageFileTableItem& item) const;

private:
    void ReadPackage(TStream& stream);
    void ReadFileTable();
};

class TSetupPackageBuilder : public TCustomSetupPackage {
public:
    // Reports the bytes done out of the total while the content is compressed.
    using TProgress = std::function<void(int64_t done, int64_t total)>;

    explicit TSetupPackageBuilder(uint32_t key);

    // Appends the whole content of the stream (read from its current position for its full size,
    // so callers pass it positioned at 0) as a file of that name.
    void Add(TStream& stream, StringView name);
    // Writes the finished package at the stream's position with the compression level.
    void Commit(TStream& stream, int level, const TProgress& progress = nullptr);
    // Commits into the file, replacing it whole: a failed commit leaves an older file as it was.
    void Commit(StringView fileName, int level, const TProgress& progress = nullptr);

private:
    void WriteFileTable();

    std::array<uint8_t, 4> FKey;
    bool FTableWritten = false;
};

}  // namespace uinst
