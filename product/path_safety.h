#pragma once
// Checks that keep deletions inside the folder they belong to: a stored list or a registry value
// that was damaged or edited by hand must never make setup delete somebody else's files.
#include <unordered_map>

#include "base/string.h"

namespace uinst {

// True when the path lies strictly below the folder once both are made full paths (case ignored).
bool IsPathBelow(const String& path, const String& folder);

// The full path of an entry that is relative to the folder (a full path ending with a
// backslash). Empty when the entry is empty, absolute ("\x", "C:x", "\\server\..."), names a
// parent (".."), holds a ":" (a drive or a stream), leaves the folder in any other way, or passes
// through a junction or symbolic link below the folder (what lies behind one belongs elsewhere).
// A caller that resolves many entries passes a cache of the folders already looked at (a folder
// path and whether it is a link), which saves a file-system query per folder and entry.
using TLinkCheckCache = std::unordered_map<String, bool>;
String ResolveEntryBelow(const String& folder, StringView entry, TLinkCheckCache* cache = nullptr);

}  // namespace uinst
