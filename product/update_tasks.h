#pragma once
// The update tasks of the player: the shell menu libraries, the entries in the Windows list of
// installed programs, the shortcuts, the helper's registry integration, and the configuration
// files of one user profile written by older versions.
#include <functional>

#include "product/update_task.h"

namespace uinst {

class TInstallerProfileInfo;

// The names of the older generation (versions before 4000) and of the current one, used for the
// entries in the list of installed programs, the shortcuts and the start-menu folders.
inline constexpr StringView kOldGenerationName = u"ORVO3";
inline constexpr StringView kCurrentGenerationName = u"ORVO";

// Unregisters and deletes the context-menu libraries of the destination.
class TInstallerUpdateTaskRemoveShellMenu : public TInstallerUpdateTask {
public:
    static constexpr StringView kMenuLibrary32 = u"System\\orvo_menu32.dll";
    static constexpr StringView kMenuLibrary64 = u"System\\orvo_menu64.dll";

    void Execute(TORLStringList* deletionList) override;

protected:
    // A library that does not load into this process (the other width) is only deleted.
    static void UnregisterAndDelete(const String& path);
};

// Lets the helper undo its registry work ("/REG=U"), then removes the product's entry from the
// list of installed programs.
class TInstallerUpdateTaskRemoveFromRegistry : public TInstallerUpdateTask {
public:
    static constexpr StringView kHelperSwitches = u" /REG=U";

    void Execute(TORLStringList* deletionList) override;
};

// Removes the entries "ORVO3" and "ORVO" from the list of installed programs when they belong to
// a copy in the destination; entries of copies elsewhere stay.
class TInstallerUpdateTaskRemoveUninstallInfo : public TInstallerUpdateTask {
public:
    void Execute(TORLStringList* deletionList) override;
    // True when the entry was found inside the destination and removed.
    static bool RemoveEntry(const String& name);
};

// Carries one user profile over to the new version: copies the older generation's profile
// folder, keeps the profile's files out of the deletion list, renames configuration files whose
// names changed and marks files that are no longer used for deletion.
class TInstallerUpdateTaskUpdateConfigs : public TInstallerUpdateTask {
public:
    // The profile belongs to the caller's profile list, which outlives the task.
    explicit TInstallerUpdateTaskUpdateConfigs(TInstallerProfileInfo& profile) : FProfile(&profile) {}

    void Execute(TORLStringList* deletionList) override;
    const TInstallerProfileInfo& Profile() const { return *FProfile; }

    // Moves folder + oldName to folder + newName when the old file exists; the move fails (and
    // raises the system's error) when a file of the new name is there already.
    static void RenameIfExists(const String& folder, StringView oldName, StringView newName);
    // Appends the path to the list (when there is one) if a file exists there.
    static void MarkIfExists(TORLStringList* list, const String& path);

protected:
    void MigrateFrom3x(TORLStringList* list);
    void RemoveOldSkins(TORLStringList* list);
    void RemoveAlbumArtsDatabase(TORLStringList* list);
    // Errors here are swallowed: the album-art cache is rebuilt by the player if need be.
    void MigrateAlbumArtCache(TORLStringList* list);

private:
    // The profile folder of the new version; empty when it is not a full path, so no step works
    // relative to the current folder.
    String ProfileFolder() const;

    TInstallerProfileInfo* FProfile;
};

// Deletes the desktop shortcuts and start-menu folders named "ORVO" (and, after a version before
// 4000, "ORVO3") of the current user and of all users.
class TInstallerUpdateTaskRemoveShortcuts : public TInstallerUpdateTask {
public:
    void Execute(TORLStringList* deletionList) override;

protected:
    virtual void RemoveShortcutsNamed(const String& name);
};

}  // namespace uinst
