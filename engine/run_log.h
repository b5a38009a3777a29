#pragma once
// The "/LOG=FILE" run log: one UTF-8 line per event, with the time, from any thread.
#include "base/string.h"

namespace uinst {

// Opens (appends to) the log file, creating the folders it needs; false with the system's reason
// when it cannot be opened.
bool OpenRunLog(const String& fileName, String& error);
void CloseRunLog();
bool RunLogOpen();
// Writes one line when a log is open; otherwise does nothing.
void RunLogLine(const String& text);

}  // namespace uinst
