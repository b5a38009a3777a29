#include "base/file_replacement.h"

#include <memory>

#include "base/format.h"
#include "base/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#endif

namespace uinst {

namespace {

void RemoveQuietly(const String& fileName) {
#ifdef _WIN32
    const String name = LongPathName(fileName);
    SetFileAttributesW(WidePtr(name), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(WidePtr(name));
#else
    ::unlink(StringToUtf8(fileName).c_str());
#endif
}

EFOpenError ReplaceError(const String& fileName, uint32_t code) {
    return EFOpenError(Format(u"Cannot replace file \"%s\". %s", {fileName, SysErrorMessage(code)}));
}

// Puts the written temporary file in the target's place; the target is untouched on failure.
void MoveIntoPlace(const String& partial, const String& target) {
#ifdef _WIN32
    const String from = LongPathName(partial), to = LongPathName(target);
    // A read-only target cannot be replaced; it gets its attributes back when the move fails.
    const DWORD attributes = GetFileAttributesW(WidePtr(to));
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                          (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) SetFileAttributesW(WidePtr(to), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExW(WidePtr(from), WidePtr(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        if (readOnly) SetFileAttributesW(WidePtr(to), attributes);
        throw ReplaceError(target, code);
    }
#else
    if (std::rename(StringToUtf8(partial).c_str(), StringToUtf8(target).c_str()) != 0)
        throw ReplaceError(target, static_cast<uint32_t>(errno));
#endif
}

}  // namespace

String PartialFileName(StringView fileName) {
    return String(fileName) + u".partial";
}

void WriteFileReplacing(StringView fileName, const std::function<void(TStream&)>& write) {
    const String target(fileName);
    const String partial = PartialFileName(target);
    // What an earlier, interrupted attempt left behind (it may be read-only or a link).
    RemoveQuietly(partial);
    auto file = std::make_unique<TORLFileStream>(partial, TORLFileStream::TMode::fmCreate);
    try {
        write(*file);
        file->Flush();
        file.reset();
        MoveIntoPlace(partial, target);
    } catch (...) {
        file.reset();
        RemoveQuietly(partial);
        throw;
    }
}

}  // namespace uinst
