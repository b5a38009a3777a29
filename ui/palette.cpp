#include "ui/palette.h"

#include <map>

#include "platform/gdi.h"
#include "platform/registry.h"
#include "ui/skin.h"

namespace uinst {

namespace {

TWizardPalette Palette;
std::optional<bool> SchemeOverride;

}  // namespace

const TWizardPalette& WizardPalette() {
    return Palette;
}

bool IsDarkScheme() {
    if (SchemeOverride) return *SchemeOverride;
    auto key =
        TRegistryKey::Open(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");
    if (!key) return false;
    const auto light = key->ReadDWord(u"AppsUseLightTheme");
    return light.has_value() && *light == 0;
}

void SetSchemeOverride(std::optional<bool> dark) {
    SchemeOverride = dark;
}

void UpdateWizardColors() {
    TWizardPalette p;
    p.Dark = IsDarkScheme();
    if (p.Dark) {
        p.Accent = RGB(0xAC, 0x67, 0x1C);
        p.Background = RGB(0x26, 0x26, 0x26);
        p.StripBackground = RGB(0x2A, 0x2A, 0x2A);
        p.HeaderText = RGB(0xFF, 0xFF, 0xFF);
    }
    if (!RootSkinLoaded() || RootSkinDark() != p.Dark) LoadRootSkin(p.Dark);
    // Without a skin (a damaged resource) the controls keep the scheme's header text colour.
    p.Text = SkinColor(u"Labels.Colors.Text", p.HeaderText);
    p.DisabledText = SkinColor(u"Labels.Colors.TextDisabled", p.DisabledText);
    p.Hyperlink = SkinColor(u"Labels.Colors.TextHyperlink", p.Hyperlink);
    p.ButtonText = SkinColor(u"Buttons.Colors.Text", p.Text);
    p.EditContent = SkinColor(u"EditBox.Colors.Content", p.Dark ? RGB(0x2F, 0x2F, 0x2F) : p.EditContent);
    p.EditContentDisabled =
        SkinColor(u"EditBox.Colors.ContentDisabled", p.Dark ? RGB(0x36, 0x36, 0x36) : p.EditContentDisabled);
    p.EditText = SkinColor(u"EditBox.Colors.Text", p.Text);
    p.EditTextDisabled = SkinColor(u"EditBox.Colors.TextDisabled", p.DisabledText);
    p.EditBorder = SkinColor(u"EditBox.Colors.Border", p.Dark ? RGB(0x68, 0x68, 0x68) : p.EditBorder);
    Palette = p;
}

HBRUSH PaletteBrush(COLORREF color) {
    static std::map<COLORREF, TUniqueBrush> brushes;
    auto& brush = brushes[color];
    if (!brush) brush.Reset(CreateSolidBrush(color));
    return brush.Get();
}

}  // namespace uinst
