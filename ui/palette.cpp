#include "ui/palette.h"

#include <map>

#include "platform/gdi.h"
#include "platform/registry.h"

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
        p.DisabledText = RGB(0x9A, 0x9A, 0x9A);
    }
    Palette = p;
}

HBRUSH PaletteBrush(COLORREF color) {
    static std::map<COLORREF, TUniqueBrush> brushes;
    auto& brush = brushes[color];
    if (!brush) brush.Reset(CreateSolidBrush(color));
    return brush.Get();
}

}  // namespace uinst
