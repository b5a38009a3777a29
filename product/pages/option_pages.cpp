#include "product/pages/option_pages.h"

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "formats/ini_file.h"
#include "product/product_info_orvo.h"
#include "ui/dialogs/folder_chooser.h"
#include "ui/image.h"
#include "ui/palette.h"

namespace uinst {

// ---- setup

TInstallerPageSetup::TInstallerPageSetup() : TInstallerPage(u"TInstallerPageSetup") {
    FPadding = RECT{40, 20, 40, 20};
}

void TInstallerPageSetup::CreateControls() {
    TInstallerPage::CreateControls();
    CreateHeaderLabel(RECT{40, 30, 540, 20}, u"LB1");
    FPathEdit = &CreateControl(RECT{60, 70, 434, 21}, u"PathEdit", TControlKind::Edit);
    FPathEdit->OnChange = [this] { PathChange(); };
    TPageControl& browse = CreateControl(RECT{500, 69, 100, 23}, u"Browse", TControlKind::Button);
    browse.OnClick = [this] { BrowseClick(); };
    FUpdate = &CreateCheckBox(RECT{60, 100, 540, 17}, u"CB1", [this] { OptionsClick(); });
    FBackup = &CreateCheckBox(RECT{60, 120, 540, 17}, u"CB4", [this] { OptionsClick(); });
    CreateHeaderLabel(RECT{40, 150, 540, 20}, u"LB2");
    FPortable = &CreateRadioBox(RECT{60, 190, 540, 16}, u"CB3", [this] { ModeClick(); });
    CreateLabel(RECT{79, 212, 500, 48}, u"CB3Hint", true).SetEnabled(false);
    FNormal = &CreateRadioBox(RECT{60, 248, 540, 16}, u"CB2", [this] { ModeClick(); });
}

bool TInstallerPageSetup::CanGoNext() {
    // The folder as typed counts too: an emptied edit is no destination, nor is a name that cannot
    // be a folder (one that ends with a blank while it is typed), which leaves the destination empty.
    return !Installer->DestPath().empty() && !Trim(FPathEdit->Text()).empty();
}

void TInstallerPageSetup::Refresh() {
    if (!FEditing) {
        FSettingText = true;
        FPathEdit->SetText(Installer->DestPath());
        FSettingText = false;
    }
    UpdateUpdateChoices();
    UpdateModeChoices();
    UpdateWarnings();
    NotifyChanged();
}

void TInstallerPageSetup::UpdateUpdateChoices() {
    FUpdate->SetChecked(Installer->HasOption(ioUpdate));
    FUpdate->SetVisible(Installer->ProductInfo().CanUpdate());
    FBackup->SetChecked(!Installer->HasOption(ioNoBackup));
    FBackup->SetVisible(Installer->HasOption(ioUpdate));
}

void TInstallerPageSetup::UpdateModeChoices() {
    const bool update = Installer->HasOption(ioUpdate);
    const bool portable = (update ? Installer->ProductInfo().IsPortable() : Installer->HasOption(ioPortable)) &&
                          !Installer->IsInProgramFiles();
    FPortable->SetEnabled(!update);
    FNormal->SetEnabled(!update);
    FPortable->SetChecked(portable);
    FNormal->SetChecked(!portable);
}

void TInstallerPageSetup::UpdateWarnings() {
    for (auto* warning : FWarnings) DestroyControl(*warning);
    FWarnings.clear();
    if (Installer->HasOption(ioUpdate)) AddWarning(GetText(u"W1"));
    if (HasOtherInstallation()) AddWarning(GetText(u"W3"));
    Layout();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TInstallerPageSetup::AddWarning(const String& text) {
    // Room for the warning icon and 5 units of space at the left.
    TPageControl& label = CreateAligned(TAlign::Bottom, RECT{21, 4, 0, 0}, 0, u"", TControlKind::Label, SS_LEFT);
    label.Bold = true;
    label.FitText = true;
    ApplyFont(label);
    label.SetText(text);
    FWarnings.push_back(&label);
}

bool TInstallerPageSetup::HasOtherInstallation() {
    if (Installer->HasOption(ioUpdate)) return false;
    if (Installer->ProductInfo().GetInstalledVersion() >= 1) return true;
    if (Installer->HasOption(ioPortable)) return false;
    String folder;
    return TProductInfoORVO::FindInstalledCopy(folder);
}

void TInstallerPageSetup::SetPath(const String& path) {
    if (path != Installer->DestPath()) Installer->SetDestPath(path);
    Refresh();
}

void TInstallerPageSetup::PathChange() {
    if (FSettingText) return;
    FEditing = true;
    try {
        SetPath(FPathEdit->Text());
    } catch (...) {
        FEditing = false;
        throw;
    }
    FEditing = false;
}

void TInstallerPageSetup::BrowseClick() {
    String folder;
    if (!FolderChooser()(GetAncestor(Handle(), GA_ROOT), Installer->DestPath(), folder)) return;
    folder = IncludeTrailingPathDelimiter(folder);
    const String name = Installer->ProductInfo().GetName();
    if (SameText(ExtractFileName(ExcludeTrailingPathDelimiter(folder)), name))
        SetPath(folder);
    else
        SetPath(folder + name);
}

void TInstallerPageSetup::OptionsClick() {
    Installer->SetOption(ioNoBackup, !FBackup->Checked());
    Installer->SetOption(ioUpdate, FUpdate->Checked());
    Refresh();
}

void TInstallerPageSetup::ModeClick() {
    auto& product = Installer->ProductInfo();
    // The choice is taken before the folder moves: moving refreshes the boxes from the options.
    const bool portable = FPortable->Checked();
    if (portable) {
        if (Installer->IsInProgramFiles()) SetPath(product.GetPortablePath());
    } else if (SameText(Installer->DestPath(), product.GetPortablePath())) {
        SetPath(product.GetDefaultPath());
    }
    Installer->SetOption(ioPortable, portable);
    Refresh();
}

void TInstallerPageSetup::Paint(HDC dc) {
    TInstallerPage::Paint(dc);
    const int size = FScale(16);
    HICON icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    for (auto* warning : FWarnings) {
        RECT r{};
        GetWindowRect(warning->Handle, &r);
        MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&r), 2);
        DrawIconEx(dc, r.left - FScale(21), r.top, icon, size, size, 0, nullptr, DI_NORMAL);
    }
}

