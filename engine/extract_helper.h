#pragma once
// Writes one file out of the packages, including what happens when the target exists and cannot
// be overwritten (a running player, a file another program holds).
#include <memory>

#include "base/format.h"
#include "base/stream.h"

namespace uinst {

class TInstallerScriptFile;

class TInstallerExtractHelper {
public:
    // How long a run without message boxes retries a locked file before it aborts.
    static constexpr uint32_t kUnattendedRetryMs = 5000;

    void Extract(const TInstallerScriptFile& entry);
    // Creates the folder and its missing parents; raises the "E3" text when that fails.
    void ForceDirectories(const String& folder);
    // The file opened for writing, or nothing when the file on disk is to stay as it is.
    std::unique_ptr<TStream> CreateTargetStream(const String& fileName, TStream& source);
    String FormatText(StringView key, std::initializer_list<FormatArg> arguments) const;
};

}  // namespace uinst
