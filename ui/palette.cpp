#include "ui/palette.h"

#include <map>

#include "platform/gdi.h"
#include "platform/registry.h"
#include "ui/skin.h"

namespace uinst {

namespace {

TWizardPalette Palette;
std::optional<bool> SchemeOverride;

// `from` moved towards `to` by amount / 256.
COLORREF Mix(COLORREF from, COLORREF to, int amount) {
    auto channel = [&](int shift) {
        const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return static_cast<COLORREF>(a + (b - a) * amount / 256) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

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
    p.ButtonTextHot = SkinColor(u"Buttons.Colors.TextHover", p.ButtonText);
    p.ButtonTextPressed = SkinColor(u"Buttons.Colors.TextPressed", p.ButtonText);
    p.ButtonTextDisabled = SkinColor(u"Buttons.Colors.TextDisabled", p.DisabledText);
    const auto button = SkinTextureColors(u"Buttons.Textures.Button");
    p.ButtonFace = button ? button->Fill : p.Dark ? RGB(0x33, 0x33, 0x33) : p.ButtonFace;
    p.ButtonBorder = button ? button->Border : p.Dark ? RGB(0x5A, 0x5A, 0x5A) : p.ButtonBorder;
    p.ButtonFaceHot = Mix(p.ButtonFace, p.ButtonText, 20);
    p.ButtonFacePressed = Mix(p.ButtonFace, p.ButtonText, 40);
    p.ButtonBorderDefault = Mix(p.ButtonBorder, p.ButtonText, 128);
    p.ButtonBorderDisabled = Mix(p.ButtonBorder, p.ButtonFace, 128);
    const auto check = SkinTextureColors(u"Buttons.Textures.CheckBox");
    p.CheckFace = check ? check->Fill : p.Dark ? RGB(0x2F, 0x2F, 0x2F) : p.CheckFace;
    p.CheckBorder = check ? check->Border : p.Dark ? RGB(0xC8, 0xC8, 0xC8) : p.CheckBorder;
    p.CheckFacePressed = Mix(p.CheckFace, p.ButtonText, 40);
    p.CheckBorderHot = p.Accent;
    p.CheckMark = p.ButtonText;
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
