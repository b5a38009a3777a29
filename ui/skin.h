#pragma once
// The skin of the wizard's controls at run time: the root resource collection, loaded from the
// program's own resources "ORLDEFAULTSKIN" (light) or "ORLDEFAULTSKIN_DARK" (dark), and its
// colours and fonts by identifier ("Labels.Colors.Text").
#include <windows.h>

#include <optional>

#include "base/string.h"
#include "formats/skin.h"

namespace uinst {

// The collection every control falls back to; empty until LoadRootSkin.
TORLRootResourceCollectionImpl& RootResources();
// Replaces the root collection's items with the light or dark skin of the executable; on Windows 11
// the identifiers with an ".W11" variant take it. False (and the collection emptied) when the
// executable carries no such resource or it is damaged: colours then come from their defaults.
bool LoadRootSkin(bool dark);
// The scheme of the skin loaded last; none before the first load.
bool RootSkinLoaded();
bool RootSkinDark();

// Windows 11 is version 10.0 from build 22000 on (through the OS version seam).
bool IsWindows11();

// A colour of the root collection as GDI draws it (the alpha channel dropped), or the fallback
// when the identifier names no colour or the colour is fully transparent.
COLORREF SkinColor(StringView id, COLORREF fallback);
// The values of a font item (the class defaults when there is none).
TORLFontValues SkinFont(StringView id);

// The two colours of a texture's first state at 96 DPI: the middle of the picture and its edge
// (the skins draw each state as a filled rectangle with a border). None when the identifier names
// no texture or its first picture is empty or damaged.
struct TSkinTextureColors {
    COLORREF Fill;
    COLORREF Border;
};
std::optional<TSkinTextureColors> SkinTextureColors(StringView id);

// 0xAARRGGBB to 0x00BBGGRR.
inline COLORREF AlphaColorToColorRef(TAlphaColor color) {
    return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

// Asks the window manager for a dark (or the usual) title bar; systems without one ignore it.
void ApplyTitleBarScheme(HWND window, bool dark);

// A control of this program behind a child window that takes its looks from the skin and the
// palette; the page tells it when the scheme or the scale changed and hands it its notifications.
class ISkinnedControl {
public:
    virtual ~ISkinnedControl() = default;
    virtual HWND Handle() const = 0;
    // The colour scheme changed: colours are taken again from the skin and the palette.
    virtual void SkinChanged() = 0;
    // The window moved to a display of another density (factor numerator / denominator).
    virtual void ScaleChanged(int /*numerator*/, int /*denominator*/) {}
    // A WM_NOTIFY from the control to its parent; true when handled.
    virtual bool HandleNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
};

}  // namespace uinst
