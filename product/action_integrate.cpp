#include "product/action_integrate.h"

#include "base/format.h"
#include "engine/installer.h"
#include "engine/run_journal.h"
#include "product/update_tasks.h"
#include "engine/run_log.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/helper_process.h"

namespace uinst {

TIntegrationChoices TIntegrationChoices::FromSettings() {
    const TORLIniFile& settings = TInstallerPersistent::Settings();
    TIntegrationChoices c;
    c.IntegrateToWindows = settings.ReadBool(u"Integration", u"IntegrateToWindows", true);
    c.RegisterContextMenu = settings.ReadBool(u"Integration", u"RegisterContextMenu", true);
    c.AssociateWithFiles = settings.ReadBool(u"Integration", u"AssociateWithFiles", true);
    return c;
}

TInstallerActionIntegrate::TInstallerActionIntegrate() : FCancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

String TInstallerActionIntegrate::Switches(const TIntegrationChoices& choices) {
    String switches;
    if (choices.IntegrateToWindows) switches += u" /REG=L1 /REG=D1 /REG=R1";
    if (choices.RegisterContextMenu) switches += u" /REG=M1";
    if (choices.AssociateWithFiles) switches += u" /REG=R2";
    // Windows 8 and later let only the user pick default programs: the helper opens that step,
    // which an automatic run must not wait for.
    if (choices.AssociateWithFiles && IsWindows8OrLater() && !Installer->Options().Has(ioAuto)) switches += u" /REG_UI";
    return switches;
}

void TInstallerActionIntegrate::Execute() {
    const String helper = Installer->DestPath() + kHelperName;
    if (!FileExists(helper)) return;
    const String switches = Switches(TIntegrationChoices::FromSettings());
    if (switches.empty()) return;
    // Undone by the helper's own removal switch if the run fails later.
    if (TRunJournal* journal = ActiveJournal())
        journal->HelperIntegrating(
            HelperCommandLine(helper, String(TInstallerUpdateTaskRemoveFromRegistry::kHelperSwitches)));
    const THelperRunResult result =
        RunHelperAndWait(HelperCommandLine(helper, switches), HelperTimeLimitMs(), FCancel.Get());
    // The helper's own failures are its concern; only a wait that was cut short is worth a line.
    if (result == THelperRunResult::TimedOut)
        RunLogLine(Format(u"%s did not end within %d seconds; setup goes on without it",
                          {String(kHelperName), static_cast<int>(HelperTimeLimitMs() / 1000)}));
}

void TInstallerActionIntegrate::Terminate() {
    SetEvent(FCancel.Get());
}

void TInstallerActionIntegrate::BuildSummary(TInstallerSummaryBuilder& builder) {
    const TIntegrationChoices choices = TIntegrationChoices::FromSettings();
    builder.SetHeader(u"PageIntegration", u"LB2");
    if (choices.IntegrateToWindows) builder.AddLine(u"PageIntegration", u"CB4");
    if (choices.RegisterContextMenu) builder.AddLine(u"PageIntegration", u"CB5");
    if (choices.AssociateWithFiles) builder.AddLine(u"PageIntegration", u"CB3");
}

}  // namespace uinst
