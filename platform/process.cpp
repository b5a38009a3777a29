#include "platform/process.h"

#include <windows.h>

namespace uinst {

TUniqueHandle StartProcess(const String& commandLine, const TProcessOptions& options) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    String line = commandLine;  // CreateProcessW may write into its command line
    if (!CreateProcessW(options.Application.empty() ? nullptr : WidePtr(options.Application), WidePtr(line), nullptr,
                        nullptr, options.InheritHandles, 0, nullptr,
                        options.Directory.empty() ? nullptr : WidePtr(options.Directory), &si, &pi))
        return TUniqueHandle();
    // Wine starts a host (non-Windows) program without handles and may leave other values in
    // their places: only handles that are what they should be are kept and closed, so that a
    // stray value never closes a handle of ours (once it was the standard output).
    const TUniqueHandle thread(GetThreadId(pi.hThread) != 0 ? pi.hThread : nullptr);
    return TUniqueHandle(GetProcessId(pi.hProcess) != 0 ? pi.hProcess : nullptr);
}

}  // namespace uinst
