#include "engine/file_list.h"

#include <windows.h>

#include "base/paths.h"
#include "base/text_case.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace uinst {

void TInstallerFileList::Add(const String& fileName, const String& name) {
    FItems.push_back(std::make_unique<TInstallerFileListItem>(TInstallerFileListItem{name, fileName}));
}

void TInstallerFileList::AddFolder(const String& folder, const String& excludeFolder, const String& prefix) {
    TORLStringList files;
    FindFiles(folder, excludeFolder, files);
    const String base = IncludeTrailingPathDelimiter(folder);
    for (int i = 0; i < files.Count(); ++i) Add(files[i], prefix + files[i].substr(base.size()));
}

void TInstallerFileList::RemoveByName(StringView name) {
    for (int i = Count() - 1; i >= 0; --i)
        if (SameText(ExtractFileName(FItems[static_cast<size_t>(i)]->FileName), name)) Delete(i);
}

void FindFiles(const String& folder, const String& excludeFolder, TORLStringList& list) {
    const String base = IncludeTrailingPathDelimiter(folder);
    if (!excludeFolder.empty() && base.size() >= excludeFolder.size() &&
        SameText(StringView(base).substr(0, excludeFolder.size()), excludeFolder))
        return;
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileExW(WidePtr(LongPathName(base + u"*")), FindExInfoBasic, &data, FindExSearchNameMatch,
                                      nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    TORLStringList folders;
    do {
        const String name = FromWide(data.cFileName);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name == u"." || name == u"..") continue;
            if (IsLink(data.dwFileAttributes)) continue;
            folders.Add(name);
        } else {
            list.Add(base + name);
        }
    } while (FindNextFileW(find.Get(), &data));
    folders.SortLogical();
    for (int i = 0; i < folders.Count(); ++i) FindFiles(base + folders[i], excludeFolder, list);
}

}  // namespace uinst