// ---- add-ons

TInstallerPageAddons::TInstallerPageAddons() : TInstallerPage(u"TInstallerPageAddons") {
    // Before the controls exist: the picture and texts of the page come from "addons.ini".
    FDescription = TAddonsDescription::FromPackage();
    auto file = Installer->Resources().OpenFile(FDescription.Value(u"I0"));
    FPicture = TImage::FromBytes(file->Memory(), static_cast<size_t>(file->Size()));
}

TInstallerPageAddons::~TInstallerPageAddons() = default;

void TInstallerPageAddons::CreateControls() {
    TInstallerPage::CreateControls();
    CreateLabel(RECT{40, 30, 300, 40}, u"L0", true).FontPoints = 11;
    ApplyFont(*FindControl(u"L0"));
    const char16_t* names[3] = {u"CB1", u"CB2", u"CB3"};
    for (int i = 0; i < 3; ++i)
        FBoxes[i] = &CreateCheckBox(RECT{60, 100 + 20 * i, 500, 17}, names[i], [this] { SaveOptions(); });
    // Without borders and transparent: the page shows through.
    FLabels[0] = &CreateControl(RECT{40, 280, 500, 20}, u"", TControlKind::FormattedLabel);
    FLabels[1] = &CreateControl(RECT{40, 310, 550, 50}, u"", TControlKind::FormattedLabel);
}

void TInstallerPageAddons::ApplyLocalization() {
    TInstallerPage::ApplyLocalization();
    // The formatted labels read the markup and links of the texts.
    FLabels[0]->SetText(Format(GetText(u"L1"), {FDescription.Value(u"L0")}));
    FLabels[1]->SetText(Format(GetText(u"L2"), {FDescription.Value(u"L1"), FDescription.Value(u"L2")}));
}

void TInstallerPageAddons::Paint(HDC dc) {
    TInstallerPage::Paint(dc);
    if (!FPicture) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = FScale(FPicture->Width()), height = FScale(FPicture->Height());
    const int right = client.right - FScale(10);
    FPicture->Draw(dc, RECT{right - width, 0, right, height});
}

