#pragma once
#include "base/string.h"

namespace uinst {

// A special folder by its CSIDL (CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAM_FILES, ...), with a trailing
// backslash; empty when the system has none.
String GetSpecialFolder(int csidl, bool create = false);

}  // namespace uinst
