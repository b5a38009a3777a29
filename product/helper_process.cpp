#include "product/helper_process.h"

#include <vector>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/seams.h"

namespace uinst {

THelperRunResult RunHelperAndWait(const String& commandLine, uint32_t timeLimitMs, HANDLE cancelEvent) {
    const TUniqueHandle process = Seams().StartProcess(commandLine);
    if (!process) return THelperRunResult::NotStarted;
    if (WaitForInputIdle(process.Get(), kHelperInputIdleMs) == WAIT_TIMEOUT) return THelperRunResult::NotIdle;
    std::vector<HANDLE> handles{process.Get()};
    if (cancelEvent) handles.push_back(cancelEvent);
    const DWORD r = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeLimitMs);
    if (r == WAIT_OBJECT_0) return THelperRunResult::Ended;
    if (r == WAIT_OBJECT_0 + 1) return THelperRunResult::Cancelled;
    if (r == WAIT_TIMEOUT) return THelperRunResult::TimedOut;
    return THelperRunResult::Ended;  // the wait itself failed: nothing left to wait for
}

String HelperCommandLine(const String& program, const String& switches) {
    // An installation deep below its drive holds helpers that the system cannot start by their
    // full name; their short name starts them.
    return u"\"" + StartablePath(program) + u"\"" + switches;
}

}  // namespace uinst
