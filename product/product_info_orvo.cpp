#include "product/product_info_orvo.h"

#include <windows.h>
#include <psapi.h>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/action_extract.h"
#include "engine/application_repository.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/seams.h"
#include "product/action_addons_install.h"
#include "product/action_close_applications.h"
#include "product/action_config.h"
#include "product/action_integrate.h"
#include "product/action_prepare.h"
#include "product/action_shortcuts.h"
#include "product/action_uninstall.h"
#include "product/action_update_shell_cache.h"

namespace uinst {

TProductInfoORVO::TProductInfoORVO() : FConfig(std::make_unique<TORLIniFile>()) {}
TProductInfoORVO::~TProductInfoORVO() = default;

String TProductInfoORVO::GetDefaultPath() {
    String folder;
    if (FindInstalledCopy(folder)) return folder;
    return TInstallerProductInfo::GetDefaultPath();
}

bool TProductInfoORVO::CanUpdate() {
    const int version = GetInstalledVersion();
    return version >= kFirstUpdatableVersion && version <= kLastUpdatableVersion;
}

bool TProductInfoORVO::IsPortable() {
    return !FConfig->ReadBool(u"System", u"UserMode", true);
}

int TProductInfoORVO::GetInstalledVersion() {
    return FConfig->ReadInteger(u"System", u"Version", 0);
}

void TProductInfoORVO::Load() {
    const String dest = Installer->DestPath();
    String fileName;
    // No destination (none chosen, or one that cannot be used): nothing is installed there; a
    // relative "ORVO.ini" would name the current folder's.
    if (!dest.empty()) {
        if (FileExists(dest + u"ORVO.ini"))
            fileName = dest + u"ORVO.ini";
        else if (FileExists(dest + u"ORVO3.ini"))
            fileName = dest + u"ORVO3.ini";
    }
    FConfig->Clear();
    if (!fileName.empty()) FConfig->LoadFromFile(fileName);
    Installer->Settings().WriteSectionText(u"Integration", FConfig->ReadSectionText(u"Integration"));
}

void TProductInfoORVO::PopulateActions(const TInstallerActionClassProc& proc) {
    proc(ActionClassOf<TInstallerActionCloseApplications>(u"TInstallerActionCloseApplications"));
    const TInstallerOptions options = Installer->Options();
    if (Installer->Mode() == imInstall) {
        proc(ActionClassOf<TInstallerActionPrepare>(u"TInstallerActionPrepare"));
        if (AddonsAvailable()) proc(ActionClassOf<TInstallerActionAddonsInstall>(u"TInstallerActionAddonsInstall"));
        proc(ActionClassOf<TInstallerActionExtract>(u"TInstallerActionExtract"));
        proc(ActionClassOf<TInstallerActionConfig>(u"TInstallerActionConfig"));
        if (!options.Has(ioUpdate) && !options.Has(ioPortable))
            proc(ActionClassOf<TInstallerActionIntegrate>(u"TInstallerActionIntegrate"));
        if (!options.Has(ioUpdate)) proc(ActionClassOf<TInstallerActionShortcuts>(u"TInstallerActionShortcuts"));
        if (IsWindows10OrLater())
            proc(ActionClassOf<TInstallerActionUpdateShellCache>(u"TInstallerActionUpdateShellCache"));
    } else {
        proc(ActionClassOf<TInstallerActionUninstallIntegration>(u"TInstallerActionUninstallIntegration"));
        proc(ActionClassOf<TInstallerActionUninstallFiles>(u"TInstallerActionUninstallFiles"));
    }
}

void TProductInfoORVO::PopulatePages(const TInstallerPageClassProc& proc) {
    if (Installer->Mode() == imInstall) {
        proc(u"TInstallerPageWelcome");
        proc(u"TInstallerPageLicense");
        proc(u"TInstallerPageSetup");
        if (AddonsAvailable()) proc(u"TInstallerPageAddons");
        proc(u"TInstallerPageIntegration");
        proc(u"TInstallerPageReadyToInstall");
    } else {
        proc(u"TInstallerPageUninstallParams");
    }
}

bool TProductInfoORVO::FindInstalledCopy(String& folder) {
    if (TInstallerApplicationRepository::FindInstallPath(u"ORVO", folder)) return true;
    if (TInstallerApplicationRepository::FindInstallPath(u"ORVO3", folder)) return true;
    folder.clear();
    HWND window = FindWindowW(L"TORVOMainForm", nullptr);
    if (!window) return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    TUniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return false;
    wchar_t path[MAX_PATH + 1] = {};
    if (!GetModuleFileNameExW(process.Get(), nullptr, path, MAX_PATH)) return false;
    folder = ExtractFilePath(FromWide(path));
    return !folder.empty();
}

bool AddonsAvailable() {
    if (Installer->Options().Has(ioAuto) || Installer->Options().Has(ioSilent)) return false;
    return SameText(Installer->Resources().LanguageName(), u"Russian");
}

void RegisterProductORVO() {
    ProductInfoClass = [] { return std::unique_ptr<TInstallerProductInfo>(std::make_unique<TProductInfoORVO>()); };
}

}  // namespace uinst
