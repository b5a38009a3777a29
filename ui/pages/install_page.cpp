#include "ui/pages/install_page.h"

#include <commctrl.h>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/product_info.h"
#include "formats/ini_file.h"
#include "ui/form.h"
#include "ui/palette.h"

namespace uinst {

// ---- progress

TInstallerPageInstall::~TInstallerPageInstall() {
    if (FListening && Installer) Installer->RemoveListener(this);
}

void TInstallerPageInstall::Initialize(HWND parent, UINT dpi) {
    TInstallerPage::Initialize(parent, dpi);
    // Registered after the wizard window, so this page hears every report first.
    Installer->AddListener(this);
    FListening = true;
}

void TInstallerPageInstall::CreateControls() {
    TInstallerPage::CreateControls();
    FActionBar = &CreateControl(RECT{30, 40, 580, 18}, u"", TControlKind::ProgressBar);
    FOverallBar = &CreateControl(RECT{30, 65, 580, 18}, u"", TControlKind::ProgressBar);
    FStatus = &CreateLabel(RECT{30, 16, 580, 18}, u"", false);
    FStatus->FontPoints = 8;
    ApplyFont(*FStatus);
    FStatus->SetText(GetText(u"L1"));
}

int TInstallerPageInstall::GetProgress() {
    return static_cast<int>(SendMessageW(FOverallBar->Handle, PBM_GETPOS, 0, 0));
}

void TInstallerPageInstall::Prepare() {
    Installer->Start(false);
}

void TInstallerPageInstall::Notify(int code, intptr_t param) {
    switch (code) {
        case kNotifyFinished:
            FFinished = true;
            break;
        case kNotifyProgress: {
            const int action = static_cast<int>(param & 0xFFFF);
            const int overall = static_cast<int>((param >> 16) & 0xFFFF);
            if (SendMessageW(FActionBar->Handle, PBM_GETPOS, 0, 0) == action && GetProgress() == overall) break;
            SendMessageW(FActionBar->Handle, PBM_SETPOS, static_cast<WPARAM>(action), 0);
            SendMessageW(FOverallBar->Handle, PBM_SETPOS, static_cast<WPARAM>(overall), 0);
            TInstallerForm::PumpMessagesDuringNotification();
            break;
        }
        case kNotifyStatus:
            if (param) FStatus->SetText(*reinterpret_cast<const String*>(param));
            TInstallerForm::PumpMessagesDuringNotification();
            break;
        default:
            break;
    }
}

// ---- finish

void TInstallerPageCustomFinish::CreateControls() {
    TInstallerPageFullScreen::CreateControls();
    FMemo = &CreateAligned(TAlign::Client, RECT{210, 120, 20, 4}, 0, u"", TControlKind::Memo);
    FMemo->SetVisible(false);
}

void TInstallerPageCustomFinish::Prepare() {
    const TORLStringList& log = Installer->Log();
    const bool errors = log.Count() > 0;
    FMemo->SetVisible(errors);
    if (errors) {
        FHeading->TextColor = RGB(0xFF, 0x00, 0x00);
        FHeading->SetText(GetText(u"E1"));
        String text;
        for (int i = 0; i < log.Count(); ++i) text += log[i] + u"\r\n";
        FMemo->SetText(text);
        FBody->SetText(GetText(u"E2"));
    }
    Layout();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TInstallerPageFinish::CreateControls() {
    TInstallerPageCustomFinish::CreateControls();
    TPageControl& link = CreateAligned(TAlign::Bottom, RECT{210, 0, 20, 4}, 0, u"L3", TControlKind::Link);
    link.FitText = true;
    link.FontPoints = 8;
    link.TextColor = RGB(0x00, 0x66, 0xCC);
    ApplyFont(link);
    link.OnClick = [] { OpenLink(Installer->ProductInfo().GetHomePage()); };
    const auto& actions = Installer->Resources().Script().Actions();
    for (int i = 0; i < actions.Count(); ++i)
        FActionBoxes.push_back(&CreateCheckBox(RECT{210, 120 + 24 * i, 320, 17}, u"CB" + Ascii(std::to_string(i + 1)),
                                               [this] { SaveActions(); }));
    for (auto* box : FActionBoxes) box->SetChecked(true);
    // The keyboard reaches the choices first, then the link: tab order is the order of siblings.
    SetWindowPos(link.Handle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TInstallerPageFinish::Prepare() {
    TInstallerPageCustomFinish::Prepare();
    const auto& actions = Installer->Resources().Script().Actions();
    const bool choices = !ErrorMemo()->Visible();
    for (size_t i = 0; i < FActionBoxes.size(); ++i) {
        FActionBoxes[i]->SetText(GetText(actions.Items(static_cast<int>(i)).SourceName()));
        FActionBoxes[i]->SetVisible(choices);
    }
    SaveActions();
}

void TInstallerPageFinish::SaveActions() {
    const auto& actions = Installer->Resources().Script().Actions();
    for (size_t i = 0; i < FActionBoxes.size(); ++i)
        Settings().WriteBool(u"Actions", actions.Items(static_cast<int>(i)).Name, FActionBoxes[i]->Checked());
}

}  // namespace uinst
