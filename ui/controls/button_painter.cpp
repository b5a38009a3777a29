#include "ui/controls/button_painter.h"

#include <algorithm>
#include <string>

#include "platform/gdi.h"

namespace uinst {

namespace {

enum class TButtonShape { Push, Check, Radio };

std::optional<TButtonShape> ShapeOf(HWND button) {
    wchar_t className[16]{};
    if (!GetClassNameW(button, className, 16) || lstrcmpiW(className, L"Button") != 0) return std::nullopt;
    switch (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return TButtonShape::Push;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return TButtonShape::Check;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return TButtonShape::Radio;
    }
    return std::nullopt;  // group boxes, owner-drawn and split buttons keep their own drawing
}

struct TButtonState {
    bool Enabled, Hot, Pressed, Focused, Default, ShowFocus, ShowPrefix;
    UINT Check;  // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE
};

TButtonState StateOf(HWND button, const NMCUSTOMDRAW& draw) {
    const auto state = static_cast<UINT>(SendMessageW(button, BM_GETSTATE, 0, 0));
    const auto cues = static_cast<UINT>(SendMessageW(button, WM_QUERYUISTATE, 0, 0));
    TButtonState s{};
    s.Enabled = IsWindowEnabled(button) != FALSE;
    s.Hot = s.Enabled && ((state & BST_HOT) || (draw.uItemState & CDIS_HOT));
    s.Pressed = s.Enabled && (state & BST_PUSHED);
    s.Focused = GetFocus() == button;
    s.Default = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    s.ShowFocus = !(cues & UISF_HIDEFOCUS);
    s.ShowPrefix = !(cues & UISF_HIDEACCEL);
    s.Check = state & (BST_CHECKED | BST_INDETERMINATE);
    return s;
}

void Fill(HDC dc, RECT r, COLORREF color) {
    FillRect(dc, &r, PaletteBrush(color));
}

// A frame `width` pixels wide inside the rectangle.
void Frame(HDC dc, RECT r, int width, COLORREF color) {
    for (int i = 0; i < width && r.right - r.left > 1 && r.bottom - r.top > 1; ++i) {
        FrameRect(dc, &r, PaletteBrush(color));
        InflateRect(&r, -1, -1);
    }
}

// Every other pixel along the edges, as the system marks keyboard focus, in the caption's colour.
void FocusFrame(HDC dc, const RECT& r, COLORREF color) {
    if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
    for (int x = r.left; x < r.right; x += 2) {
        SetPixelV(dc, x, r.top, color);
        SetPixelV(dc, x, r.bottom - 1, color);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        SetPixelV(dc, r.left, y, color);
        SetPixelV(dc, r.right - 1, y, color);
    }
}

std::wstring Caption(HWND button) {
    const int length = GetWindowTextLengthW(button);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int read = GetWindowTextW(button, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(read, 0)));
    return text;
}

// The caption in the rectangle, centred vertically; wrapped when the button is multi-line.
void DrawCaption(HDC dc, HWND button, RECT r, UINT align, const TButtonState& state, COLORREF color, RECT* drawn) {
    const std::wstring text = Caption(button);
    const bool multiLine = (GetWindowLongW(button, GWL_STYLE) & BS_MULTILINE) != 0;
    const UINT format = align | DT_NOCLIP | (state.ShowPrefix ? 0 : DT_HIDEPREFIX) |
                        (multiLine ? DT_WORDBREAK : DT_SINGLELINE | DT_END_ELLIPSIS);
    RECT measured = r;
    DrawTextW(dc, text.c_str(), -1, &measured, format | DT_CALCRECT);
    const int height = std::min<int>(measured.bottom - measured.top, r.bottom - r.top);
    const int width = std::min<int>(measured.right - measured.left, r.right - r.left);
    RECT place{r.left, r.top + (r.bottom - r.top - height) / 2, r.right, 0};
    place.bottom = place.top + height;
    if (align == DT_CENTER) place.left = r.left + (r.right - r.left - width) / 2;
    place.right = std::min<LONG>(r.right, place.left + width);
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    RECT target = place;
    if (align == DT_CENTER) target = RECT{r.left, place.top, r.right, place.bottom};
    DrawTextW(dc, text.c_str(), -1, &target, format & ~DT_NOCLIP);
    *drawn = place;
}

COLORREF TextColor(const TWizardPalette& p, const TButtonState& s, COLORREF text) {
    if (!s.Enabled) return p.ButtonTextDisabled;
    if (text != CLR_INVALID) return text;
    return s.Pressed ? p.ButtonTextPressed : s.Hot ? p.ButtonTextHot : p.ButtonText;
}

void PaintPush(HDC dc, HWND button, const RECT& client, const TWizardPalette& p, const TScale& scale,
               const TButtonState& s, COLORREF text) {
    const int line = std::max(1, scale(1));
    const COLORREF face = s.Pressed ? p.ButtonFacePressed : s.Hot ? p.ButtonFaceHot : p.ButtonFace;
    Fill(dc, client, face);
    if (!s.Enabled)
        Frame(dc, client, line, p.ButtonBorderDisabled);
    else if (s.Default || s.Pressed)
        Frame(dc, client, 2 * line, p.ButtonBorderDefault);
    else
        Frame(dc, client, line, p.ButtonBorder);
    RECT inner = client;
    InflateRect(&inner, -scale(6), -line);
    RECT drawn{};
    DrawCaption(dc, button, inner, DT_CENTER, s, TextColor(p, s, text), &drawn);
    if (s.Focused && s.ShowFocus) {
        RECT focus = client;
        InflateRect(&focus, -(2 * line + std::max(1, scale(1))), -(2 * line + std::max(1, scale(1))));
        FocusFrame(dc, focus, TextColor(p, s, text));
    }
}

void PaintBox(HDC dc, HWND button, const RECT& client, TButtonShape shape, const TWizardPalette& p, const TScale& scale,
              const TButtonState& s, COLORREF background, COLORREF text) {
    Fill(dc, client, background);
    const int side = std::min<int>(scale(13), client.bottom - client.top);
    const int top = client.top + (client.bottom - client.top - side) / 2;
    const RECT box{client.left, top, client.left + side, top + side};
    const int line = std::max(1, scale(1));
    const COLORREF border = !s.Enabled ? p.ButtonTextDisabled : (s.Hot || s.Pressed) ? p.CheckBorderHot : p.CheckBorder;
    const COLORREF face = s.Pressed ? p.CheckFacePressed : p.CheckFace;
    const COLORREF mark = s.Enabled ? p.CheckMark : p.ButtonTextDisabled;
    if (shape == TButtonShape::Check) {
        Fill(dc, box, face);
        Frame(dc, box, line, border);
        if (s.Check == BST_CHECKED) {
            // A tick from the left middle down to the lower third and up to the upper right.
            TUniquePen pen(CreatePen(PS_SOLID, std::max(2, scale(2)), mark));
            TSelectObject selectPen(dc, pen.Get());
            const POINT tick[3]{{box.left + side * 3 / 13, box.top + side * 6 / 13},
                                {box.left + side * 5 / 13, box.top + side * 9 / 13},
                                {box.left + side * 10 / 13, box.top + side * 3 / 13}};
            Polyline(dc, tick, 3);
        } else if (s.Check == BST_INDETERMINATE) {
            RECT square = box;
            InflateRect(&square, -side * 4 / 13, -side * 4 / 13);
            Fill(dc, square, mark);
        }
    } else {
        TUniquePen pen(CreatePen(PS_INSIDEFRAME, line, border));
        TSelectObject selectPen(dc, pen.Get());
        TSelectObject selectBrush(dc, PaletteBrush(face));
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
        if (s.Check == BST_CHECKED) {
            TUniquePen markPen(CreatePen(PS_NULL, 0, mark));
            TSelectObject selectMarkPen(dc, markPen.Get());
            TSelectObject selectMark(dc, PaletteBrush(mark));
            const int inset = side * 4 / 13;
            Ellipse(dc, box.left + inset, box.top + inset, box.right - inset + 1, box.bottom - inset + 1);
        }
    }
    RECT label{box.right + scale(5), client.top, client.right, client.bottom};
    RECT drawn{};
    DrawCaption(dc, button, label, DT_LEFT, s, TextColor(p, s, text), &drawn);
    if (s.Focused && s.ShowFocus) {
        InflateRect(&drawn, std::max(1, scale(2)), std::max(1, scale(1)));
        IntersectRect(&drawn, &drawn, &client);
        FocusFrame(dc, drawn, TextColor(p, s, text));
    }
}

}  // namespace

