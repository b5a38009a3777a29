#pragma once
// Folder operations shared by the preparing action, the update tasks and the removal.
#include "base/string.h"

namespace uinst {

class TORLStringList;

class TSetupHelper {
public:
    TSetupHelper() = delete;

    // Copies the source folder's content recursively into the target folder, over files of the
    // same name; nothing when both name the same folder. Links to other folders (junctions,
    // symbolic links) are not followed. Raises EInstallerInstallError "Cannot copy ..." when the
    // source is missing or a step fails; the source is left as it is.
    static void CopyFolder(const String& source, const String& target);
    // Removes every entry that lies inside the folder (case ignored), walking from the last one.
    static void RemoveEntriesUnder(TORLStringList& list, const String& folder);
};

// Deletes the folder with its content, depth-first; the walk of a folder stops at its first
// failure. A junction or symbolic link is removed itself, never what it points to. Returns
// whether the folder itself was removed; never raises. Refuses (false) an empty or relative path
// and a drive or share root.
bool DeleteFolderTree(const String& folder);

}  // namespace uinst
