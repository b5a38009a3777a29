#pragma once
// File-system basics on top of the Win32 API.
#include <cstdint>
#include <vector>

#include "base/string.h"

namespace uinst {

// The temporary folder with a trailing backslash; raises EOSError when the system has none.
String GetTempFolder();
// The absolute form of a path as the system resolves it ("." and ".." gone, "/" as "\\"); empty
// on failure.
String GetFullPath(const String& path);
bool FileExists(StringView path);
// True for the attributes of a junction or symbolic link: what it shows belongs to another folder.
// False for INVALID_FILE_ATTRIBUTES, which has every bit set.
bool IsLink(uint32_t attributes);
bool DirectoryExists(StringView path);
// Reads or writes a whole file; raise EOSError with the file's name on failure.
std::vector<uint8_t> ReadFileBytes(StringView path);
void WriteFileBytes(StringView path, const void* data, size_t size);

}  // namespace uinst
