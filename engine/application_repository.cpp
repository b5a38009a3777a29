#include "engine/application_repository.h"

#include <windows.h>

#include "base/errors.h"
#include "base/format.h"
#include "base/paths.h"
#include "engine/run_journal.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace uinst {

namespace {
constexpr REGSAM kView = KEY_WOW64_32KEY;

String WithoutSpaces(const String& text) {
    String out;
    for (Char c : text)
        if (c != u' ') out.push_back(c);
    return out;
}

String TodayText() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t buffer[16];
    swprintf(buffer, 16, L"%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
    return FromWide(buffer);
}
}  // namespace

bool TInstallerApplicationRepository::Register(const String& name, const String& uninstaller, const String& homePage,
                                               const String& publisher, const String& version,
                                               uint32_t estimatedSizeKiB) {
    if (WithoutSpaces(name).empty()) return false;
    const String path = String(kUninstallKeyPrefix) + name;
    try {
        if (TRunJournal* journal = ActiveJournal()) journal->RegistryKeyChanging(HKEY_LOCAL_MACHINE, kView, path);
        auto key = TRegistryKey::Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE | kView);
        if (!key) key.emplace(TRegistryKey::Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS | kView));
        key->WriteDWord(u"NoModify", 1);
        key->WriteDWord(u"NoRepair", 1);
        key->WriteString(u"DisplayIcon", uninstaller);
        key->WriteString(u"DisplayName", name);
        key->WriteString(u"DisplayVersion", version);
        key->WriteString(u"InstallDate", TodayText());
        key->WriteString(u"InstallPath", ExtractFilePath(uninstaller));
        key->WriteString(u"Publisher", publisher);
        // Earlier versions read this one back: the path alone, as it always was.
        key->WriteString(u"UninstallString", uninstaller);
        key->WriteString(u"URLInfoAbout", homePage);
        // What deployment tools and the list of programs use to remove without questions.
        key->WriteString(u"QuietUninstallString", u"\"" + uninstaller + u"\" /AUTO /SILENT");
        key->WriteDWord(u"EstimatedSize", estimatedSizeKiB);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool TInstallerApplicationRepository::Unregister(const String& name) {
    const String stripped = WithoutSpaces(name);
    if (stripped.empty()) return false;
    const String path = String(kUninstallKeyPrefix) + stripped;
    if (TRunJournal* journal = ActiveJournal())
        if (TRegistryKey::Open(HKEY_LOCAL_MACHINE, path, KEY_READ | kView))
            journal->RegistryKeyChanging(HKEY_LOCAL_MACHINE, kView, path);
    return TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, path, kView);
}

bool TInstallerApplicationRepository::FindInstallPath(const String& name, String& path) {
    path.clear();
    auto key = TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + name, KEY_READ | kView);
    if (!key) return false;
    path = key->ReadString(u"InstallPath").value_or(String());
    if (!path.empty()) path = IncludeTrailingPathDelimiter(path);
    if (!DirectoryExists(path)) path = ExtractFilePath(key->ReadString(u"UninstallString").value_or(String()));
    if (!DirectoryExists(path)) path = ExtractFilePath(key->ReadString(u"DisplayIcon").value_or(String()));
    return DirectoryExists(path);
}

}  // namespace uinst
