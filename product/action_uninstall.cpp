#include "product/action_uninstall.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>
#include <vector>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/run_log.h"
#include "platform/files.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "product/path_safety.h"
#include "product/profile_helper.h"
#include "product/setup_helper.h"
#include "product/update_tasks.h"
#include "product/user_accounts.h"

namespace uinst {

namespace {

int Percent(int done, int total) {
    return total > 0 ? static_cast<int>(std::lround(100.0 * done / total)) : 100;
}

// True when the folder (ending with a backslash) shows no entry; a folder that cannot be listed,
// such as a link whose target is gone, counts as empty.
bool LooksEmpty(const String& folder) {
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileExW(WidePtr(LongPathName(folder + u"*")), FindExInfoBasic, &data,
                                      FindExSearchNameMatch, nullptr, 0));
    if (!find) return true;
    do {
        const StringView name(reinterpret_cast<const Char*>(data.cFileName));
        if (name != u"." && name != u"..") return false;
    } while (FindNextFileW(find.Get(), &data));
    return true;
}

// Removes an empty folder. RemoveDirectoryW takes a link away whatever its target holds, so a
// link goes only when what it shows is empty too; its target is never touched.
void RemoveIfEmpty(const String& folder) {
    const String path = ExcludeTrailingPathDelimiter(folder);
    const DWORD attributes = GetFileAttributesW(WidePtr(LongPathName(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (IsLink(attributes) && !LooksEmpty(IncludeTrailingPathDelimiter(path))) return;
    RemoveDirectoryW(WidePtr(LongPathName(path)));
}

// A canonical decimal key of the file list ("0", "17"; not "007" or "+1").
bool ParseEntryKey(StringView name, int32_t& index) {
    if (name.empty() || name.size() > 9 || (name.size() > 1 && name[0] == u'0')) return false;
    int32_t value = 0;
    for (const Char c : name) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    index = value;
    return true;
}

// The folder the uninstaller was started for. A path that is not a full one would make every
// list relative to the current folder: refused before anything is listed.
String InstallationFolder() {
    const String dest = Installer->DestPath();
    if (!IsAbsoluteFolderPath(dest))
        throw EInstallerInstallError(Format(u"Cannot remove the installation from \"%s\"", {dest}));
    return dest;
}

}  // namespace

// --- integration --------------------------------------------------------------------------------

TInstallerActionUninstallIntegration::TInstallerActionUninstallIntegration() {
    FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveShellMenu>());
    FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveShortcuts>());
    FTasks.push_back(std::make_unique<TInstallerUpdateTaskRemoveFromRegistry>());
}

void TInstallerActionUninstallIntegration::Execute() {
    SetStatus(GetCommonText(u"A9"));
    const int count = static_cast<int>(FTasks.size());
    for (int i = 0; i < count; ++i) {
        FTasks[static_cast<size_t>(i)]->Execute(nullptr);
        SetProgress(Percent(i + 1, count));
    }
}

// --- files --------------------------------------------------------------------------------------

void TInstallerActionUninstallFiles::Execute() {
    const TORLStringList folders = CollectFolders();
    const TORLStringList files = CollectFiles();
    SetStatus(GetCommonText(u"A9"));
    const int total = files.Count() + folders.Count();
    int done = 0;
    // The uninstaller and its data file go last, and only when everything else has gone: a
    // removal that fails keeps what is needed to run it again.
    const String dest = Installer->DestPath();
    const auto isUninstaller = [&](const String& file) {
        return SameText(file, dest + u"Uninstall.exe") || SameText(file, dest + u"Uninstall.dat");
    };
    for (int i = 0; i < files.Count(); ++i) {
        if (!isUninstaller(files[i])) DeleteOrDefer(files[i]);
        SetProgress(Percent(++done, total));
    }
    CheckFilesRemoved(files);
    for (int i = 0; i < files.Count(); ++i)
        if (isUninstaller(files[i])) DeleteOrDefer(files[i]);
    for (int i = 0; i < folders.Count(); ++i) {
        if (folders.Tag(i) == fmWithContent)
            DeleteFolderTree(folders[i]);
        else
            RemoveIfEmpty(folders[i]);
        SetProgress(Percent(++done, total));
    }
}

void TInstallerActionUninstallFiles::CheckFilesRemoved(const TORLStringList& files) {
    // The uninstaller's own files are not yet removed at this point.
    const String dest = Installer->DestPath();
    String left;
    int count = 0;
    for (int i = 0; i < files.Count(); ++i) {
        if (SameText(files[i], dest + u"Uninstall.exe") || SameText(files[i], dest + u"Uninstall.dat") ||
            !FileExists(files[i]))
            continue;
        RunLogLine(u"Not removed: " + files[i]);
        if (count++ < 10) left += (left.empty() ? u"" : u"\r\n") + files[i];
    }
    if (count == 0) return;
    if (count > 10) left += Format(u"\r\n(%d more)", {count - 10});
    const String pattern = GetCommonText(u"E12");
    throw EInstallerInstallError(
        Format(pattern.empty() ? u"Setup could not remove the file \"%s\"." : pattern, {left}));
}

TORLStringList TInstallerActionUninstallFiles::CollectFiles() {
    TORLIniFile ini;
    ini.LoadFromStream(*Resources().GetFile(kFileListName));
    const int32_t count = ini.ReadInteger(u"Uninstall", u"Count", 0);
    // The keys "0" to Count - 1 in order, found among the keys the section has: a damaged Count
    // (two billion, say) costs nothing. The first line of a key wins, as a lookup by name finds it.
    TORLStringList names;
    ini.ReadSection(u"Uninstall", names);
    std::map<int32_t, String> entries;
    for (int i = 0; i < names.Count(); ++i) {
        int32_t index = 0;
        if (ParseEntryKey(names[i], index) && index < count && !entries.count(index))
            entries.emplace(index, ini.ReadString(u"Uninstall", names[i], u""));
    }
    const String dest = InstallationFolder();
    TORLStringList files;
    std::unordered_set<String> seen;  // upper-cased: duplicates are found without regard to case
    TLinkCheckCache folders;
    for (const auto& [index, entry] : entries) {
        const String path = ResolveEntryBelow(dest, entry, &folders);
        if (!path.empty() && seen.insert(UpperCase(path)).second) files.Add(path);
    }
    return files;
}

TORLStringList TInstallerActionUninstallFiles::CollectFolders() {
    const String dest = InstallationFolder();
    TORLStringList list;
    AddSubfolders(list, dest);
    if (GetRemoveBackups()) list.Add(dest + String(kBackupFolderName), fmWithContent);
    if (GetRemoveContent()) AddContentFolders(list);
    return list;
}

void TInstallerActionUninstallFiles::AddSubfolders(TORLStringList& list, const String& folder) {
    const String base = IncludeTrailingPathDelimiter(folder);
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileExW(WidePtr(LongPathName(base + u"*")), FindExInfoBasic, &data, FindExSearchNameMatch,
                                      nullptr, 0));
    if (!find) return;
    // Read the whole folder first: the walk below must not run while the search handle is open
    // on a deep tree.
    std::vector<std::pair<String, DWORD>> subfolders;
    do {
        const String name = FromWide(data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == u"." || name == u"..") continue;
        subfolders.emplace_back(name, data.dwFileAttributes);
    } while (FindNextFileW(find.Get(), &data));
    find.Reset();
    for (const auto& [name, attributes] : subfolders) {
        const String path = base + name + u"\\";
        if (!IsLink(attributes)) AddSubfolders(list, path);
        list.Add(path, fmOnlyIfEmpty);
    }
}

