#pragma once
// File routines shared by the entry, the actions and the update tasks.
#include "base/string.h"

namespace uinst {

// Copies with overwrite; raises the system's error with "Source -> Dest" as context.
void CopyFileOrRaise(const String& source, const String& dest);
// Copies a file into the temporary folder, schedules the copy's deletion at restart, returns it.
String CopyToTempFolder(const String& fileName);
void DeleteFileOnReboot(const String& fileName);
// Deletes a file; a locked one is moved to a temporary name and deleted at the next restart.
void DeleteOrDefer(const String& fileName);
// The full path of this program.
String ModuleFileName();

}  // namespace uinst
