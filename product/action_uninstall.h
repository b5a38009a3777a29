#pragma once
// The two actions of a removal run: undo the shell integration, then delete the installed files,
// the folders left empty and, as the user chose, the backups and the user data.
#include "engine/installer_action.h"
#include "product/update_task.h"

namespace uinst {

// Runs the shell-menu, shortcut and registry tasks, in this order, without a deletion list.
class TInstallerActionUninstallIntegration : public TInstallerAction {
public:
    TInstallerActionUninstallIntegration();

    void Execute() override;
    const TInstallerUpdateTaskList& Tasks() const { return FTasks; }

private:
    TInstallerUpdateTaskList FTasks;
};

// How a folder of the removal's folder list is treated (the item's tag).
enum TUninstallFolderMark : intptr_t {
    fmOnlyIfEmpty = 0,  // removed when it is empty; a link is removed as a link
    fmWithContent = 1,  // deleted with everything in it (links inside are removed, not followed)
};

class TInstallerActionUninstallFiles : public TInstallerAction {
public:
    static constexpr StringView kFileListName = u"Uninstall.ini";
    static constexpr StringView kBackupFolderName = u"!Backup\\";
    static constexpr StringView kPortableProfileName = u"Profile\\";

    // Both lists are built before the first deletion, so a missing or unreadable file list stops
    // the run with nothing deleted.
    void Execute() override;

    // The installed files named by "Uninstall.ini", as full paths inside the installation folder,
    // without duplicates (case ignored). Entries that are absolute, climb out with "..", or lead
    // through a link are left out: the list cannot make setup delete anything elsewhere.
    TORLStringList CollectFiles();
    // Raises the "E12" error naming the listed files (other than the uninstaller's own two) that
    // are still there: a removal that leaves them behind has failed.
    void CheckFilesRemoved(const TORLStringList& files);
    // Every folder below the installation folder (inner ones first) to be removed when empty,
    // then, as chosen, the backup folder and the user data with their content.
    TORLStringList CollectFolders();
    // Appends the folder's subfolders, each after its own subfolders, marked fmOnlyIfEmpty. A
    // junction or symbolic link is listed as it stands and never entered.
    static void AddSubfolders(TORLStringList& list, const String& folder);
    // The user data: the portable profile (or, with the backups, the whole installation folder)
    // and, for a normal installation, every user's profile folder of this version.
    void AddContentFolders(TORLStringList& list);
    // "UserMode" of the installation's configuration: true for profiles per user.
    static bool ReadUserMode();
    static bool GetRemoveBackups();
    static bool GetRemoveContent();
};

}  // namespace uinst
