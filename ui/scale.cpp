#include "ui/scale.h"

namespace uinst {

namespace {

// Loaded at run time: the program also runs on Windows 7, which has neither function.
template <typename F>
F UserFunction(const char* name) {
    static HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

}  // namespace

UINT WindowDpi(HWND window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto getDpi = UserFunction<TGetDpiForWindow>("GetDpiForWindow");
    if (getDpi && window) {
        if (const UINT dpi = getDpi(window)) return dpi;
    }
    TWindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void SetClientSize(HWND window, int width, int height, const POINT* topLeft) {
    RECT current{}, client{};
    GetWindowRect(window, &current);
    GetClientRect(window, &client);
    const int frameWidth = (current.right - current.left) - client.right;
    const int frameHeight = (current.bottom - current.top) - client.bottom;
    const POINT at = topLeft ? *topLeft : POINT{current.left, current.top};
    SetWindowPos(window, nullptr, at.x, at.y, width + frameWidth, height + frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFontCache::SetDpi(UINT dpi) {
    if (dpi == FDpi) return;
    FDpi = dpi;
    FFonts.clear();
}

HFONT TFontCache::Get(int points, bool bold) {
    auto& font = FFonts[{points, bold}];
    if (!font) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(points, static_cast<int>(FDpi), 72);
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(lf.lfFaceName, L"Segoe UI", LF_FACESIZE);
        font.Reset(CreateFontIndirectW(&lf));
    }
    return font.Get();
}

int FontHeight(HFONT font) {
    TWindowDC screen(nullptr);
    TSelectObject select(screen.Get(), font);
    TEXTMETRICW tm{};
    GetTextMetricsW(screen.Get(), &tm);
    return tm.tmHeight;
}

}  // namespace uinst
