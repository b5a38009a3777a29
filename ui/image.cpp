#include "ui/image.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ needs the COM stream types first.
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/installer_errors.h"
#include "platform/os_error.h"

namespace uinst {

namespace {

namespace Gp = Gdiplus::DllExports;

// GDI+ is started once for the process and never shut down: pictures may live until exit.
void StartGdiPlus() {
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    if (!started) throw EInstallerGeneralError(u"The picture decoder (GDI+) cannot be started.");
}

struct TComRelease {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};
struct TGpImageRelease {
    void operator()(Gdiplus::GpImage* p) const {
        if (p) Gp::GdipDisposeImage(p);
    }
};

const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

std::unique_ptr<TImage> TImage::FromBytes(const void* data, size_t size) {
    StartGdiPlus();
    if (size > 0x7FFFFFFF) throw EInstallerGeneralError(u"The picture is too large.");
    std::unique_ptr<IStream, TComRelease> stream(
        SHCreateMemStream(static_cast<const BYTE*>(data), static_cast<UINT>(size)));
    if (!stream) throw EInstallerGeneralError(u"Not enough memory for a picture.");
    Gdiplus::GpBitmap* raw = nullptr;
    if (Gp::GdipCreateBitmapFromStream(stream.get(), &raw) != Gdiplus::Ok || !raw)
        throw EInstallerGeneralError(u"The picture cannot be read.");
    std::unique_ptr<Gdiplus::GpImage, TGpImageRelease> bitmap(raw);
    UINT width = 0, height = 0;
    Gp::GdipGetImageWidth(bitmap.get(), &width);
    Gp::GdipGetImageHeight(bitmap.get(), &height);
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        throw EInstallerGeneralError(u"The picture cannot be read.");

    auto image = std::make_unique<TImage>();
    image->FWidth = static_cast<int>(width);
    image->FHeight = static_cast<int>(height);
    void* bits = nullptr;
    image->FBitmap = CreateDibSection(image->FWidth, image->FHeight, &bits);
    if (!bits) throw EInstallerGeneralError(u"Not enough memory for a picture.");
    Gdiplus::GpRect rect(0, 0, image->FWidth, image->FHeight);
    Gdiplus::BitmapData locked{};
    locked.Width = width;
    locked.Height = height;
    locked.Stride = static_cast<INT>(width * 4);
    locked.PixelFormat = PixelFormat32bppPARGB;
    locked.Scan0 = bits;
    // The decoder writes straight into the DIB section, premultiplied as AlphaBlend wants.
    if (Gp::GdipBitmapLockBits(static_cast<Gdiplus::GpBitmap*>(bitmap.get()), &rect,
                               Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB,
                               &locked) != Gdiplus::Ok)
        throw EInstallerGeneralError(u"The picture cannot be read.");
    Gp::GdipBitmapUnlockBits(static_cast<Gdiplus::GpBitmap*>(bitmap.get()), &locked);
    return image;
}

void TImage::Draw(HDC dc, const RECT& dest) const {
    TWindowDC screen(nullptr);
    HDC source = CreateCompatibleDC(screen.Get());
    if (!source) return;
    HGDIOBJ old = SelectObject(source, FBitmap.Get());
    SetStretchBltMode(dc, HALFTONE);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source, 0, 0, FWidth, FHeight,
               blend);
    SelectObject(source, old);
    DeleteDC(source);
}

void SaveBitmapPng(HBITMAP bitmap, const String& fileName) {
    StartGdiPlus();
    DIBSECTION dib{};
    if (GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 32 || !dib.dsBm.bmBits)
        throw EInstallerGeneralError(u"Only 32-bit pictures are saved.");
    const int width = dib.dsBm.bmWidth, height = std::abs(dib.dsBmih.biHeight);
    // Opaque copy: the window's pixels carry no meaningful alpha.
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    std::memcpy(pixels.data(), dib.dsBm.bmBits, pixels.size());
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    Gdiplus::GpBitmap* raw = nullptr;
    const int stride = width * 4;
    uint8_t* first = pixels.data();
    if (dib.dsBmih.biHeight > 0) {  // bottom-up: start at the last row with a negative stride
        first += static_cast<size_t>(height - 1) * stride;
    }
    if (Gp::GdipCreateBitmapFromScan0(width, height, dib.dsBmih.biHeight > 0 ? -stride : stride, PixelFormat32bppARGB,
                                      first, &raw) != Gdiplus::Ok)
        throw EInstallerGeneralError(u"The picture cannot be saved.");
    std::unique_ptr<Gdiplus::GpImage, TGpImageRelease> image(raw);
    if (Gp::GdipSaveImageToFile(image.get(), WidePtr(fileName), &kPngEncoder, nullptr) != Gdiplus::Ok)
        throw EInstallerGeneralError(u"The picture cannot be saved: " + fileName);
}

void SaveWindowPng(HWND window, const String& fileName) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    void* bits = nullptr;
    TUniqueBitmap bitmap = CreateDibSection(width, height, &bits);
    if (!bits) throw EInstallerGeneralError(u"Not enough memory for a picture.");
    TWindowDC screen(nullptr);
    HDC dc = CreateCompatibleDC(screen.Get());
    HGDIOBJ old = SelectObject(dc, bitmap.Get());
    PrintWindow(window, dc, 0);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    SaveBitmapPng(bitmap.Get(), fileName);
}

}  // namespace uinst