void TInstallerPageAddons::Prepare() {
    FBoxes[0]->SetChecked(Settings().ReadBool(u"Common", u"AddonsViewer", true));
    FBoxes[2]->SetChecked(Settings().ReadBool(u"Common", u"AddonsShortcuts", true));
    FBoxes[1]->SetChecked(Settings().ReadBool(u"Common", u"AddonsExtensions", true));
    SaveOptions();
}

void TInstallerPageAddons::SaveOptions() {
    Settings().WriteBool(u"Common", u"AddonsViewer", FBoxes[0]->Checked());
    Settings().WriteBool(u"Common", u"AddonsExtensions", FBoxes[1]->Checked());
    Settings().WriteBool(u"Common", u"AddonsShortcuts", FBoxes[2]->Checked());
}

// ---- integration

namespace {
constexpr const char16_t* kIntegrationKeys[5] = {u"ShortcutDesktop", u"ShortcutStartMenu", u"AssociateWithFiles",
                                                 u"IntegrateToWindows", u"RegisterContextMenu"};
}

bool TInstallerPageIntegration::IsAvailable() {
    return !Installer->HasOption(ioPortable) && !Installer->HasOption(ioUpdate);
}

void TInstallerPageIntegration::CreateControls() {
    TInstallerPage::CreateControls();
    auto save = [this] { SaveOptions(); };
    CreateHeaderLabel(RECT{40, 30, 540, 20}, u"LB1");
    FBoxes[0] = &CreateCheckBox(RECT{60, 70, 540, 16}, u"CB1", save);
    FBoxes[1] = &CreateCheckBox(RECT{60, 90, 540, 16}, u"CB2", save);
    CreateHeaderLabel(RECT{40, 120, 540, 20}, u"LB2");
    FBoxes[3] = &CreateCheckBox(RECT{60, 160, 540, 16}, u"CB4", save);
    CreateLabel(RECT{79, 180, 540, 48}, u"CB4Hint", true).SetEnabled(false);
    FBoxes[2] = &CreateCheckBox(RECT{60, 230, 540, 16}, u"CB3", save);
    FBoxes[4] = &CreateCheckBox(RECT{60, 250, 540, 16}, u"CB5", save);
}

void TInstallerPageIntegration::Prepare() {
    const bool defaultValue = !Installer->HasOption(ioPortable);
    for (int i = 0; i < 5; ++i)
        FBoxes[i]->SetChecked(Settings().ReadBool(u"Integration", kIntegrationKeys[i], defaultValue));
}

void TInstallerPageIntegration::SaveOptions() {
    for (int i = 0; i < 5; ++i) Settings().WriteBool(u"Integration", kIntegrationKeys[i], FBoxes[i]->Checked());
}

// ---- uninstall options

void TInstallerPageUninstallParams::CreateControls() {
    TInstallerPage::CreateControls();
    FBoxes[0] = &CreateCheckBox(RECT{44, 40, 480, 17}, u"CB1", [this] { SaveOptions(); });
    FBoxes[1] = &CreateCheckBox(RECT{44, 65, 480, 17}, u"CB2", [this] { SaveOptions(); });
}

void TInstallerPageUninstallParams::Prepare() {
    FBoxes[0]->SetChecked(Settings().ReadBool(u"Common", u"RemoveBackups", false));
    FBoxes[1]->SetChecked(Settings().ReadBool(u"Common", u"RemoveContent", false));
}

void TInstallerPageUninstallParams::SaveOptions() {
    Settings().WriteBool(u"Common", u"RemoveBackups", FBoxes[0]->Checked());
    Settings().WriteBool(u"Common", u"RemoveContent", FBoxes[1]->Checked());
}

void RegisterProductPages() {
    RegisterPageClass<TInstallerPageSetup>(u"TInstallerPageSetup");
    RegisterPageClass<TInstallerPageAddons>(u"TInstallerPageAddons");
    RegisterPageClass<TInstallerPageIntegration>(u"TInstallerPageIntegration");
    RegisterPageClass<TInstallerPageUninstallParams>(u"TInstallerPageUninstallParams");
}

}  // namespace uinst
