#pragma once
// The wizard's colours for the light and the dark scheme of Windows.
#include <windows.h>

#include <optional>

namespace uinst {

struct TWizardPalette {
    bool Dark = false;
    COLORREF Accent = RGB(0xDE, 0x8C, 0x33);  // line under the header, footer, progress strip
    COLORREF Background = RGB(0xFF, 0xFF, 0xFF);
    COLORREF StripBackground = RGB(0xFF, 0xFF, 0xFF);
    COLORREF HeaderText = RGB(0x00, 0x00, 0x00);  // header title, description and page texts
    COLORREF VersionText = RGB(0xF0, 0xF0, 0xF0);
    // The controls' colours, from the skin of the scheme.
    COLORREF Text = RGB(0x00, 0x00, 0x00);          // "Labels.Colors.Text"
    COLORREF DisabledText = RGB(0x80, 0x80, 0x80);  // "Labels.Colors.TextDisabled"
    COLORREF Hyperlink = RGB(0xD9, 0x63, 0x00);     // "Labels.Colors.TextHyperlink"
    COLORREF ButtonText = RGB(0x00, 0x00, 0x00);    // "Buttons.Colors.Text"
    COLORREF EditContent = RGB(0xFA, 0xFA, 0xFA);   // "EditBox.Colors.Content"
    COLORREF EditContentDisabled = RGB(0xF0, 0xF0, 0xF0);
    COLORREF EditText = RGB(0x00, 0x00, 0x00);
    COLORREF EditTextDisabled = RGB(0x80, 0x80, 0x80);
    COLORREF EditBorder = RGB(0xBC, 0xBC, 0xBC);  // "EditBox.Colors.Border"
};

const TWizardPalette& WizardPalette();
// Sets the palette for the current scheme, loading the skin of that scheme into the root
// collection when it is not the one loaded; the wizard calls it at start and on a scheme change.
void UpdateWizardColors();
// The scheme of applications: HKCU ...\Themes\Personalize "AppsUseLightTheme" = 0 is dark.
bool IsDarkScheme();
// Tests and screenshots force a scheme; nothing returns to reading the registry.
void SetSchemeOverride(std::optional<bool> dark);

// A solid brush of the colour, kept for the process (the wizard uses a handful of colours).
HBRUSH PaletteBrush(COLORREF color);

}  // namespace uinst
