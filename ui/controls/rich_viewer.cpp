#include "ui/controls/rich_viewer.h"

#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/handles.h"
#include "platform/os_error.h"
#include "ui/controls/links.h"
#include "ui/palette.h"

namespace uinst {

namespace {

constexpr wchar_t kViewerProperty[] = L"uinst.TORLRichViewer";

struct TStreamCookie {
    TStream* Source = nullptr;
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Position = 0;
};

DWORD CALLBACK ReadCookie(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* done) {
    auto* c = reinterpret_cast<TStreamCookie*>(cookie);
    const size_t count = wanted > 0 ? static_cast<size_t>(wanted) : 0;
    try {
        if (c->Source) {
            *done = static_cast<LONG>(c->Source->Read(buffer, count));
        } else {
            const size_t n = std::min(count, c->Size - c->Position);
            if (n) std::memcpy(buffer, c->Data + c->Position, n);
            c->Position += n;
            *done = static_cast<LONG>(n);
        }
    } catch (...) {
        // A stream that fails ends the document where it is; the control keeps what it read.
        *done = 0;
        return 1;
    }
    return 0;
}

void StreamIn(HWND window, TStreamCookie& cookie, WPARAM format) {
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&cookie), 0, ReadCookie};
    SendMessageW(window, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
}

}  // namespace

bool LoadRichEditLibrary() {
    static TUniqueModule library(LoadLibraryW(L"RICHED20.DLL"));
    return static_cast<bool>(library);
}

std::optional<int> RichViewerZoomNumerator(int percentage) {
    // nearbyint rounds to nearest with ties to even in the default rounding mode.
    const double value = percentage > 100 ? percentage * 0.64 : percentage * 0.63 + 1;
    const double numerator = std::nearbyint(value);
    if (numerator <= 1 || numerator >= 4096) return std::nullopt;
    return static_cast<int>(numerator);
}

int ScaleZoomPercentage(int percentage, int numerator, int denominator) {
    return MulDiv(percentage, numerator, denominator);
}

TORLRichViewer::TORLRichViewer(HWND parent, DWORD style) {
    if (!LoadRichEditLibrary()) RaiseLastOSError(u"RICHED20.DLL");
    // Scroll bars stay when not needed (disabled); the viewer draws no border of its own: the
    // page frames it in the skin's border colour.
    FHandle = CreateWindowExW(0, kRichEditClass, L"",
                              WS_CHILD | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_DISABLENOSCROLL | style, 0, 0,
                              0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!FHandle) RaiseLastOSError(u"RICHEDIT20W");
    SetPropW(FHandle, kViewerProperty, this);
    SendMessageW(FHandle, EM_EXLIMITTEXT, 0, kTextLimit);
    SendMessageW(FHandle, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(FHandle, EM_SETEVENTMASK, 0, ENM_LINK);
    ApplyColors();
}

TORLRichViewer::~TORLRichViewer() {
    if (FHandle && IsWindow(FHandle)) {
        RemovePropW(FHandle, kViewerProperty);
        DestroyWindow(FHandle);
    }
}

TORLRichViewer* TORLRichViewer::FromHandle(HWND window) {
    return window ? static_cast<TORLRichViewer*>(GetPropW(window, kViewerProperty)) : nullptr;
}

void TORLRichViewer::LoadFromStream(TStream* stream) {
    if (!stream) return;
    TStreamCookie cookie;
    cookie.Source = stream;
    StreamIn(FHandle, cookie, SF_RTF);
    ContentChanged();
}

void TORLRichViewer::SetText(const String& text) {
    // Streamed as plain text: WM_SETTEXT would take a text that starts with "{\rtf" for a document.
    TStreamCookie cookie;
    cookie.Data = reinterpret_cast<const uint8_t*>(text.data());
    cookie.Size = text.size() * sizeof(char16_t);
    StreamIn(FHandle, cookie, SF_TEXT | SF_UNICODE);
    ContentChanged();
}

String TORLRichViewer::Text() const {
    GETTEXTLENGTHEX lengthEx{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const LRESULT length = SendMessageW(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthEx), 0);
    String text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, u'\0');
    GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(char16_t)), GT_USECRLF, 1200, nullptr, nullptr};
    const LRESULT copied =
        SendMessageW(FHandle, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, static_cast<LRESULT>(text.size()))));
    return text;
}

void TORLRichViewer::SetZoom(int percentage) {
    const auto numerator = RichViewerZoomNumerator(percentage);
    if (!numerator) return;
    FZoom = percentage;
    SendMessageW(FHandle, EM_SETZOOM, static_cast<WPARAM>(*numerator), 64);
}

void TORLRichViewer::ContentChanged() {
    ApplyColors();
    SetZoom(FZoom);
}

void TORLRichViewer::ApplyColors() {
    const auto& palette = WizardPalette();
    const bool enabled = IsWindowEnabled(FHandle) != FALSE;
    SendMessageW(FHandle, EM_SETBKGNDCOLOR, 0,
                 static_cast<LPARAM>(enabled ? palette.EditContent : palette.EditContentDisabled));
    // Documents are written for the default colour; the whole text takes the skin's text colour,
    // so that they read on the dark background too.
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = palette.EditText;
    SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

void TORLRichViewer::SkinChanged() {
    ApplyColors();
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TORLRichViewer::ScaleChanged(int numerator, int denominator) {
    if (numerator == denominator || denominator == 0) return;
    SetZoom(ScaleZoomPercentage(FZoom, numerator, denominator));
}

bool TORLRichViewer::HandleNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != FHandle || header.code != EN_LINK) return false;
    const auto& link = reinterpret_cast<const ENLINK&>(header);
    result = 0;
    if (link.msg != WM_LBUTTONUP) return true;
    // An address longer than any a shell takes is cut, range and buffer alike.
    const LONG length = std::clamp(link.chrg.cpMax - link.chrg.cpMin, 0L, 32767L);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    TEXTRANGEW range{CHARRANGE{link.chrg.cpMin, link.chrg.cpMin + length}, text.data()};
    SendMessageW(FHandle, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    ExecuteLink(FromWide(text.c_str()));
    return true;
}

}  // namespace uinst
