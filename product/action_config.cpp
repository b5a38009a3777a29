#include "product/action_config.h"

#include "base/format.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "formats/ini_file.h"

namespace uinst {

void TInstallerActionConfig::Execute() {
    SetStatus(GetCommonText(u"A6"));
    const String fileName = Installer->DestPath() + String(kConfigFileName);
    TORLIniFile config(fileName, true);
    config.WriteSectionText(u"Integration", Settings().ReadSectionText(u"Integration"));
    // The whole section is the setup program's: keys the player wrote there go too. Clearing
    // instead of deleting keeps the section where it stood in the file.
    config.WriteSectionText(u"System", u"");
    config.WriteString(u"System", u"UserMode", Installer->HasOption(ioPortable) ? u"0" : u"1");
    config.WriteString(u"System", u"DefaultLang", Resources().LanguageName() + u".lng");
    config.WriteString(u"System", u"Version", IntToStr(ProductInfo().GetVersionId()));
    // Without this file a portable copy would keep its settings in the user's profile and a later
    // update could not tell which version is installed: not writing it is a failed installation.
    JournalReplacing(fileName);
    if (!config.UpdateFile()) {
        const String pattern = GetCommonText(u"E1");
        throw EInstallerInstallError(pattern.empty() ? fileName : Format(pattern, {fileName}));
    }
}

}  // namespace uinst
