#include "platform/gdi.h"

#include <algorithm>

namespace uinst {

TMemoryDC::TMemoryDC(HDC compatible, int width, int height) : FWidth(std::max(width, 1)), FHeight(std::max(height, 1)) {
    FDC = CreateCompatibleDC(compatible);
    FBitmap.Reset(CreateCompatibleBitmap(compatible, FWidth, FHeight));
    if (FDC && FBitmap) FOldBitmap = SelectObject(FDC, FBitmap.Get());
}

TMemoryDC::~TMemoryDC() {
    if (FDC) {
        if (FOldBitmap) SelectObject(FDC, FOldBitmap);
        DeleteDC(FDC);
    }
}

TUniqueBitmap CreateDibSection(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = std::max(width, 1);
    info.bmiHeader.biHeight = -std::max(height, 1);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    TUniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (bits) *bits = bitmap ? pixels : nullptr;
    return bitmap;
}

}  // namespace uinst
