#pragma once
// File-system basics on top of the Win32 API. Names of any length: each call hands the system the
// long-path form of its name (LongPathName).
#include <cstdint>
#include <functional>
#include <vector>

#include "base/string.h"

namespace uinst {

// The temporary folder with a trailing backslash; raises EOSError when the system has none.
String GetTempFolder();
// The absolute form of a path as the system resolves it ("." and ".." gone, "/" as "\\"); empty
// on failure.
String GetFullPath(const String& path);
// The process's current folder, without a trailing backslash as the system gives it.
String GetCurrentFolder();
// Creates a folder (a full path) and its missing parents. False with the system's error code
// when a level cannot be made; a folder that exists already is success. `beforeCreate`, when
// given, hears each folder (without a trailing backslash) just before it is made.
bool ForceFolders(const String& folder, uint32_t& error,
                  const std::function<void(const String&)>& beforeCreate = nullptr);
// A path under which the system can start the program: a path of MAX_PATH characters or more in
// its short (8.3) form when the volume keeps one that is shorter, else the path as it is.
String StartablePath(const String& path);
bool FileExists(StringView path);
// True for the attributes of a junction or symbolic link: what it shows belongs to another folder.
// False for INVALID_FILE_ATTRIBUTES, which has every bit set.
bool IsLink(uint32_t attributes);
bool DirectoryExists(StringView path);
// The size of a file in bytes; 0 when it cannot be read.
int64_t FileSizeOf(StringView path);
// Reads or writes a whole file; raise EOSError with the file's name on failure.
std::vector<uint8_t> ReadFileBytes(StringView path);
void WriteFileBytes(StringView path, const void* data, size_t size);

}  // namespace uinst
