#pragma once
// What a click on a link opens, the same for the rich viewer, the formatted label and the link
// labels of the pages.
#include <functional>

#include "base/string.h"

namespace uinst {

// The target handed to the shell: none (empty) for an empty link; the link as it is when it holds
// "//" or names an existing folder; otherwise the link with "http://" in front (a bare host name).
String LinkOpenTarget(StringView link, const std::function<bool(const String&)>& isFolder);
// Opens the link with the system's default handler through the shell seam (no waiting, no error
// shown).
void ExecuteLink(StringView link);

}  // namespace uinst
