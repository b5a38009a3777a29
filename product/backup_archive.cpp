#include "product/backup_archive.h"

#include <windows.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "platform/handles.h"
#include "platform/os_error.h"
#include "product/zip_writer.h"

namespace uinst {

namespace {

// Files are compressed in pieces of this size, each by whichever thread is free.
constexpr size_t kPieceSize = size_t(1) << 20;
// A piece starts with the last bytes of the one before, so its matches may reach back as far as
// Deflate allows: the pieces compress almost as one stream would.
constexpr size_t kWindowSize = 32768;
// Pieces in memory at once (read, compressing, or waiting to be written).
constexpr size_t kPiecesInFlight = 8;
// Files up to this size are read by the thread that compresses them, up to this many files or
// bytes at a time.
constexpr uint64_t kGroupFileLimit = 256 * 1024;
constexpr size_t kGroupFiles = 32;
constexpr size_t kGroupBytes = 512 * 1024;
// Headers and small entries are gathered before they are written.
constexpr size_t kOutputBufferSize = size_t(1) << 20;

// A byte buffer that grows without clearing what it gets.
class TBuffer {
public:
    uint8_t* Data() { return FData.get(); }
    const uint8_t* Data() const { return FData.get(); }
    size_t Size() const { return FSize; }
    void Resize(size_t size) {
        if (size > FCapacity) {
            auto bigger = std::make_unique_for_overwrite<uint8_t[]>(size);
            if (FSize) std::memcpy(bigger.get(), FData.get(), FSize);
            FData = std::move(bigger);
            FCapacity = size;
        }
        FSize = size;
    }

private:
    std::unique_ptr<uint8_t[]> FData;
    size_t FSize = 0;
    size_t FCapacity = 0;
};

// ---- the archive file ----

// Appends through a buffer; patches land in the buffer or, for bytes already written, in the file.
// An archive that is not committed is deleted.
class TArchiveFile : public IZipOutput {
public:
    explicit TArchiveFile(const String& path) : FPath(path) {
        FFile.Reset(CreateFileW(WidePtr(LongPathName(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FFile) {
            const DWORD code = GetLastError();
            throw EOSError(code, Format(u"Cannot create \"%s\": %s", {path, SysErrorMessage(code)}));
        }
        FBuffer.reserve(kOutputBufferSize);
    }
    ~TArchiveFile() override {
        if (FCommitted) return;
        FFile.Reset();
        DeleteFileW(WidePtr(LongPathName(FPath)));
    }

    void Write(const void* data, size_t size) override {
        if (FBuffer.size() + size > kOutputBufferSize) Flush();
        if (size >= kOutputBufferSize) {
            WriteAll(data, size);
            FFlushed += size;
        } else {
            const auto* bytes = static_cast<const uint8_t*>(data);
            FBuffer.insert(FBuffer.end(), bytes, bytes + size);
        }
    }

    void Patch(uint64_t offset, const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (offset < FFlushed) {
            const size_t inFile = size_t(std::min<uint64_t>(size, FFlushed - offset));
            Seek(offset);
            WriteAll(bytes, inFile);
            Seek(FFlushed);
            offset += inFile;
            bytes += inFile;
            size -= inFile;
        }
        if (size) std::memcpy(FBuffer.data() + (offset - FFlushed), bytes, size);
    }

    void Commit() {
        Flush();
        if (!CloseHandle(FFile.Release())) Fail(GetLastError());
        FCommitted = true;
    }

private:
    [[noreturn]] void Fail(DWORD code) {
        throw EOSError(code, Format(u"Cannot write \"%s\": %s", {FPath, SysErrorMessage(code)}));
    }
    void WriteAll(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size) {
            const DWORD chunk = DWORD(std::min<size_t>(size, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(FFile.Get(), bytes, chunk, &written, nullptr)) Fail(GetLastError());
            if (!written) Fail(ERROR_WRITE_FAULT);
            bytes += written;
            size -= written;
        }
    }
    void Seek(uint64_t offset) {
        LARGE_INTEGER to;
        to.QuadPart = LONGLONG(offset);
        if (!SetFilePointerEx(FFile.Get(), to, nullptr, FILE_BEGIN)) Fail(GetLastError());
    }
    void Flush() {
        if (FBuffer.empty()) return;
        WriteAll(FBuffer.data(), FBuffer.size());
        FFlushed += FBuffer.size();
        FBuffer.clear();
    }

    String FPath;
    TUniqueFile FFile;
    std::vector<uint8_t> FBuffer;
    uint64_t FFlushed = 0;  // bytes in the file; the buffer follows them
    bool FCommitted = false;
};

// ---- pieces and their compression ----

// A small file of a group: read and compressed whole by the thread that takes the group.
struct TGroupFile {
    size_t Entry = 0;
    const String* Source = nullptr;
    uint64_t ListedSize = 0;
    size_t InputOffset = 0;
    size_t InputSize = 0;
    size_t OutputOffset = 0;
    size_t OutputSize = 0;
    uint32_t Crc = 0;
    DWORD ReadError = 0;  // it could not be opened or read
};

// What one thread compresses at a time: a piece of a large file (read by the caller, in order),
// or a group of small files (read by the thread that compresses them: under Wine, opening and
// reading a small file costs more than compressing it, and handing over each file on its own would
// cost calls to the Wine server for every wait and wake).
struct TPiece {
    enum class TState { Free, Queued, Working, Done };
    TState State = TState::Free;
    std::vector<TGroupFile> Group;  // not empty: a group of small files
    size_t Entry = 0;
    bool First = false;
    bool Last = false;
    // The previous piece's last bytes (Window of them), then this piece's data; for a group, the
    // files' data one after another.
    TBuffer Input;
    size_t Window = 0;
    TBuffer Output;
    uint32_t Crc = 0;
    bool Failed = false;  // no memory to compress it

    size_t DataSize() const { return Input.Size() - Window; }
};

// Data whose bytes are spread evenly (what is compressed or enciphered already) gains nothing
// from Deflate: judged by the entropy of the byte values of a sample.
bool LooksIncompressible(const uint8_t* data, size_t size) {
    constexpr size_t kMinimum = 4096;
    constexpr size_t kSlices = 16;
    constexpr size_t kSlice = 4096;
    if (size < kMinimum) return false;
    uint32_t counts[256] = {};
    size_t sampled = 0;
    if (size <= kSlices * kSlice) {
        for (size_t i = 0; i < size; ++i) ++counts[data[i]];
        sampled = size;
    } else {
        const size_t step = (size - kSlice) / (kSlices - 1);
        for (size_t s = 0; s < kSlices; ++s)
            for (size_t i = s * step, end = i + kSlice; i < end; ++i) ++counts[data[i]];
        sampled = kSlices * kSlice;
    }
    double entropy = 0;
    for (uint32_t c : counts)
        if (c) {
            const double p = double(c) / double(sampled);
            entropy -= p * std::log2(p);
        }
    // A sample of random bytes falls short of 8 bits by about 255 / (2 n ln 2).
    const double expected = 8.0 - 255.0 / (2.0 * double(sampled) * std::log(2.0));
    return entropy >= expected - 0.05;
}

class TDeflater {
public:
    explicit TDeflater(int level) {
        if (deflateInit2(&FStream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~TDeflater() { deflateEnd(&FStream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Raw Deflate of size bytes at data into out from outOffset on, after the window (the bytes
    // before them, which matches may reach), ending on a byte boundary (a sync flush) or, for the
    // last data of a file, with the final block. Returns the bytes written.
    size_t Compress(const uint8_t* data, size_t size, const uint8_t* window, size_t windowSize, bool last, TBuffer& out,
                    size_t outOffset) {
        if (LooksIncompressible(data, size)) return Store(data, size, last, out, outOffset);
        if (deflateReset(&FStream) != Z_OK) throw std::bad_alloc();
        if (windowSize && deflateSetDictionary(&FStream, window, uInt(windowSize)) != Z_OK) throw std::bad_alloc();
        out.Resize(outOffset + deflateBound(&FStream, uLong(size)) + 64);
        FStream.next_in = const_cast<Bytef*>(data);
        FStream.avail_in = uInt(size);
        size_t produced = outOffset;
        for (;;) {
            FStream.next_out = out.Data() + produced;
            FStream.avail_out = uInt(out.Size() - produced);
            const int result = deflate(&FStream, last ? Z_FINISH : Z_SYNC_FLUSH);
            produced = out.Size() - FStream.avail_out;
            if (result == Z_STREAM_ERROR) throw std::bad_alloc();
            // With room left over, a sync flush has written everything; the finish ends the stream.
            if (last ? result == Z_STREAM_END : FStream.avail_out != 0) break;
            out.Resize(out.Size() * 2);
        }
        out.Resize(produced);
        return produced - outOffset;
    }

private:
    // Stored blocks: the bytes as they are, behind a 5-byte header per 64 KB.
    static size_t Store(const uint8_t* data, size_t size, bool last, TBuffer& out, size_t outOffset) {
        const size_t blocks = std::max<size_t>(1, (size + 65534) / 65535);
        out.Resize(outOffset + size + blocks * 5);
        uint8_t* to = out.Data() + outOffset;
        size_t done = 0;
        for (size_t b = 0; b < blocks; ++b) {
            const size_t n = std::min<size_t>(65535, size - done);
            *to++ = last && b + 1 == blocks ? 1 : 0;  // final flag, type 00; the rest of the byte is padding
            *to++ = uint8_t(n);
            *to++ = uint8_t(n >> 8);
            *to++ = uint8_t(~n);
            *to++ = uint8_t(~n >> 8);
            std::memcpy(to, data + done, n);
            to += n;
            done += n;
        }
        return size + blocks * 5;
    }

    z_stream FStream{};
};

// ---- the source files ----

TUniqueFile OpenSource(const String& path) {
    return TUniqueFile(CreateFileW(WidePtr(LongPathName(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Reads up to size bytes at the buffer; fewer when the file has shrunk. Returns a system error code.
DWORD ReadSource(HANDLE file, uint8_t* buffer, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        DWORD read = 0;
        if (!ReadFile(file, buffer + got, DWORD(std::min<size_t>(size - got, 1u << 30)), &read, nullptr))
            return GetLastError();
        if (!read) break;
        got += read;
    }
    return 0;
}

// Reads and compresses a piece: a group of small files (each whole, as large as listed: what is
// appended meanwhile is left for the next backup), or a piece of a large file.
void CompressPiece(TPiece& piece, TDeflater& deflater) {
    if (piece.Group.empty()) {
        const uint8_t* data = piece.Input.Data() + piece.Window;
        piece.Crc = uint32_t(crc32_z(0, data, piece.DataSize()));
        piece.Output.Resize(0);
        deflater.Compress(data, piece.DataSize(), piece.Input.Data(), piece.Window, piece.Last, piece.Output, 0);
        return;
    }
    size_t total = 0;
    for (const TGroupFile& file : piece.Group) total += size_t(file.ListedSize);
    piece.Input.Resize(total);
    piece.Output.Resize(0);
    size_t at = 0;
    for (TGroupFile& file : piece.Group) {
        TUniqueFile handle = OpenSource(*file.Source);
        size_t got = 0;
        file.ReadError =
            handle ? ReadSource(handle.Get(), piece.Input.Data() + at, size_t(file.ListedSize), got) : GetLastError();
        handle.Reset();
        file.InputOffset = at;
        file.InputSize = got;
        at += size_t(file.ListedSize);
        if (file.ReadError) continue;
        const uint8_t* data = piece.Input.Data() + file.InputOffset;
        file.Crc = uint32_t(crc32_z(0, data, got));
        file.OutputOffset = piece.Output.Size();
        file.OutputSize = deflater.Compress(data, got, nullptr, 0, true, piece.Output, file.OutputOffset);
    }
}

// Pieces go in in file order, are compressed by the helpers (and by the caller while it would
// otherwise wait) and come out in the same order to the writer, on the caller's thread.
class TPipeline {
public:
    TPipeline(int level, int helpers, std::function<void(TPiece&)> write)
        : FWrite(std::move(write)), FOwn(level), FSlots(kPiecesInFlight) {
        for (int i = 0; i < helpers; ++i) FDeflaters.push_back(std::make_unique<TDeflater>(level));
        try {
            for (int i = 0; i < helpers; ++i) FThreads.emplace_back([this, i] { Help(*FDeflaters[size_t(i)]); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~TPipeline() { Stop(); }
    TPipeline(const TPipeline&) = delete;
    TPipeline& operator=(const TPipeline&) = delete;

    // The next slot to fill; pieces before it are written or compressed meanwhile as needed.
    TPiece& NextFree() {
        std::unique_lock lock(FMutex);
        while (FSubmitted - FWritten == FSlots.size()) Serve(lock);
        TPiece& piece = FSlots[FSubmitted % FSlots.size()];
        piece.Group.clear();
        piece.Failed = false;
        return piece;
    }
    void Submit(TPiece& piece) {
        {
            std::lock_guard lock(FMutex);
            piece.State = TPiece::TState::Queued;
            ++FSubmitted;
        }
        FWork.notify_one();
    }
    // Writes every piece submitted.
    void Drain() {
        std::unique_lock lock(FMutex);
        while (FWritten < FSubmitted) Serve(lock);
    }
    // Writes the oldest pieces that are ready, without waiting.
    void WriteReady() {
        std::unique_lock lock(FMutex);
        while (FWritten < FSubmitted && Slot(FWritten).State == TPiece::TState::Done) WriteOldest(lock);
    }

private:
    void Stop() {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
        }
        FWork.notify_all();
        for (auto& t : FThreads) t.join();
    }
    TPiece& Slot(uint64_t sequence) { return FSlots[sequence % FSlots.size()]; }

    void WriteOldest(std::unique_lock<std::mutex>& lock) {
        TPiece& piece = Slot(FWritten);
        lock.unlock();
        FWrite(piece);
        lock.lock();
        piece.State = TPiece::TState::Free;
        ++FWritten;
    }
    // One step for the caller: write the oldest piece if it is done, else compress a waiting one,
    // else wait for a helper.
    void Serve(std::unique_lock<std::mutex>& lock) {
        if (Slot(FWritten).State == TPiece::TState::Done) {
            WriteOldest(lock);
        } else if (FTaken < FSubmitted) {
            Compress(lock, FOwn);
        } else {
            FDone.wait(lock);
        }
    }
    void Compress(std::unique_lock<std::mutex>& lock, TDeflater& deflater) {
        TPiece& piece = Slot(FTaken++);
        piece.State = TPiece::TState::Working;
        lock.unlock();
        try {
            CompressPiece(piece, deflater);
        } catch (...) {
            piece.Failed = true;
        }
        lock.lock();
        piece.State = TPiece::TState::Done;
    }
    void Help(TDeflater& deflater) {
        std::unique_lock lock(FMutex);
        while (!FStop) {
            if (FTaken < FSubmitted) {
                Compress(lock, deflater);
                FDone.notify_one();
            } else {
                FWork.wait(lock);
            }
        }
    }

    std::function<void(TPiece&)> FWrite;
    TDeflater FOwn;
    std::vector<TPiece> FSlots;
    std::vector<std::unique_ptr<TDeflater>> FDeflaters;
    std::vector<std::thread> FThreads;
    std::mutex FMutex;
    std::condition_variable FWork;  // helpers wait here for pieces
    std::condition_variable FDone;  // the caller waits here for compressed pieces
    uint64_t FSubmitted = 0;        // sequence numbers: pieces submitted, taken for compression, written
    uint64_t FTaken = 0;
    uint64_t FWritten = 0;
    bool FStop = false;
};

[[noreturn]] void RaiseUnreadable(const String& path, DWORD code, int64_t size) {
    TBackupArchiveFailure failure;
    failure.FileName = path;
    failure.FileSize = size;
    failure.SystemMessage = SysErrorMessage(code);
    failure.ZipMessage = Format(u"Cannot read \"%s\": %s", {path, failure.SystemMessage});
    throw TBackupArchiveError(failure.ZipMessage, failure);
}

std::string ZipName(const String& archiveName) {
    String name = archiveName;
    std::replace(name.begin(), name.end(), u'\\', u'/');
    return StringToUtf8(name);
}

// The names the archive would hold, refused before anything is written if two of them are the
// same to a reader that ignores case.
std::vector<std::string> CheckedNames(const String& archivePath, const std::vector<TBackupArchiveEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    std::unordered_set<String> seen;
    seen.reserve(entries.size());
    for (const auto& entry : entries) {
        names.push_back(ZipName(entry.ArchiveName));
        String key = UpperCase(entry.ArchiveName);
        std::replace(key.begin(), key.end(), u'\\', u'/');
        if (!seen.insert(std::move(key)).second)
            throw Exception(Format(u"Cannot create \"%s\": two files would have the name \"%s\" in it",
                                   {archivePath, Utf8ToString(names.back())}));
    }
    return names;
}

int DefaultHelpers() {
    const unsigned processors = std::thread::hardware_concurrency();
    return int(std::clamp(processors, 2u, 4u)) - 1;
}

}  // namespace

void WriteBackupArchive(const String& archivePath, const std::vector<TBackupArchiveEntry>& entries,
                        const std::function<void(size_t index)>& onFileStarted, const TBackupArchiveOptions& options) {
    const std::vector<std::string> names = CheckedNames(archivePath, entries);
    const int level = std::clamp(options.Level, 1, 9);
    TArchiveFile archive(archivePath);
    TZipWriter zip(archive, level);
    std::vector<TZipEntryInfo> infos(entries.size());
    TDosClock clock;

    // The writer's side, on this thread: headers, data, CRCs joined piece by piece.
    uint32_t crc = 0;
    uint64_t written = 0;
    auto write = [&](TPiece& piece) {
        if (piece.Failed)
            throw EOSError(ERROR_NOT_ENOUGH_MEMORY,
                           Format(u"Cannot write \"%s\": %s", {archivePath, SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)}));
        for (const TGroupFile& file : piece.Group) {
            if (file.ReadError) RaiseUnreadable(entries[file.Entry].FileName, file.ReadError, int64_t(file.ListedSize));
            zip.BeginEntry(infos[file.Entry]);
            zip.WriteData(piece.Output.Data() + file.OutputOffset, file.OutputSize);
            zip.EndEntry(file.Crc, file.InputSize);
            infos[file.Entry] = {};
        }
        if (!piece.Group.empty()) return;
        if (piece.First) {
            zip.BeginEntry(infos[piece.Entry]);
            crc = 0;
            written = 0;
        }
        zip.WriteData(piece.Output.Data(), piece.Output.Size());
        crc = uint32_t(crc32_combine(crc, piece.Crc, z_off_t(piece.DataSize())));
        written += piece.DataSize();
        if (piece.Last) {
            zip.EndEntry(crc, written);
            infos[piece.Entry] = {};  // the name is not needed any more
        }
    };
    TPipeline pipeline(level, options.Helpers >= 0 ? options.Helpers : DefaultHelpers(), write);

    TBuffer window;           // the end of the previous piece of the file being read
    TPiece* group = nullptr;  // small files gathered, not submitted yet
    size_t groupBytes = 0;
    auto submitGroup = [&] {
        if (!group) return;
        pipeline.Submit(*group);
        pipeline.WriteReady();
        group = nullptr;
        groupBytes = 0;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (onFileStarted) onFileStarted(i);
        const String& path = entries[i].FileName;
        // By name: under Wine far cheaper than asking an open handle (which costs a call to the
        // Wine server the first time).
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(WidePtr(LongPathName(path)), GetFileExInfoStandard, &data))
            RaiseUnreadable(path, GetLastError(), 0);
        const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        TZipEntryInfo& info = infos[i];
        info.Name = names[i];
        info.Attributes = data.dwFileAttributes;
        info.ExpectedSize = size;
        clock.DosDateTime(data.ftLastWriteTime, info.DosDate, info.DosTime);

        if (size <= kGroupFileLimit) {
            if (!group) group = &pipeline.NextFree();
            group->Group.push_back({i, &path, size});
            groupBytes += size_t(size);
            if (group->Group.size() >= kGroupFiles || groupBytes >= kGroupBytes) submitGroup();
            continue;
        }
        submitGroup();  // the files before this one go first

        // A larger file in pieces, read here in order; each piece carries the end of the one before.
        TUniqueFile file = OpenSource(path);
        if (!file) RaiseUnreadable(path, GetLastError(), int64_t(size));
        uint64_t remaining = size;
        bool first = true;
        for (;;) {
            TPiece& piece = pipeline.NextFree();
            piece.Entry = i;
            piece.First = first;
            piece.Window = first ? 0 : window.Size();
            const size_t want = size_t(std::min<uint64_t>(remaining, kPieceSize));
            piece.Input.Resize(piece.Window + want);
            if (piece.Window) std::memcpy(piece.Input.Data(), window.Data(), piece.Window);
            size_t got = 0;
            if (const DWORD error = ReadSource(file.Get(), piece.Input.Data() + piece.Window, want, got))
                RaiseUnreadable(path, error, int64_t(size));
            piece.Input.Resize(piece.Window + got);
            remaining -= got;
            piece.Last = remaining == 0 || got < want;
            const bool last = piece.Last;
            if (!last) {
                const size_t keep = std::min(kWindowSize, piece.Input.Size());
                window.Resize(keep);
                std::memcpy(window.Data(), piece.Input.Data() + piece.Input.Size() - keep, keep);
            }
            pipeline.Submit(piece);
            first = false;
            if (last) break;
        }
        pipeline.WriteReady();
    }
    submitGroup();
    pipeline.Drain();
    zip.Finish();
    archive.Commit();
}

std::vector<String> ReadBackupArchiveNames(const String& archivePath) {
    std::vector<String> names;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_win32w_create(WidePtr(LongPathName(archivePath)), 0, -1, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (source && !archive) zip_source_free(source);
    zip_error_fini(&error);
    if (!archive) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        names.push_back(Utf8ToString(zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW)));
    zip_close(archive);
    return names;
}

}  // namespace uinst
