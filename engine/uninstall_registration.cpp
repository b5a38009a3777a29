#include "engine/uninstall_registration.h"

#include <windows.h>

#include <algorithm>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/application_repository.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace uinst {

uint32_t SizeInKiB(int64_t bytes) {
    const int64_t kib = (std::max<int64_t>(bytes, 0) + 1023) / 1024;
    return static_cast<uint32_t>(std::min<int64_t>(kib, UINT32_MAX));
}

void AddUninstallEntry(TORLIniFile& ini, const String& path) {
    String entry = Installer->Resources().ExpandPath(path);
    const int count = ini.ReadInteger(u"Uninstall", u"Count", 0);
    const String& dest = Installer->DestPath();
    if (entry.size() >= dest.size() && SameText(StringView(entry).substr(0, dest.size()), dest))
        entry.erase(0, dest.size());
    ini.WriteString(u"Uninstall", IntToStr(count), entry);
    ini.WriteInteger(u"Uninstall", u"Count", count + 1);
}

void RegisterUninstaller(const String& destPath, const std::vector<const TInstallerScriptFile*>& files) {
    const String uninstaller = destPath + u"Uninstall.exe";
    const String dataFile = destPath + ChangeFileExt(u"Uninstall.exe", u".dat");
    JournalReplacing(uninstaller);
    CopyFileOrRaise(ModuleFileName(), uninstaller);

    TORLIniFile ini;
    ini.Assign(Installer->Settings());
    ini.DeleteSection(u"Uninstall");
    for (const TInstallerScriptFile* file : files) AddUninstallEntry(ini, file->Name);
    AddUninstallEntry(ini, dataFile);
    AddUninstallEntry(ini, uninstaller);

    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream text;
    ini.SaveToStream(text);
    text.SetPosition(0);
    builder.Add(text, u"Uninstall.ini");
    JournalReplacing(dataFile);
    builder.Commit(dataFile, 4);

    if (!Installer->HasOption(ioPortable)) {
        int64_t bytes = FileSizeOf(uninstaller) + FileSizeOf(dataFile);
        for (const TInstallerScriptFile* file : files)
            bytes += FileSizeOf(Installer->Resources().ExpandPath(file->Name));
        TInstallerProductInfo& product = Installer->ProductInfo();
        TInstallerApplicationRepository::Register(product.GetName(), uninstaller, product.GetHomePage(),
                                                  product.GetPublisher(), product.GetVersionNo(), SizeInKiB(bytes));
    }
}

void TInstallerActiveX::Unregister(const String& fileName) {
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    wchar_t oldDirectory[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, oldDirectory);
    const String folder = ExtractFilePath(fileName);
    if (!folder.empty()) SetCurrentDirectoryW(WidePtr(folder));
    const TUniqueModule library(LoadLibraryW(WidePtr(fileName)));
    SetCurrentDirectoryW(oldDirectory);
    SetErrorMode(oldMode);
    if (!library) return;
    using TUnregister = HRESULT(WINAPI*)();
    if (auto entry = reinterpret_cast<TUnregister>(
            reinterpret_cast<void*>(GetProcAddress(library.Get(), "DllUnregisterServer"))))
        entry();
}

}  // namespace uinst
