#include "engine/summary_builder.h"

#include "engine/installer.h"
#include "engine/installer_resources.h"

namespace uinst {

void TInstallerSummaryBuilder::SetHeader(StringView text) {
    FPendingHeader = String(text);
}

void TInstallerSummaryBuilder::SetHeader(StringView section, StringView key) {
    SetHeader(Installer->Resources().GetText(section, key));
}

void TInstallerSummaryBuilder::AddLine(StringView text) {
    if (!FPendingHeader.empty()) {
        if (!FBuilder.empty()) FBuilder += u"\r\n";
        FBuilder += FPendingHeader;
        FBuilder += u"\r\n";
        FPendingHeader.clear();
    }
    FBuilder += u"    ";
    FBuilder += text;
    FBuilder += u"\r\n";
}

void TInstallerSummaryBuilder::AddLine(StringView section, StringView key) {
    AddLine(Installer->Resources().GetText(section, key));
}

}  // namespace uinst
