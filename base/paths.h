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

}  // namespace uinst
