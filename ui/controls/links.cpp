#include "ui/controls/links.h"

#include <windows.h>

#include "platform/seams.h"

namespace uinst {

String LinkOpenTarget(StringView link, const std::function<bool(const String&)>& isFolder) {
    if (link.empty()) return String();
    const String target(link);
    if (target.find(u"//") != String::npos || (isFolder && isFolder(target))) return target;
    return u"http://" + target;
}

void ExecuteLink(StringView link) {
    const String target = LinkOpenTarget(link, [](const String& path) {
        const DWORD attributes = GetFileAttributesW(WidePtr(path));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
    if (!target.empty()) Seams().ShellOpen({u"open", target, String(), String()});
}

}  // namespace uinst
