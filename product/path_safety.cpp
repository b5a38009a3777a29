#include "product/path_safety.h"

#include <windows.h>

#include "base/paths.h"
#include "platform/files.h"
#include "base/text_case.h"

namespace uinst {

bool IsPathBelow(const String& path, const String& folder) {
    const String full = GetFullPath(path);
    const String base = IncludeTrailingPathDelimiter(GetFullPath(folder));
    if (full.empty() || base.size() < 2) return false;
    return full.size() > base.size() && SameText(StringView(full).substr(0, base.size()), base);
}

String ResolveEntryBelow(const String& folder, StringView entry, TLinkCheckCache* cache) {
    if (entry.empty() || folder.empty() || IsPathDelimiter(entry.front())) return String();
    if (entry.find(u':') != StringView::npos) return String();
    // Every component must be a plain name. The system drops trailing dots and blanks of a
    // component, so "..." or ".. " would climb like "..": refuse any component of dots and blanks.
    size_t start = 0;
    while (start <= entry.size()) {
        size_t end = start;
        while (end < entry.size() && !IsPathDelimiter(entry[end])) ++end;
        const StringView part = entry.substr(start, end - start);
        if (!part.empty() && part.find_first_not_of(u". ") == StringView::npos) return String();
        start = end + 1;
    }
    const String base = IncludeTrailingPathDelimiter(GetFullPath(folder));
    if (base.size() < 2) return String();
    const String full = GetFullPath(base + String(entry));
    if (full.size() <= base.size() || !SameText(StringView(full).substr(0, base.size()), base)) return String();
    // The folders between the installation folder and the entry must be real folders.
    for (size_t i = base.size(); i < full.size(); ++i) {
        if (full[i] != u'\\') continue;
        String step = full.substr(0, i);
        if (cache) {
            const auto known = cache->find(step);
            if (known != cache->end()) {
                if (known->second) return String();
                continue;
            }
        }
        const DWORD attributes = GetFileAttributesW(WidePtr(LongPathName(step)));
        const bool link = IsLink(attributes);
        if (cache) cache->emplace(std::move(step), link);
        if (link) return String();
    }
    return full;
}

}  // namespace uinst
