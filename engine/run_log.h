#pragma once
// The "/LOG=FILE" run log: one UTF-8 line per event, with the time, from any thread.
#include "base/string.h"

namespace uinst {

// Opens (appends to) the log file; false when it cannot be created.
bool OpenRunLog(const String& fileName);
void CloseRunLog();
bool RunLogOpen();
// Writes one line when a log is open; otherwise does nothing.
void RunLogLine(const String& text);

}  // namespace uinst
