#include "platform/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "base/paths.h"

namespace uinst {

String GetSpecialFolder(int csidl, bool create) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE) || buffer[0] == 0) return String();
    return IncludeTrailingPathDelimiter(FromWide(buffer));
}

}  // namespace uinst