void TInstallerActionUninstallFiles::AddContentFolders(TORLStringList& list) {
    const String dest = Installer->DestPath();
    // The whole folder only when the backups go too (they live inside it), and never a folder
    // that no installation may use, whatever the uninstaller was started for.
    if (GetRemoveBackups() && !Installer->IsProtectedFolder(dest))
        list.Add(dest, fmWithContent);
    else
        list.Add(dest + String(kPortableProfileName), fmWithContent);
    if (!ReadUserMode()) return;
    const auto accounts = TORLUserAccounts::Populate();
    for (const auto& account : *accounts) {
        const String profile = TInstallerProfileHelper::GetTargetPath(account.get());
        if (!profile.empty()) list.Add(profile, fmWithContent);
    }
}

bool TInstallerActionUninstallFiles::ReadUserMode() {
    const TORLIniFile config(Installer->DestPath() + u"ORVO.ini");  // read only: no save
    return config.ReadBool(u"System", u"UserMode", false);
}

bool TInstallerActionUninstallFiles::GetRemoveBackups() {
    return Settings().ReadBool(u"Common", u"RemoveBackups", Installer->Options().Has(ioAuto));
}

bool TInstallerActionUninstallFiles::GetRemoveContent() {
    return Settings().ReadBool(u"Common", u"RemoveContent", false);
}

}  // namespace uinst
