#include "base/stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/format.h"
#include "base/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace uinst {

// ---------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
    const int64_t position = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const size_t n = Read(p, count);
        if (n == 0) throw EReadError();
        p += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        const size_t n = Write(p, count);
        if (n == 0) throw WriteError();
        p += n;
        count -= n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr size_t kBlock = 1 << 20;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, kBlock)));
    int64_t left = count;
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, kBlock));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= static_cast<int64_t>(n);
    }
    return count;
}

uint32_t TStream::ReadUInt32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint16_t TStream::ReadUInt16() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint8_t TStream::ReadUInt8() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

void TStream::WriteUInt32(uint32_t value) {
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    WriteBuffer(b, 4);
}

void TStream::WriteUInt16(uint16_t value) {
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    WriteBuffer(b, 2);
}

namespace {
int64_t SeekTarget(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size) {
    int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent) target = position + offset;
    if (origin == TSeekOrigin::soEnd) target = size + offset;
    return target < 0 ? 0 : target;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// TMemoryStream

TMemoryStream::TMemoryStream(const void* data, size_t size)
    : FData(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (FPosition >= FData.size()) return 0;
    const size_t n = std::min(count, FData.size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    if (FPosition + count > FData.size()) {
        if (FPosition + count > FData.capacity()) FData.reserve(std::max(FPosition + count, FData.capacity() * 2));
        FData.resize(FPosition + count);
    }
    std::memcpy(FData.data() + FPosition, buffer, count);
    FPosition += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    FPosition = static_cast<size_t>(SeekTarget(offset, origin, static_cast<int64_t>(FPosition), Size()));
    return static_cast<int64_t>(FPosition);
}

void TMemoryStream::SetSize(int64_t size) {
    // A 32-bit build would otherwise cut the size short and later writes run past the buffer.
    if constexpr (sizeof(size_t) < sizeof(int64_t))
        if (size > int64_t(SIZE_MAX)) throw EWriteError(Format(u"A memory stream cannot hold %d bytes", {size}));
    FData.resize(static_cast<size_t>(size < 0 ? 0 : size));
    if (FPosition > FData.size()) FPosition = FData.size();
}

std::vector<uint8_t> TMemoryStream::TakeBytes() {
    FPosition = 0;
    return std::exchange(FData, {});
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    FData.resize(static_cast<size_t>(size));
    FPosition = 0;
    if (size > 0) source.ReadBuffer(FData.data(), FData.size());
}

void TMemoryStream::LoadFromFile(StringView fileName) {
    TORLFileStream file(fileName, TORLFileStream::TMode::fmOpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& target) {
    if (!FData.empty()) target.WriteBuffer(FData.data(), FData.size());
}

void TMemoryStream::SaveToFile(StringView fileName) {
    TORLFileStream file(fileName, TORLFileStream::TMode::fmCreate);
    SaveToStream(file);
}

// ---------------------------------------------------------------------------------------------
// TReadOnlyMemoryStream

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
    if (FPosition >= FSize) return 0;
    const size_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FData + FPosition, n);
    FPosition += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    FPosition = static_cast<size_t>(SeekTarget(offset, origin, static_cast<int64_t>(FPosition), Size()));
    return static_cast<int64_t>(FPosition);
}

// ---------------------------------------------------------------------------------------------
// TORLFileStream

#ifdef _WIN32

TORLFileStream::TORLFileStream(StringView fileName, TMode mode) : FFileName(fileName) {
    const DWORD access = mode == TMode::fmOpenRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = mode == TMode::fmOpenRead ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    const DWORD disposition = mode == TMode::fmCreate ? CREATE_ALWAYS : OPEN_EXISTING;
    FHandle = CreateFileW(WidePtr(LongPathName(FFileName)), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
        throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {FFileName, SysErrorMessage(GetLastError())}));
}

TORLFileStream::~TORLFileStream() {
    CloseHandle(FHandle);
}

size_t TORLFileStream::Read(void* buffer, size_t count) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    if (!ReadFile(FHandle, buffer, chunk, &n, nullptr)) throw ReadFailure(GetLastError());
    return n;
}

size_t TORLFileStream::Write(const void* buffer, size_t count) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    if (!WriteFile(FHandle, buffer, chunk, &n, nullptr)) {
        FLastError = GetLastError();
        return 0;
    }
    return n;
}

int64_t TORLFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    if (!SetFilePointerEx(FHandle, distance, &result, method)) return -1;
    return result.QuadPart;
}

void TORLFileStream::SetSize(int64_t size) {
    const int64_t position = Position();
    Seek(size, TSeekOrigin::soBeginning);
    if (!SetEndOfFile(FHandle)) {
        FLastError = GetLastError();
        throw WriteError();
    }
    if (position < size) Seek(position, TSeekOrigin::soBeginning);
}

void TORLFileStream::Flush() {
    if (!FlushFileBuffers(FHandle)) {
        FLastError = GetLastError();
        throw WriteError();
    }
}

#else

TORLFileStream::TORLFileStream(StringView fileName, TMode mode) : FFileName(fileName) {
    const std::string path = StringToUtf8(FFileName);
    const int flags = mode == TMode::fmOpenRead ? O_RDONLY
                      : mode == TMode::fmCreate ? O_RDWR | O_CREAT | O_TRUNC
                                                : O_RDWR;
    FHandle = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (FHandle < 0)
        throw EFOpenError(
            Format(u"Cannot open file \"%s\". %s", {FFileName, SysErrorMessage(static_cast<uint32_t>(errno))}));
}

TORLFileStream::~TORLFileStream() {
    ::close(FHandle);
}

size_t TORLFileStream::Read(void* buffer, size_t count) {
    for (;;) {
        const ssize_t n = ::read(FHandle, buffer, count);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) throw ReadFailure(static_cast<uint32_t>(errno));
    }
}

size_t TORLFileStream::Write(const void* buffer, size_t count) {
    for (;;) {
        const ssize_t n = ::write(FHandle, buffer, count);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) {
            FLastError = static_cast<uint32_t>(errno);
            return 0;
        }
    }
}

int64_t TORLFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    return static_cast<int64_t>(::lseek(FHandle, static_cast<off_t>(offset), whence));
}

void TORLFileStream::SetSize(int64_t size) {
    if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0) {
        FLastError = static_cast<uint32_t>(errno);
        throw WriteError();
    }
}

void TORLFileStream::Flush() {
    if (::fsync(FHandle) != 0) {
        FLastError = static_cast<uint32_t>(errno);
        throw WriteError();
    }
}

#endif

EReadError TORLFileStream::ReadFailure(uint32_t error) const {
    return EReadError(Format(u"Cannot read file \"%s\". %s", {FFileName, SysErrorMessage(error)}));
}

EWriteError TORLFileStream::WriteError() const {
    if (FLastError == 0) return EWriteError(Format(u"Cannot write file \"%s\"", {FFileName}));
    return EWriteError(Format(u"Cannot write file \"%s\". %s", {FFileName, SysErrorMessage(FLastError)}));
}

}  // namespace uinst
