#pragma once
// Byte streams: the abstract stream, a growable memory stream and a file stream. Reads past the
// end raise EReadError from ReadBuffer; Read itself returns the count it delivered (0 at the end).
// A file that cannot be read (a failing disk, a dropped share) raises EReadError naming it: an
// error is never taken for the end of the data.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/errors.h"

namespace uinst {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError(u"Stream read error") {}
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError(u"Stream write error") {}
    using EStreamError::EStreamError;
};
// A file that cannot be opened, created or replaced: the message names the file and gives the
// system's reason.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    int64_t Remaining() { return Size() - Position(); }
    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, size_t count);
    void WriteBuffer(const void* buffer, size_t count);
    // Copies count bytes from the source's current position (0: the whole source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);

    uint32_t ReadUInt32();
    int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
    uint16_t ReadUInt16();
    uint8_t ReadUInt8();
    void WriteUInt32(uint32_t value);
    void WriteUInt16(uint16_t value);
    void WriteUInt8(uint8_t value) { WriteBuffer(&value, 1); }

protected:
    // The error WriteBuffer raises when Write takes nothing; streams on files say which file and why.
    virtual EWriteError WriteError() const { return EWriteError(); }
};

// A growable buffer in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : FData(std::move(bytes)) {}
    TMemoryStream(const void* data, size_t size);

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t size) override;

    uint8_t* Memory() { return FData.data(); }
    const uint8_t* Memory() const { return FData.data(); }
    const std::vector<uint8_t>& Bytes() const { return FData; }
    std::vector<uint8_t> TakeBytes();
    void Clear();
    void Reserve(size_t capacity) { FData.reserve(capacity); }
    void LoadFromStream(TStream& source);
    void LoadFromFile(StringView fileName);
    void SaveToStream(TStream& target);
    void SaveToFile(StringView fileName);

private:
    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};

// A read-only view of bytes that someone else owns (resources, mapped files).
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, size_t size) : FData(static_cast<const uint8_t*>(data)), FSize(size) {}
    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FSize); }
    void SetSize(int64_t) override { throw EWriteError(); }
    const uint8_t* Memory() const { return FData; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPosition = 0;
};

// A file on disk. Opening failures raise EFOpenError with the file name and the system's text.
class TORLFileStream : public TStream {
public:
    enum class TMode { fmOpenRead, fmOpenReadWrite, fmCreate };
    TORLFileStream(StringView fileName, TMode mode);
    ~TORLFileStream() override;
    TORLFileStream(const TORLFileStream&) = delete;
    TORLFileStream& operator=(const TORLFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    // Makes what was written reach the disk, or raises EWriteError naming the file.
    void Flush();
    const String& FileName() const { return FFileName; }

protected:
    EWriteError WriteError() const override;
    EReadError ReadFailure(uint32_t error) const;

private:
    String FFileName;
    uint32_t FLastError = 0;  // the system's code for the last failed write
#ifdef _WIN32
    void* FHandle;
#else
    int FHandle;
#endif
};

}  // namespace uinst
