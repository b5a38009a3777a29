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
    const TUniqueHandle thread(pi.hThread);
    return TUniqueHandle(pi.hProcess);
}

}  // namespace uinst
