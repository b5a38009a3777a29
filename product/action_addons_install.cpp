#include "product/action_addons_install.h"

#include "base/format.h"
#include "base/paths.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/run_log.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/addons_description.h"

namespace uinst {

TAddonsChoices TAddonsChoices::FromSettings() {
    const TORLIniFile& settings = TInstallerPersistent::Settings();
    TAddonsChoices c;
    c.Viewer = settings.ReadBool(u"Common", u"AddonsViewer", false);
    c.Extensions = settings.ReadBool(u"Common", u"AddonsExtensions", false);
    c.Shortcuts = settings.ReadBool(u"Common", u"AddonsShortcuts", false);
    return c;
}

String TInstallerActionAddonsInstall::Parameters(const TAddonsDescription& description, const TAddonsChoices& choices) {
    String collected;
    auto add = [&collected, &description](StringView key) {
        const String value = description.Value(key);
        if (!value.empty()) collected += value + u" ";
    };
    if (!choices.Extensions) add(u"P1");
    if (choices.Viewer) add(u"P2");
    if (choices.Shortcuts) add(u"P3");
    // Without a pattern the choices still reach the add-on installer: starting it bare would
    // install what the user declined.
    String pattern = description.Value(u"CL");
    if (pattern.empty()) pattern = u"%s";
    return Format(pattern, {collected});
}

String TInstallerActionAddonsInstall::InstallerFile(const String& packageName) {
    // Only the file-name part: a name such as "..\..\x.exe" must not write outside the folder.
    const String name = ExtractFileName(packageName);
    if (name.empty() || name == u"." || name == u"..")
        throw EInstallerInstallError(Format(u"\"%s\" names no usable add-on installer in \"%s\"",
                                            {packageName, String(TAddonsDescription::kFileName)}));
    return GetTempFolder() + name;
}

void TInstallerActionAddonsInstall::Execute() {
    const TAddonsChoices choices = TAddonsChoices::FromSettings();
    if (!choices.Any()) return;
    const TAddonsDescription description = TAddonsDescription::FromPackage();
    const String packageName = description.Value(u"P4");
    const auto installer = Resources().GetFile(packageName);
    const String fileName = InstallerFile(packageName);
    WriteFileBytes(fileName, installer->Memory(), installer->Bytes().size());
    const String parameters = Parameters(description, choices);
    // The add-on installer runs on its own; whether the shell could start it is not our concern.
    if (!Seams().ShellOpen({u"open", fileName, parameters, String()}))
        RunLogLine(u"The add-on installer did not start: " + fileName);
}

void TInstallerActionAddonsInstall::BuildSummary(TInstallerSummaryBuilder& builder) {
    const TAddonsChoices choices = TAddonsChoices::FromSettings();
    builder.SetHeader(u"PageAddons", u"Title");
    if (choices.Viewer) builder.AddLine(u"PageAddons", u"CB1");
    if (choices.Extensions) builder.AddLine(u"PageAddons", u"CB2");
    if (choices.Shortcuts) builder.AddLine(u"PageAddons", u"CB3");
}

}  // namespace uinst
