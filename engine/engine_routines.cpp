#include "engine/engine_routines.h"

#include <windows.h>

#include "base/paths.h"
#include "platform/files.h"
#include "platform/os_error.h"

namespace uinst {

void CopyFileOrRaise(const String& source, const String& dest) {
    if (!CopyFileW(WidePtr(LongPathName(source)), WidePtr(LongPathName(dest)), FALSE))
        RaiseLastOSError(source + u" -> " + dest);
}

String CopyToTempFolder(const String& fileName) {
    const String copy = GetTempFolder() + ExtractFileName(fileName);
    CopyFileOrRaise(fileName, copy);
    DeleteFileOnReboot(copy);
    return copy;
}

void DeleteFileOnReboot(const String& fileName) {
    MoveFileExW(WidePtr(LongPathName(fileName)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteOrDefer(const String& fileName) {
    if (!FileExists(fileName)) return;
    const String name = LongPathName(fileName);
    SetFileAttributesW(WidePtr(name), 0);
    if (DeleteFileW(WidePtr(name))) return;
    const String folder = GetTempFolder();
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(WidePtr(folder), L"delete", 0, temp)) RaiseLastOSError(u"GetTempFileName");
    DeleteFileW(temp);
    if (MoveFileW(WidePtr(name), temp)) DeleteFileOnReboot(FromWide(temp));
}

String ModuleFileName() {
    String buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, WidePtr(buffer), static_cast<DWORD>(buffer.size()));
        if (n == 0) RaiseLastOSError(u"GetModuleFileName");
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace uinst
