#include "product/update_tasks.h"

#include <shlobj.h>
#include <windows.h>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/application_repository.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "engine/uninstall_registration.h"
#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/seams.h"
#include "platform/shell_folders.h"
#include "product/action_integrate.h"
#include "product/helper_process.h"
#include "product/path_safety.h"
#include "product/profile_helper.h"
#include "product/setup_helper.h"
#include "product/user_accounts.h"

namespace uinst {

namespace {

int InstalledVersion() {
    return Installer->ProductInfo().GetInstalledVersion();
}

// A name that stays one entry inside the folder it is appended to.
bool IsPlainName(StringView name) {
    if (name.empty() || name.find_first_not_of(u". ") == StringView::npos) return false;
    for (const Char c : name)
        if (IsPathDelimiter(c)) return false;
    return true;
}

}  // namespace

// --- shell menu ---------------------------------------------------------------------------------

void TInstallerUpdateTaskRemoveShellMenu::Execute(TORLStringList*) {
    UnregisterAndDelete(Installer->DestPath() + String(kMenuLibrary32));
    UnregisterAndDelete(Installer->DestPath() + String(kMenuLibrary64));
}

void TInstallerUpdateTaskRemoveShellMenu::UnregisterAndDelete(const String& path) {
    if (!FileExists(path)) return;
    if (TRunJournal* journal = ActiveJournal()) journal->LibraryUnregistering(path);
    TInstallerActiveX::Unregister(path);
    JournaledDelete(path);
}

// --- registry integration -----------------------------------------------------------------------

void TInstallerUpdateTaskRemoveFromRegistry::Execute(TORLStringList*) {
    const String helper = Installer->DestPath() + TInstallerActionIntegrate::kHelperName;
    // Started as the integration action starts it (quoted path, bounded wait); whatever the
    // helper does or fails to do, the entry below goes all the same.
    if (FileExists(helper))
        RunHelperAndWait(HelperCommandLine(helper, String(kHelperSwitches)),
                         TInstallerActionIntegrate::kHelperTimeLimitMs, nullptr);
    TInstallerApplicationRepository::Unregister(Installer->ProductInfo().GetName());
}

// --- entries of the list of installed programs --------------------------------------------------

void TInstallerUpdateTaskRemoveUninstallInfo::Execute(TORLStringList*) {
    RemoveEntry(String(kOldGenerationName));
    RemoveEntry(String(kCurrentGenerationName));
}

bool TInstallerUpdateTaskRemoveUninstallInfo::RemoveEntry(const String& name) {
    String path;
    if (!TInstallerApplicationRepository::FindInstallPath(name, path)) return false;
    // Compared as full paths, so that "C:\ORVO\..\Other\" does not pass for a folder of "C:\ORVO\".
    const String full = IncludeTrailingPathDelimiter(GetFullPath(path));
    const String dest = IncludeTrailingPathDelimiter(GetFullPath(Installer->DestPath()));
    if (dest.size() < 2 || full.size() < dest.size() || !SameText(StringView(full).substr(0, dest.size()), dest))
        return false;
    return TInstallerApplicationRepository::Unregister(name);
}

// --- configuration files of a profile -----------------------------------------------------------

String TInstallerUpdateTaskUpdateConfigs::ProfileFolder() const {
    const String& target = FProfile->TargetPath;
    return IsAbsoluteFolderPath(target) ? IncludeTrailingPathDelimiter(target) : String();
}

void TInstallerUpdateTaskUpdateConfigs::Execute(TORLStringList* deletionList) {
    TSetupHelper::CopyFolder(FProfile->SourcePath, FProfile->TargetPath);
    const String profile = ProfileFolder();
    if (deletionList && !profile.empty()) TSetupHelper::RemoveEntriesUnder(*deletionList, profile);
    const int installed = InstalledVersion();
    if (installed < 4000) MigrateFrom3x(deletionList);
    if (installed < 4500) RemoveOldSkins(deletionList);
    if (installed < 4600) RemoveAlbumArtsDatabase(deletionList);
    if (installed < 5020) MigrateAlbumArtCache(deletionList);
}

void TInstallerUpdateTaskUpdateConfigs::MigrateFrom3x(TORLStringList* list) {
    RenameIfExists(Installer->DestPath(), u"ORVO3.ini", u"ORVO.ini");
    const String profile = ProfileFolder();
    if (profile.empty()) return;
    RenameIfExists(profile, u"ORVO3-cat.db", u"ORVO-cat.db");
    RenameIfExists(profile, u"orvo3_menu.ini", u"ORVO-ContextMenu.ini");
    RenameIfExists(profile, u"ORVO3.ini", u"ORVO.ini");
    RenameIfExists(profile, u"ORVO3ac.ini", u"ORVOac.ini");
    RenameIfExists(profile, u"ORVO3ate.ini", u"ORVOate.ini");
    for (const StringView name : {u"ORVO3-SkinLayout.ini", u"ORVO3.bak", u"ORVO3ac.bak", u"ORVO3ate.bak"})
        MarkIfExists(list, profile + String(name));
}

void TInstallerUpdateTaskUpdateConfigs::RemoveOldSkins(TORLStringList* list) {
    MarkIfExists(list, Installer->DestPath() + u"Skins\\Night Calm.ocs4");
    MarkIfExists(list, Installer->DestPath() + u"Skins\\Calm Night.ocs4");
}

void TInstallerUpdateTaskUpdateConfigs::RemoveAlbumArtsDatabase(TORLStringList* list) {
    const String profile = ProfileFolder();
    if (!profile.empty()) MarkIfExists(list, profile + u"AlbumArts.db");
}

void TInstallerUpdateTaskUpdateConfigs::MigrateAlbumArtCache(TORLStringList* list) {
    try {
        const String profile = ProfileFolder();
        if (profile.empty()) return;
        MarkIfExists(list, profile + u"AlbumArtCache.db");
        RenameIfExists(profile, u"AlbumArtsForURLs.db", u"AlbumArts.Custom.db");
    } catch (const std::exception&) {
        // The old cache file stays where it is; the player works without the renamed one.
    }
}

void TInstallerUpdateTaskUpdateConfigs::RenameIfExists(const String& folder, StringView oldName, StringView newName) {
    const String from = folder + String(oldName);
    if (!FileExists(from)) return;
    const String to = folder + String(newName);
    JournalRenamed(from, to);
    if (!MoveFileW(WidePtr(LongPathName(from)), WidePtr(LongPathName(to)))) RaiseLastOSError(from + u" -> " + to);
}

void TInstallerUpdateTaskUpdateConfigs::MarkIfExists(TORLStringList* list, const String& path) {
    if (list && FileExists(path)) list->Add(path);
}

// --- shortcuts ----------------------------------------------------------------------------------

void TInstallerUpdateTaskRemoveShortcuts::Execute(TORLStringList*) {
    RemoveShortcutsNamed(String(kCurrentGenerationName));
    if (InstalledVersion() < 4000) RemoveShortcutsNamed(String(kOldGenerationName));
}

void TInstallerUpdateTaskRemoveShortcuts::RemoveShortcutsNamed(const String& name) {
    if (!IsPlainName(name)) return;
    // A folder the system cannot name is skipped: the name alone would be relative to the
    // current folder.
    const auto folder = [](int csidl) {
        const String path = Seams().SpecialFolder(csidl);
        return IsAbsoluteFolderPath(path) ? IncludeTrailingPathDelimiter(path) : String();
    };
    for (const int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY}) {
        const String desktop = folder(csidl);
        if (!desktop.empty()) JournaledDelete(desktop + name + u".lnk");
    }
    for (const int csidl : {CSIDL_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTMENU}) {
        const String menu = folder(csidl);
        if (menu.empty()) continue;
        // With a journal the folder is set aside whole, so that a failed run brings it back.
        TRunJournal* journal = ActiveJournal();
        if (journal && DirectoryExists(menu + name) && journal->SetAside(menu + name + u"\\")) continue;
        DeleteFolderTree(menu + name + u"\\");
    }
}

}  // namespace uinst
