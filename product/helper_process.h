#pragma once
// Starting one of the product's helper programs and waiting for it, without letting a helper that
// never ends hold the installation forever.
#include <windows.h>

#include <cstdint>

#include "base/string.h"

namespace uinst {

enum class THelperRunResult {
    NotStarted,  // the program could not be started
    NotIdle,     // it did not become ready for input in time: not waited for
    Ended,       // it ended
    TimedOut,    // still running when the time limit passed: left running, not waited for
    Cancelled,   // the cancel event was set while waiting: left running
};

// How long a helper may take to become ready for input before the caller stops waiting for it.
inline constexpr uint32_t kHelperInputIdleMs = 5000;

// Starts the command line (through the StartProcess seam), waits up to kHelperInputIdleMs for it to become ready for
// input and, unless that runs out, until it ends, the time limit passes or the cancel event (may be null) is set. A
// helper that outlives the wait is not killed: it may be halfway through the registry.
THelperRunResult RunHelperAndWait(const String& commandLine, uint32_t timeLimitMs, HANDLE cancelEvent);

// The command line for a program and its switch text; the path is quoted, because an unquoted path
// with blanks makes the system try "C:\Program.exe" and similar names first.
String HelperCommandLine(const String& program, const String& switches);

}  // namespace uinst
