#include "ui/image.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ needs the COM stream types first.
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/installer_errors.h"
#include "platform/com.h"
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
    const TComPtr<IStream> stream(SHCreateMemStream(static_cast<const BYTE*>(data), static_cast<UINT>(size)));
    if (!stream) throw EInstallerGeneralError(u"Not enough memory for a picture.");
    Gdiplus::GpBitmap* raw = nullptr;
    if (Gp::GdipCreateBitmapFromStream(stream.Get(), &raw) != Gdiplus::Ok || !raw)
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
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight == 0)
        throw EInstallerGeneralError(u"The picture cannot be saved.");
    const int width = info.bmWidth, height = std::abs(info.bmHeight);
    // Read back top-down in 32 bits, whatever the bitmap's own layout.
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = -height;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    TWindowDC screen(nullptr);
    if (GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &request, DIB_RGB_COLORS) == 0)
        throw EInstallerGeneralError(u"The picture cannot be saved.");
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;  // window pixels carry no alpha
    Gdiplus::GpBitmap* raw = nullptr;
    if (Gp::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, pixels.data(), &raw) !=
        Gdiplus::Ok)
        throw EInstallerGeneralError(u"The picture cannot be saved.");
    std::unique_ptr<Gdiplus::GpImage, TGpImageRelease> image(raw);
    if (Gp::GdipSaveImageToFile(image.get(), WidePtr(fileName), &kPngEncoder, nullptr) != Gdiplus::Ok)
        throw EInstallerGeneralError(u"The picture cannot be saved: " + fileName);
}

namespace {

// Paints the window and, bottom of the z-order first, its visible children into the DC, each at
// its place relative to the top window's client area.
void PrintTree(HWND window, HWND top, HDC dc, bool isTop) {
    POINT origin{0, 0};
    MapWindowPoints(window, top, &origin, 1);
    RECT client{};
    GetClientRect(window, &client);
    if (!isTop) {
        // The child's own frame (borders of edits and viewers) starts left of and above its client area.
        RECT frame{};
        GetWindowRect(window, &frame);
        POINT frameOrigin{frame.left, frame.top};
        ScreenToClient(top, &frameOrigin);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, frameOrigin.x, frameOrigin.y, frameOrigin.x + frame.right - frame.left,
                          frameOrigin.y + frame.bottom - frame.top);
        SetViewportOrgEx(dc, frameOrigin.x, frameOrigin.y, nullptr);
        SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT);
        RestoreDC(dc, saved);
    } else {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    }
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (IsWindowVisible(*it)) PrintTree(*it, top, dc, false);
}

}  // namespace

namespace {

// A picture of the window's client area, as `draw` paints it into a memory DC of that size.
template <typename Draw>
TUniqueBitmap ClientPicture(HWND window, void** bits, Draw draw) {
    RECT client{};
    GetClientRect(window, &client);
    void* pixels = nullptr;
    TUniqueBitmap bitmap = CreateDibSection(client.right, client.bottom, &pixels);
    if (!pixels) throw EInstallerGeneralError(u"Not enough memory for a picture.");
    TWindowDC screen(nullptr);
    HDC dc = CreateCompatibleDC(screen.Get());
    HGDIOBJ old = SelectObject(dc, bitmap.Get());
    draw(dc, client, screen.Get());
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    if (bits) *bits = pixels;
    return bitmap;
}

}  // namespace

void SaveWindowPng(HWND window, const String& fileName) {
    const TUniqueBitmap bitmap = ClientPicture(window, nullptr, [window](HDC dc, const RECT& client, HDC) {
        // What the window shows: its surface holds the pixels of every child too. Where nothing
        // can be read back (no surface), the windows are asked to print themselves.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        {
            TWindowDC source(window);
            BitBlt(dc, 0, 0, client.right, client.bottom, source.Get(), 0, 0, SRCCOPY);
        }
        if (!IsWindowVisible(window)) PrintTree(window, window, dc, true);
    });
    SaveBitmapPng(bitmap.Get(), fileName);
}

TUniqueBitmap CaptureScreen(HWND window, void** bits) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return ClientPicture(window, bits, [origin](HDC dc, const RECT& client, HDC screen) {
        BitBlt(dc, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    });
}

}  // namespace uinst
