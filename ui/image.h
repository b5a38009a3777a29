#pragma once
// Pictures of the setup package (PNG and the other formats the system decodes), held as a
// premultiplied 32-bit bitmap and drawn with their transparency; and PNG files of a window.
#include <windows.h>

#include <memory>

#include "base/string.h"
#include "platform/gdi.h"

namespace uinst {

class TImage {
public:
    // Decodes the bytes; raises a clear error when they are no picture.
    static std::unique_ptr<TImage> FromBytes(const void* data, size_t size);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    HBITMAP Bitmap() const { return FBitmap.Get(); }
    // Stretched into the rectangle, blended over what is there.
    void Draw(HDC dc, const RECT& dest) const;

private:
    TUniqueBitmap FBitmap;
    int FWidth = 0;
    int FHeight = 0;
};

// Writes the pixels of a 32-bit DIB section as a PNG file.
void SaveBitmapPng(HBITMAP bitmap, const String& fileName);
// Draws the client area of the window and its child windows into a bitmap and saves it as PNG
// (the frame is left out: the system draws it, and not at all without a display).
void SaveWindowPng(HWND window, const String& fileName);
// What the screen shows of the window's client area, frame left out, as a 32-bit top-down DIB
// section (its pixels at *bits when asked for): the window may belong to another process. Needs a
// display; without one the picture is empty.
TUniqueBitmap CaptureScreen(HWND window, void** bits);

}  // namespace uinst
