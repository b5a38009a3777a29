#pragma once
// Starting programs as new processes.
#include "base/string.h"
#include "platform/handles.h"

namespace uinst {

struct TProcessOptions {
    // The program file, when the command line's first word is not its path; empty otherwise.
    String Application;
    // Only a program of our own may share our handles: a helper has no business with our files.
    bool InheritHandles = false;
    // The current folder of the new process; this process's own when empty.
    String Directory = String();
};

// Starts the command line as a new process of the same user, its window shown normally. Returns
// the process handle, or an empty one when the program did not start (GetLastError() says why).
// Wine starts a host (non-Windows) program without giving a handle: that one comes back empty too.
TUniqueHandle StartProcess(const String& commandLine, const TProcessOptions& options = {});

}  // namespace uinst
