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
    COLORREF Text = RGB(0x00, 0x00, 0x00);           // "Labels.Colors.Text"
    COLORREF DisabledText = RGB(0x80, 0x80, 0x80);   // "Labels.Colors.TextDisabled"
    COLORREF Hyperlink = RGB(0xD9, 0x63, 0x00);      // "Labels.Colors.TextHyperlink"
    COLORREF ButtonText = RGB(0x00, 0x00, 0x00);     // "Buttons.Colors.Text"
    COLORREF ButtonTextHot = RGB(0x00, 0x00, 0x00);  // "Buttons.Colors.TextHover"
    COLORREF ButtonTextPressed = RGB(0x00, 0x00, 0x00);
    COLORREF ButtonTextDisabled = RGB(0x80, 0x80, 0x80);
    // Push buttons: face and border of "Buttons.Textures.Button"; under the mouse and pressed the
    // face moves towards the text colour, the default button has a stronger border.
    COLORREF ButtonFace = RGB(0xE1, 0xE1, 0xE1);
    COLORREF ButtonFaceHot = RGB(0xD0, 0xD0, 0xD0);
    COLORREF ButtonFacePressed = RGB(0xBE, 0xBE, 0xBE);
    COLORREF ButtonBorder = RGB(0xAD, 0xAD, 0xAD);
    COLORREF ButtonBorderDefault = RGB(0x56, 0x56, 0x56);
    COLORREF ButtonBorderDisabled = RGB(0xC7, 0xC7, 0xC7);
    // The squares of check boxes and circles of radio buttons: face and border of
    // "Buttons.Textures.CheckBox"; the border takes the accent under the mouse.
    COLORREF CheckFace = RGB(0xFF, 0xFF, 0xFF);
    COLORREF CheckFacePressed = RGB(0xE0, 0xE0, 0xE0);
    COLORREF CheckBorder = RGB(0x33, 0x33, 0x33);
    COLORREF CheckBorderHot = RGB(0xDE, 0x8C, 0x33);
    COLORREF CheckMark = RGB(0x00, 0x00, 0x00);
    COLORREF EditContent = RGB(0xFA, 0xFA, 0xFA);  // "EditBox.Colors.Content"
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
