#pragma once
// Lists of existing files: each with the name it is to be stored under (in a backup archive, for
// example) and its full path; and the recursive search that fills them.
#include <memory>
#include <vector>

#include "base/string_list.h"

namespace uinst {

struct TInstallerFileListItem {
    String Name;
    String FileName;
};

class TInstallerFileList {
public:
    void Add(const String& fileName, const String& name);
    // Every file below the folder (except below the excluded folder), named prefix + the path
    // below the folder.
    void AddFolder(const String& folder, const String& excludeFolder, const String& prefix);
    // Removes every item whose file name part equals the name (case ignored).
    void RemoveByName(StringView name);
    int Count() const { return static_cast<int>(FItems.size()); }
    const TInstallerFileListItem& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    void Delete(int index) { FItems.erase(FItems.begin() + index); }
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TInstallerFileListItem>> FItems;
};

// Adds every file below the folder as a full path: a folder's files first, then its sub-folders
// in logical order. A folder at or below the excluded folder is skipped. Junctions and symbolic
// links to folders are never entered: what they point to belongs to somebody else.
void FindFiles(const String& folder, const String& excludeFolder, TORLStringList& list);

}  // namespace uinst
