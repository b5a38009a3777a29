#include "product/backup_archive.h"

#include <windows.h>
#include <zip.h>

#include <memory>

#include "base/format.h"
#include "base/paths.h"
#include "platform/handles.h"
#include "platform/os_error.h"

namespace uinst {

namespace {

// FILETIME to Unix time, for the zip writer's modification time.
time_t UnixTime(const FILETIME& ft) {
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<time_t>(ticks / 10000000ULL - 11644473600ULL);
}

struct TFileSourceState {
    String FileName;
    size_t Index = 0;
    const std::function<void(size_t)>* OnStarted = nullptr;
    TBackupArchiveFailure* Failure = nullptr;
    TUniqueFile File;
    WIN32_FILE_ATTRIBUTE_DATA Info{};
    bool HaveInfo = false;
    zip_error_t Error;
};

// A zip source that reads a file through the Win32 API (wide names) one block at a time.
zip_int64_t FileSourceCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<TFileSourceState*>(userdata);
    auto fail = [s](int zipError) -> zip_int64_t {
        const DWORD system = GetLastError();
        zip_error_set(&s->Error, zipError, 0);
        if (s->Failure && s->Failure->FileName.empty()) {
            s->Failure->FileName = s->FileName;
            s->Failure->FileSize =
                s->HaveInfo ? (static_cast<int64_t>(s->Info.nFileSizeHigh) << 32) | s->Info.nFileSizeLow : 0;
            s->Failure->ZipMessage = Utf8ToString(zip_error_strerror(&s->Error));
            s->Failure->SystemMessage = SysErrorMessage(system);
        }
        return -1;
    };
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            if (s->OnStarted && *s->OnStarted) (*s->OnStarted)(s->Index);
            s->File.Reset(CreateFileW(WidePtr(LongPathName(s->FileName)), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            if (!s->File) return fail(ZIP_ER_OPEN);
            return 0;
        case ZIP_SOURCE_READ: {
            DWORD read = 0;
            const DWORD chunk = static_cast<DWORD>(len > (1u << 30) ? (1u << 30) : len);
            if (!ReadFile(s->File.Get(), data, chunk, &read, nullptr)) return fail(ZIP_ER_READ);
            return read;
        }
        case ZIP_SOURCE_CLOSE:
            s->File.Reset();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s->Error);
            if (!st) return -1;
            zip_stat_init(st);
            if (s->HaveInfo) {
                st->size = (static_cast<zip_uint64_t>(s->Info.nFileSizeHigh) << 32) | s->Info.nFileSizeLow;
                st->mtime = UnixTime(s->Info.ftLastWriteTime);
                st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->Error, data, len);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&s->Error);
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&s->Error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

String ZipArchiveError(zip_t* archive) {
    return Utf8ToString(zip_strerror(archive));
}

std::string ZipName(const String& archiveName) {
    String name = archiveName;
    for (Char& c : name)
        if (c == u'\\') c = u'/';
    return StringToUtf8(name);
}

}  // namespace

void WriteBackupArchive(const String& archivePath, const std::vector<TBackupArchiveEntry>& entries,
                        const std::function<void(size_t index)>& onFileStarted) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_win32w_create(WidePtr(LongPathName(archivePath)), 0, -1, &error);
    zip_t* archive = target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    if (!archive) {
        if (target) zip_source_free(target);
        const String message =
            Format(u"Cannot create \"%s\": %s", {archivePath, Utf8ToString(zip_error_strerror(&error))});
        zip_error_fini(&error);
        throw Exception(message);
    }
    zip_error_fini(&error);

    TBackupArchiveFailure failure;
    auto abandon = [&](const String& message) {
        zip_discard(archive);
        throw Exception(message);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        auto* state = new TFileSourceState;
        state->FileName = entries[i].FileName;
        state->Index = i;
        state->OnStarted = &onFileStarted;
        state->Failure = &failure;
        zip_error_init(&state->Error);
        state->HaveInfo =
            GetFileAttributesExW(WidePtr(LongPathName(state->FileName)), GetFileExInfoStandard, &state->Info) != FALSE;
        zip_source_t* source = zip_source_function(archive, FileSourceCallback, state);
        if (!source) {
            zip_error_fini(&state->Error);
            delete state;
            abandon(ZipArchiveError(archive));
        }
        const zip_int64_t index =
            zip_file_add(archive, ZipName(entries[i].ArchiveName).c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            abandon(ZipArchiveError(archive));
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
        if (state->HaveInfo) {
            zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), UnixTime(state->Info.ftLastWriteTime), 0);
            // DOS attributes in the low byte, as the zip format keeps them for FAT-style systems.
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_DOS,
                                             state->Info.dwFileAttributes & 0xFF);
        }
    }
    if (zip_close(archive) != 0) {
        const String zipMessage = ZipArchiveError(archive);
        zip_discard(archive);
        if (!failure.FileName.empty()) throw TBackupArchiveError(zipMessage, failure);
        throw Exception(Format(u"Cannot write \"%s\": %s", {archivePath, zipMessage}));
    }
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
