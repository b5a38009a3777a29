#pragma once
// Shell links (".lnk" files) through the shell's COM objects.
#include "base/string.h"

namespace uinst {

// Writes a link at linkFile that starts target (only the target path is set), replacing a file of
// that name. False, without writing, when no file exists at target; false on any error.
bool CreateShellLink(const String& linkFile, const String& target);
// The target path stored in the link, without resolving a moved target; empty on any failure.
String GetShellLinkTarget(const String& linkFile);

}  // namespace uinst
