#pragma once
// The zip archive of replaced files: classic zip, Deflate, UTF-8 names (flag bit 11), each file's
// modification time and attributes. Files are read one block at a time while the archive is
// written; none is held in memory whole.
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

// Writes the archive at the path (replacing a file of that name). onFileStarted is called with
// the entry's index as each file is read. Raises TBackupArchiveError for an unreadable file (no
// archive is left then), EOSError-like Exceptions for an archive that cannot be created.
void WriteBackupArchive(const String& archivePath, const std::vector<TBackupArchiveEntry>& entries,
                        const std::function<void(size_t index)>& onFileStarted);

// The entry names of an archive, in archive order ("/" separated, as stored); empty when the
// archive cannot be read.
std::vector<String> ReadBackupArchiveNames(const String& archivePath);

}  // namespace uinst
