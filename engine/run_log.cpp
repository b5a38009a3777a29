#include "engine/run_log.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "base/paths.h"
#include "base/string_list.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/os_error.h"

namespace uinst {

namespace {
std::mutex gLock;
TUniqueFile gFile;
}  // namespace

bool OpenRunLog(const String& fileName, String& error) {
    std::lock_guard<std::mutex> lock(gLock);
    gFile.Reset();
    error.clear();
    // An unattended run has no other output: the folder of the log is made when it is missing.
    const String full = GetFullPath(fileName);
    uint32_t code = ERROR_SUCCESS;
    if (full.empty()) {
        code = GetLastError();
    } else if (ForceFolders(ExtractFilePath(full), code)) {
        gFile.Reset(CreateFileW(WidePtr(LongPathName(full)), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!gFile) code = GetLastError();
    }
    if (gFile) return true;
    error = SysErrorMessage(code == ERROR_SUCCESS ? ERROR_INVALID_NAME : code);
    return false;
}

void CloseRunLog() {
    std::lock_guard<std::mutex> lock(gLock);
    gFile.Reset();
}

bool RunLogOpen() {
    std::lock_guard<std::mutex> lock(gLock);
    return gFile.Valid();
}

void RunLogLine(const String& text) {
    std::lock_guard<std::mutex> lock(gLock);
    if (!gFile) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()));
    // A multi-line text (an error item) keeps its lines, each indented under the stamp.
    TORLStringList lines;
    lines.SetText(text);
    std::string out = stamp;
    for (int i = 0; i < lines.Count(); ++i) {
        if (i > 0) out += "    ";
        out += StringToUtf8(lines[i]);
        out += "\r\n";
    }
    if (lines.Empty()) out += "\r\n";
    DWORD written = 0;
    WriteFile(gFile.Get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

}  // namespace uinst
