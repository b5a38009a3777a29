#include "product/action_prepare.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "platform/seams.h"
#include "engine/summary_builder.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/os_error.h"
#include "product/backup_archive.h"
#include "product/product_info_orvo.h"
#include "product/update_tasks.h"

namespace uinst {

const char16_t* const kBackupExcludedNames[5] = {u"AlbumArts.cache", u"AlbumArts.db", u"AlbumArtsCache.db",
                                                 u"AlbumArtCache.db", u"UpdateInstaller.exe"};

namespace {

int InstalledVersion() {
    return Installer->ProductInfo().GetInstalledVersion();
}

bool StartsWithText(const String& text, const String& prefix) {
    return text.size() >= prefix.size() && SameText(StringView(text).substr(0, prefix.size()), prefix);
}

// Ascending by the locale's case-sensitive comparison of the user's default locale.
void SortByLocale(TORLStringList& list) {
    std::vector<String> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list[i]);
    std::stable_sort(items.begin(), items.end(), [](const String& a, const String& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, 0, WidePtr(a), static_cast<int>(a.size()), WidePtr(b),
                              static_cast<int>(b.size())) == CSTR_LESS_THAN;
    });
    list.Clear();
    for (const auto& item : items) list.Add(item);
}

// Keeps the first of entries equal with case ignored; lists run to thousands of files.
void RemoveDuplicates(TORLStringList& list) {
    std::unordered_set<String> seen;
    TORLStringList unique;
    for (int i = 0; i < list.Count(); ++i)
        if (seen.insert(UpperCase(list[i])).second) unique.Add(list[i]);
    list = std::move(unique);
}

}  // namespace

String TInstallerActionPrepare::GetBackupFolder() const {
    return Installer->DestPath() + u"!Backup\\";
}

String TInstallerActionPrepare::GetBackupArchiveName() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u.%02u.%02u %02u-%02u-%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return GetBackupFolder() + u"z Before install " + Installer->ProductInfo().GetVersion() + u" [" + FromWide(stamp) +
           u"].zip";
}

void TInstallerActionPrepare::Execute() {
    FProgressPosition = 0;
    FProgressTotal = 0;
    TORLStringList deletions;
    FProfiles.Clear();
    FProfiles.Populate();
    CreateUpdateTasks();
    FProgressTotal = static_cast<int>(FTasks.size());
    BackupInstalledFiles(deletions);
    if (Installer->Options().Has(ioUpdate)) KeepUserContent(deletions);
    CollectOldBackups(deletions);
    CollectObsoleteFiles(deletions);
    CollectComponentTargets(deletions);
    RemoveDuplicates(deletions);
    RunUpdateTasks(deletions);
    DeleteCollected(deletions);
}

void TInstallerActionPrepare::CreateUpdateTasks() {
    const TInstallerOptions options = Installer->Options();
    if (!options.Has(ioPortable) && (!options.Has(ioUpdate) || InstalledVersion() < 4000)) {
        FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveShellMenu>());
        FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveUninstallInfo>());
        FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveShortcuts>());
    }
    if (options.Has(ioUpdate)) {
        for (const auto& profile : FProfiles)
            FTasks.push_back(std::make_unique<TInstallerUpdateTaskUpdateConfigs>(*profile));
    }
}

void TInstallerActionPrepare::BackupInstalledFiles(TORLStringList& deletions) {
    if (Installer->Options().Has(ioNoBackup)) return;
    TInstallerFileList list;
    CreateBackupFileList(list);
    FProgressTotal = static_cast<int>(FTasks.size()) + list.Count();
    for (int i = 0; i < list.Count(); ++i) deletions.Add(list.Items(i).FileName);
    for (const char16_t* name : kBackupExcludedNames) list.RemoveByName(name);
    WriteBackupArchive(list);
}

void TInstallerActionPrepare::CreateBackupFileList(TInstallerFileList& list) {
    const String dest = Installer->DestPath();
    // The destination's files are the installation's own only where a copy of the player is
    // installed: in a folder of the user's that holds none, they are neither archived nor deleted
    // (the archive would be the only copy left, and a removal deletes it).
    const bool holdsCopy = InstalledVersion() >= 1;
    if (Installer->Options().Has(ioPortable)) {
        if (holdsCopy) list.AddFolder(dest, GetBackupFolder(), u"");
        return;
    }
    for (const auto& profile : FProfiles)
        list.AddFolder(profile->SourcePath, u"", u"Profiles\\" + profile->BackupName + u"\\");
    if (holdsCopy) list.AddFolder(dest, GetBackupFolder(), u"Program\\");
}

void TInstallerActionPrepare::WriteBackupArchive(const TInstallerFileList& list) {
    SetStatus(GetCommonText(u"A1"));
    if (list.Count() == 0) return;
    int64_t total = 0;
    for (int i = 0; i < list.Count(); ++i) total += FileSizeOf(list.Items(i).FileName);
    if (total >= kBackupSizeLimit) throw EInstallerBackupError(u"Too many files for backup");
    ForceDirectories(GetBackupFolder());

    std::vector<TBackupArchiveEntry> entries;
    entries.reserve(static_cast<size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) entries.push_back({list.Items(i).FileName, list.Items(i).Name});
    try {
        uinst::WriteBackupArchive(GetBackupArchiveName(), entries, [this](size_t) {
            ++FProgressPosition;
            UpdateProgress();
        });
    } catch (const TBackupArchiveError& e) {
        throw EInstallerBackupError(
            Format(u"An error occurs while backuping the \"%s\" file (%d)\r\n%s\r\n%s",
                   {e.Failure.FileName, e.Failure.FileSize, e.Failure.ZipMessage, e.Failure.SystemMessage}));
    }
}

