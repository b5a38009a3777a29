#pragma once
// Writing a file whole: whoever reads it later finds the old file or the complete new one, never
// a part, even when the disk fills up or the process dies half way.
#include <functional>

#include "base/stream.h"

namespace uinst {

// The temporary file beside fileName that WriteFileReplacing writes first.
String PartialFileName(StringView fileName);

// Writes fileName through write: the content goes to PartialFileName (a stale one is removed
// first), reaches the disk, and then takes the place of fileName (a read-only file included).
// On any failure the temporary file is removed, fileName stays as it was and the error passes
// on: EFOpenError when the temporary file cannot be created or cannot replace fileName,
// EWriteError when writing fails, both naming the file with the system's reason; errors raised
// by write itself pass unchanged.
void WriteFileReplacing(StringView fileName, const std::function<void(TStream&)>& write);

}  // namespace uinst
