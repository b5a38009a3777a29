#pragma once
// Path text helpers. Windows paths: "\" separates folders, "/" is accepted when splitting, ":"
// ends a drive. Folders held by the program always end with a backslash.
#include "base/string.h"

namespace uinst {

bool IsPathDelimiter(Char c);
// The part after the last "\", "/" or ":".
String ExtractFileName(StringView path);
// Everything up to and including the last "\", "/" or ":".
String ExtractFilePath(StringView path);
// The extension with its dot ("" when the name has none).
String ExtractFileExt(StringView path);
// Replaces the extension of the file-name part (ext includes the dot, or is empty to remove it).
String ChangeFileExt(StringView path, StringView ext);
String IncludeTrailingPathDelimiter(StringView path);
String ExcludeTrailingPathDelimiter(StringView path);

// Longest path the plain Win32 file functions take; folders must leave room for an 8.3 name.
inline constexpr size_t kMaxPath = 260;
inline constexpr size_t kLongPathFrom = kMaxPath - 12;

// The form of a path to hand to the Win32 file functions. An absolute drive path of
// kLongPathFrom characters or more gets "\\?\", a network path "\\?\UNC\"; the system then
// takes the name as it stands, so "/" becomes "\" and "." and ".." parts and doubled separators
// are resolved first. Shorter, relative and already prefixed paths are returned unchanged.
String LongPathName(StringView path);

// A folder path made full, normalised and ending with one backslash: "/" read as "\", a
// "\\?\" prefix taken off, relative forms resolved against currentFolder (a full path), "." and
// ".." resolved (never above the root), empty parts dropped. A name ending with a dot or a blank,
// or holding a character that names cannot hold, is refused: the result is then false and
// badName is that name (empty when the path has no usable root, as "\\server" alone).
bool NormalizeFolderPath(StringView path, StringView currentFolder, String& result, String& badName);

}  // namespace uinst
