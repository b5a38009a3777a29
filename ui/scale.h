#pragma once
// Design units at 96 pixels per inch turned into pixels of one window, and the fonts of that
// window cached per size and weight for its current DPI.
#include <windows.h>

#include <map>
#include <utility>

#include "base/string.h"
#include "platform/gdi.h"

namespace uinst {

// The DPI of the window's monitor (GetDpiForWindow where the system has it, else the screen's).
UINT WindowDpi(HWND window);
// Gives the window a client area of that size, keeping its frame as the system draws it now;
// at the given top-left corner when there is one.
void SetClientSize(HWND window, int width, int height, const POINT* topLeft = nullptr);

class TScale {
public:
    explicit TScale(UINT dpi = 96) : FDpi(dpi ? dpi : 96) {}
    UINT Dpi() const { return FDpi; }
    // value x DPI / 96, integer arithmetic (truncated); unchanged at 96.
    int operator()(int value) const { return value * static_cast<int>(FDpi) / 96; }
    // A design rectangle given as left, top, width, height.
    RECT Bounds(int left, int top, int width, int height) const {
        const int l = (*this)(left), t = (*this)(top);
        return RECT{l, t, l + (*this)(width), t + (*this)(height)};
    }

private:
    UINT FDpi;
};

// Fonts of one window: face "Segoe UI", a point size and a weight, at the window's DPI.
class TFontCache {
public:
    void SetDpi(UINT dpi);
    HFONT Get(int points, bool bold = false);

private:
    UINT FDpi = 96;
    std::map<std::pair<int, bool>, TUniqueFont> FFonts;
};

// Text height of a font in pixels.
int FontHeight(HFONT font);

}  // namespace uinst
