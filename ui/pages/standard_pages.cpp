#include "ui/pages/standard_pages.h"

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "engine/summary_builder.h"
#include "platform/seams.h"
#include "ui/controls/rich_viewer.h"
#include "ui/palette.h"

namespace uinst {

// ---- welcome

void TInstallerPageWelcome::CreateControls() {
    TInstallerPageFullScreen::CreateControls();
    FNotice = &CreateLabel(RECT{210, 180, 400, 40}, u"", true);
    FNotice->TextColor = RGB(0xFF, 0x00, 0x00);
    FNotice->FontPoints = 8;
    ApplyFont(*FNotice);
}

void TInstallerPageWelcome::ApplyLocalization() {
    TInstallerPageFullScreen::ApplyLocalization();
    FNotice->SetText(Resources().GetText(u"Common", u"E6"));
}

// ---- licence

void TInstallerPageLicense::CreateControls() {
    TInstallerPage::CreateControls();
    FViewer = &CreateAligned(TAlign::Client, RECT{28, 22, 28, 4}, 0, u"", TControlKind::RichViewer);
    FAccept = &CreateAligned(TAlign::Bottom, RECT{28, 4, 28, 22}, 16, u"L1", TControlKind::CheckBox);
    FAccept->OnClick = [this] { AcceptClick(); };
}

bool TInstallerPageLicense::CanGoNext() {
    return FAccept && FAccept->Checked();
}

void TInstallerPageLicense::Prepare() {
    auto licence = Resources().GetLicense();
    // The whole content is replaced each time the page is entered; without a document it stays.
    if (licence) static_cast<TORLRichViewer&>(*FViewer->Object).LoadFromStream(licence.get());
}

void TInstallerPageLicense::Shown() {
    if (!FAccept->Checked()) SetFocus(FViewer->Handle);
}

void TInstallerPageLicense::AcceptClick() {
    if (FAccept->Checked())
        ShowMessageBox(GetAncestor(Handle(), GA_ROOT), Resources().GetText(u"Common", u"E6"),
                       Resources().GetText(u"Common", u"Caption"), MB_OK | MB_ICONWARNING);
    NotifyChanged();
}

// ---- summary

void TInstallerPageReadyToInstall::CreateControls() {
    TInstallerPage::CreateControls();
    FViewer = &CreateAligned(TAlign::Client, RECT{28, 22, 28, 22}, 0, u"", TControlKind::RichViewer);
    FViewer->SetEnabled(false);
    FViewer->Object->SkinChanged();
}

void TInstallerPageReadyToInstall::Prepare() {
    TInstallerSummaryBuilder builder;
    Installer->ProductInfo().PopulateActions([&](const TInstallerActionClass& actionClass) {
        auto action = actionClass.Create();
        action->BuildSummary(builder);
    });
    static_cast<TORLRichViewer&>(*FViewer->Object).SetText(builder.ToString());
}

}  // namespace uinst
