#pragma once
// The zip archive of replaced files: classic zip, Deflate, UTF-8 names (flag bit 11), each file's
// modification time and attributes. Files are read in pieces of 1 MB that are compressed on every
// processor at once (each piece continues the Deflate stream of the one before) and written in
// order; a bounded number of pieces is in memory, never a whole file.
#include <functional>
#include <vector>

#include "base/errors.h"
#include "base/string.h"

namespace uinst {

struct TBackupArchiveEntry {
    String FileName;     // the file on disk
    String ArchiveName;  // its name inside the archive, "\" separated
};

// A file of the archive that could not be read: which one, and what the zip writer and the
// system said.
struct TBackupArchiveFailure {
    String FileName;
    int64_t FileSize = 0;
    String ZipMessage;
    String SystemMessage;
};

class TBackupArchiveError : public Exception {
public:
    TBackupArchiveError(String message, TBackupArchiveFailure failure)
        : Exception(std::move(message)), Failure(std::move(failure)) {}
    TBackupArchiveFailure Failure;
};

// The Deflate level of backups: the lowest whose archive came within about 1 % of the size of
// zip's default level (-6) on a generated installation and on 3000 small files (bench/backup-bench
// --sweep: level 4 gave 1.010 and 1.006 of it, level 2 1.025 and 1.027; level 6 and up cost twice
// the time or more for under 1 %).
constexpr int kBackupArchiveLevel = 4;

struct TBackupArchiveOptions {
    int Level = kBackupArchiveLevel;
    // Threads that compress besides the caller; -1: one per processor beyond the first (at least
    // one, at most three).
    int Helpers = -1;
};

// Writes the archive at the path (replacing a file of that name). onFileStarted is called with
// the entry's index as each file is read. Two entries whose names differ only in case (or in "\"
// against "/") are refused before anything is written. Raises TBackupArchiveError for an
// unreadable file, EOSError with the archive's path and the system's text for an archive that
// cannot be created or written; an archive that was not completed is deleted.
void WriteBackupArchive(const String& archivePath, const std::vector<TBackupArchiveEntry>& entries,
                        const std::function<void(size_t index)>& onFileStarted,
                        const TBackupArchiveOptions& options = {});

// The entry names of an archive, in archive order ("/" separated, as stored); empty when the
// archive cannot be read.
std::vector<String> ReadBackupArchiveNames(const String& archivePath);

}  // namespace uinst
