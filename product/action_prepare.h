#pragma once
// Clears the way for a new version: backs up what is about to be replaced into a zip archive,
// runs the update tasks, then deletes the old files. Everything is collected first and deleted
// last, so a failure before the deletion leaves the previous installation as it was.
#include "base/string_list.h"
#include "engine/installer_action.h"
#include "engine/file_list.h"
#include "product/profile_helper.h"
#include "product/update_task.h"

namespace uinst {

class TInstallerActionPrepare : public TInstallerAction {
public:
    // Zip offsets must fit the classic format's 32-bit fields.
    static constexpr int64_t kBackupSizeLimit = int64_t(1) << 31;
    static constexpr int kKeptBackups = 3;

    void Execute() override;
    void BuildSummary(TInstallerSummaryBuilder& builder) override;

    String GetBackupFolder() const;
    String GetBackupArchiveName() const;
    const TInstallerUpdateTaskList& Tasks() const { return FTasks; }

private:
    void CreateUpdateTasks();
    void BackupInstalledFiles(TORLStringList& deletions);
    void CreateBackupFileList(TInstallerFileList& list);
    void WriteBackupArchive(const TInstallerFileList& list);
    void KeepUserContent(TORLStringList& deletions);
    void CollectOldBackups(TORLStringList& deletions);
    void CollectObsoleteFiles(TORLStringList& deletions);
    void CollectComponentTargets(TORLStringList& deletions);
    void RunUpdateTasks(TORLStringList& deletions);
    void DeleteCollected(const TORLStringList& deletions);
    void UpdateProgress();

    TInstallerProfileInfoList FProfiles;
    int FProgressPosition = 0;
    TInstallerUpdateTaskList FTasks;
    int FProgressTotal = 0;
};

// The files that are never archived (caches the player rebuilds, the updater).
extern const char16_t* const kBackupExcludedNames[5];
// True when another copy of the player would stay beside this installation.
bool HasOtherInstallation();

}  // namespace uinst
