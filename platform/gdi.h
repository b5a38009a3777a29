#pragma once
// Owners of drawing resources: GDI objects, image lists and device contexts, and a guard that
// selects an object into a DC and puts the old one back.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <utility>

#include "platform/handles.h"

namespace uinst {

template <typename H>
struct TGdiObjectTraits {
    using Type = H;
    static H Invalid() { return nullptr; }
    static void Close(H h) { ::DeleteObject(h); }
};
struct TImageListTraits {
    using Type = HIMAGELIST;
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
struct TIconTraits {
    using Type = HICON;
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};

using TUniqueFont = TUniqueResource<TGdiObjectTraits<HFONT>>;
using TUniqueBrush = TUniqueResource<TGdiObjectTraits<HBRUSH>>;
using TUniquePen = TUniqueResource<TGdiObjectTraits<HPEN>>;
using TUniqueBitmap = TUniqueResource<TGdiObjectTraits<HBITMAP>>;
using TUniqueImageList = TUniqueResource<TImageListTraits>;
using TUniqueIcon = TUniqueResource<TIconTraits>;

// BeginPaint/EndPaint of a WM_PAINT handler.
class TPaintDC {
public:
    explicit TPaintDC(HWND window) : FWindow(window) { FDC = BeginPaint(window, &FPaint); }
    ~TPaintDC() { EndPaint(FWindow, &FPaint); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC Get() const { return FDC; }
    const RECT& PaintRect() const { return FPaint.rcPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC = nullptr;
};

// GetDC/ReleaseDC (the screen when the window is null).
class TWindowDC {
public:
    explicit TWindowDC(HWND window) : FWindow(window), FDC(GetDC(window)) {}
    ~TWindowDC() {
        if (FDC) ReleaseDC(FWindow, FDC);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC Get() const { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// SelectObject for the guard's lifetime.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) : FDC(dc), FOld(object ? SelectObject(dc, object) : nullptr) {}
    ~TSelectObject() {
        if (FOld) SelectObject(FDC, FOld);
    }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// A memory DC with a bitmap compatible with the given DC, for drawing off screen and copying
// the result once. A width or height of 0 gives a 1 x 1 bitmap.
class TMemoryDC {
public:
    TMemoryDC(HDC compatible, int width, int height);
    ~TMemoryDC();
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC Get() const { return FDC; }
    HBITMAP Bitmap() const { return FBitmap.Get(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    HDC FDC = nullptr;
    TUniqueBitmap FBitmap;
    HGDIOBJ FOldBitmap = nullptr;
    int FWidth;
    int FHeight;
};

// A 32-bit top-down DIB section; Bits points at Width x Height pixels (BGRA).
TUniqueBitmap CreateDibSection(int width, int height, void** bits);

// The three painting messages of a window that paints all of itself in one go (double-buffered,
// so the background is never erased first): WM_ERASEBKGND, WM_PAINT and WM_PRINTCLIENT, the last
// for pictures of the window. Nothing for other messages.
inline std::optional<LRESULT> HandlePaintMessages(HWND window, UINT message, WPARAM wParam,
                                                  const std::function<void(HDC)>& paint) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            TPaintDC dc(window);
            paint(dc.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            return 0;
        default:
            return std::nullopt;
    }
}

}  // namespace uinst