void TInstallerActionPrepare::UpdateProgress() {
    if (FProgressTotal == 0) {
        SetProgress(0);
        return;
    }
    SetProgress(static_cast<int>(std::lround(FProgressPosition * 100.0 / FProgressTotal)));
}

void TInstallerActionPrepare::KeepUserContent(TORLStringList& deletions) {
    const String dest = Installer->DestPath();
    std::vector<String> kept = {dest + u"Icons\\", dest + u"System\\Data\\", dest + u"System\\Encoders\\",
                                dest + u"Skins\\"};
    if (InstalledVersion() >= 3600) kept.push_back(dest + u"Plugins\\");
    for (int i = deletions.Count() - 1; i >= 0; --i) {
        for (const String& folder : kept) {
            if (StartsWithText(deletions[i], folder)) {
                deletions.Delete(i);
                break;
            }
        }
    }
}

void TInstallerActionPrepare::CollectOldBackups(TORLStringList& deletions) {
    TORLStringList archives;
    WIN32_FIND_DATAW data;
    const String folder = GetBackupFolder();
    TUniqueFind find(FindFirstFileW(WidePtr(LongPathName(folder + u"*.zip")), &data));
    if (find) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) archives.Add(folder + FromWide(data.cFileName));
        } while (FindNextFileW(find.Get(), &data));
    }
    SortByLocale(archives);
    for (int i = 0; i < archives.Count() - kKeptBackups; ++i) deletions.Add(archives[i]);
}

void TInstallerActionPrepare::CollectObsoleteFiles(TORLStringList& deletions) {
    wchar_t system[MAX_PATH + 1] = {};
    GetSystemDirectoryW(system, MAX_PATH + 1);
    const String optimFrog = IncludeTrailingPathDelimiter(FromWide(system)) + u"OptimFROG.dll";
    if (FileExists(optimFrog)) deletions.Add(optimFrog);

    const String plugins = Installer->DestPath() + u"Plugins\\";
    const int installed = InstalledVersion();
    auto addFolder = [&](const char16_t* name) { FindFiles(plugins + name + u"\\", u"", deletions); };
    if (installed < 4002)
        for (const char16_t* name :
             {u"orvo_SoundVault", u"orvo_openwith", u"LevelGauge", u"ShuffleQueue", u"BlendDeck"})
            addFolder(name);
    if (installed < 4699) addFolder(u"bass_webm");
    if (installed < 5030) addFolder(u"orvo_inputFFmpeg");
    addFolder(u"orvo_lastfm");
    addFolder(u"orvo_musicBrainz");
}

void TInstallerActionPrepare::CollectComponentTargets(TORLStringList& deletions) {
    for (const auto& entry : Script().Components()) deletions.Add(Resources().ExpandPath(entry->Name));
}

void TInstallerActionPrepare::RunUpdateTasks(TORLStringList& deletions) {
    SetStatus(GetCommonText(u"A5"));
    for (const auto& task : FTasks) {
        ++FProgressPosition;
        task->Execute(&deletions);
        UpdateProgress();
    }
}

void TInstallerActionPrepare::DeleteCollected(const TORLStringList& deletions) {
    SetStatus(GetCommonText(u"A3"));
    // Set aside (and restored if the run fails) rather than deleted while a journal runs.
    for (int i = 0; i < deletions.Count(); ++i) JournaledDelete(deletions[i]);
    TORLStringList folders;
    for (int i = 0; i < deletions.Count(); ++i) folders.Add(ExtractFilePath(deletions[i]));
    RemoveDuplicates(folders);
    SortByLocale(folders);
    TRunJournal* journal = ActiveJournal();
    for (int i = folders.Count() - 1; i >= 0; --i) {
        if (journal && DirectoryExists(folders[i])) journal->FolderRemoved(folders[i]);
        RemoveDirectoryW(WidePtr(LongPathName(folders[i])));
    }
    Seams().Checkpoint(u"deleted");
}

void TInstallerActionPrepare::BuildSummary(TInstallerSummaryBuilder& builder) {
    const TInstallerOptions options = Installer->Options();
    builder.SetHeader(u"PageSetup", u"LB1");
    builder.AddLine(Installer->DestPath());
    builder.SetHeader(u"PageSetup", u"Title");
    builder.AddLine(u"PageSetup", options.Has(ioUpdate) ? u"CB1" : options.Has(ioPortable) ? u"CB3" : u"CB2");
    if (!options.Has(ioNoBackup)) builder.AddLine(u"PageSetup", u"CB4");
    if (HasOtherInstallation()) {
        builder.SetHeader(u"PageSetup", u"Title");
        builder.AddLine(u"PageSetup", u"W3");
    }
}

bool HasOtherInstallation() {
    const TInstallerOptions options = Installer->Options();
    if (options.Has(ioUpdate)) return false;
    if (InstalledVersion() >= 1) return true;
    String folder;
    return !options.Has(ioPortable) && TProductInfoORVO::FindInstalledCopy(folder);
}

}  // namespace uinst
