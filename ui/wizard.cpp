#include "ui/wizard.h"

#include "engine/entry.h"
#include "engine/language_choice.h"
#include "ui/dialogs/language_dialog.h"
#include "ui/form.h"
#include "ui/pages/install_page.h"
#include "ui/pages/standard_pages.h"
#include "ui/startup_window.h"

namespace uinst {

void RegisterStandardPages() {
    RegisterPageClass<TInstallerPageWelcome>(u"TInstallerPageWelcome");
    RegisterPageClass<TInstallerPageLicense>(u"TInstallerPageLicense");
    RegisterPageClass<TInstallerPageReadyToInstall>(u"TInstallerPageReadyToInstall");
    RegisterPageClass<TInstallerPageInstall>(u"TInstallerPageInstall");
    RegisterPageClass<TInstallerPageFinish>(u"TInstallerPageFinish");
    RegisterPageClass<TInstallerPageUninstall>(u"TInstallerPageUninstall");
    RegisterPageClass<TInstallerPageUninstallFinish>(u"TInstallerPageUninstallFinish");
}

void InstallWizard() {
    RegisterStandardPages();
    WizardRunner = RunWizard;
    LanguageDialogRunner = ShowLanguageDialog;
    StartupIndicator = ShowStartupWindow;
}

}  // namespace uinst
