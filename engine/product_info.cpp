#include "engine/product_info.h"

#include <shlobj.h>

#include "base/format.h"
#include "base/integers.h"
#include "base/paths.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "platform/files.h"
#include "platform/shell_folders.h"

namespace uinst {

TInstallerProductInfoClass ProductInfoClass;

String TInstallerProductInfo::GetDefaultPath() {
    return IncludeTrailingPathDelimiter(Installer->Resources().ProgramFilesFolder() + GetName());
}

String TInstallerProductInfo::GetPortablePath() {
    String desktop = GetSpecialFolder(CSIDL_DESKTOP);
    if (desktop.empty()) desktop = GetTempFolder();
    return IncludeTrailingPathDelimiter(desktop + GetName());
}

String TInstallerProductInfo::GetHomePage() {
    return Script().GetSetting(u"HomePage");
}

String TInstallerProductInfo::GetName() {
    String name = Script().GetSetting(u"ProductName");
    if (name.empty()) throw EInstallerGeneralError(u"TInstallerProductInfo.GetName");
    return name;
}

String TInstallerProductInfo::GetPublisher() {
    return Script().GetSetting(u"Publisher");
}
String TInstallerProductInfo::GetVersion() {
    return Script().GetSetting(u"ProductVersion");
}
int TInstallerProductInfo::GetVersionId() {
    return StrToIntDef(Script().GetSetting(u"ProductVersionId"), 0);
}
String TInstallerProductInfo::GetVersionInfo() {
    return GetVersion() + u", " + Script().GetSetting(u"BuildDate");
}
String TInstallerProductInfo::GetVersionNo() {
    return Script().GetSetting(u"ProductVersionNo");
}
String TInstallerProductInfo::InstalledVersionText() {
    return VersionIdText(GetInstalledVersion());
}
const TInstallerScript& TInstallerProductInfo::Script() {
    return Installer->Resources().Script();
}

String VersionIdText(int versionId) {
    const int minor = (versionId % 1000) / 10;
    return IntToStr(versionId / 1000) + u"." + (minor < 10 && minor >= 0 ? u"0" : u"") + IntToStr(minor);
}

void TInstallerProductInfo::PopulatePages(const TInstallerPageClassProc&) {}

}  // namespace uinst