std::optional<LRESULT> PaintButton(const NMHDR& header, const TWizardPalette& palette, const TScale& scale,
                                   COLORREF background, COLORREF text) {
    if (header.code != NM_CUSTOMDRAW) return std::nullopt;
    const auto shape = ShapeOf(header.hwndFrom);
    if (!shape) return std::nullopt;
    const auto& draw = reinterpret_cast<const NMCUSTOMDRAW&>(header);
    if (draw.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
    RECT client{};
    GetClientRect(header.hwndFrom, &client);
    if (client.right <= 0 || client.bottom <= 0) return CDRF_SKIPDEFAULT;
    const TButtonState state = StateOf(header.hwndFrom, draw);
    // Drawn off screen and copied once: no flicker while the mouse moves over it.
    TMemoryDC memory(draw.hdc, client.right, client.bottom);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(header.hwndFrom, WM_GETFONT, 0, 0));
    TSelectObject selectFont(memory.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    if (*shape == TButtonShape::Push)
        PaintPush(memory.Get(), header.hwndFrom, client, palette, scale, state, text);
    else
        PaintBox(memory.Get(), header.hwndFrom, client, *shape, palette, scale, state, background, text);
    BitBlt(draw.hdc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
    return CDRF_SKIPDEFAULT;
}

}  // namespace uinst
