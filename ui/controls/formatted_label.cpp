#include "ui/controls/formatted_label.h"

#include <algorithm>

#include "ui/controls/links.h"
#include "ui/palette.h"

namespace uinst {

namespace {

constexpr wchar_t kLabelClass[] = L"uinst.TORLFormattedLabel";

COLORREF MarkupColor(TORLMarkupColor color) {
    return IsMarkupSystemColor(color) ? GetSysColor(static_cast<int>(color & 0xFF)) : static_cast<COLORREF>(color);
}

SIZE Measure(HDC dc, HFONT font, StringView text) {
    TSelectObject select(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()), &size);
    return size;
}

}  // namespace

TORLFormattedLabel::TORLFormattedLabel(HWND parent, DWORD style) {
    CreateHandle(kLabelClass, 0, String(), WS_CHILD | style, 0, 0, 0, 0, parent);
}

TORLFormattedLabel* TORLFormattedLabel::FromHandle(HWND window) {
    return dynamic_cast<TORLFormattedLabel*>(TWindow::FromHandle(window));
}

void TORLFormattedLabel::SetCaption(StringView caption) {
    SetWindowTextW(Handle(), WidePtr(String(caption)));
}

HFONT TORLFormattedLabel::StyleFont(uint8_t style) {
    auto& font = FStyleFonts[style];
    if (!font) {
        LOGFONTW log{};
        HFONT base = FFont ? FFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        GetObjectW(base, sizeof(log), &log);
        if (style & msBold) log.lfWeight = FW_BOLD;
        if (style & msItalic) log.lfItalic = TRUE;
        if (style & msUnderline) log.lfUnderline = TRUE;
        if (style & msStrikeOut) log.lfStrikeOut = TRUE;
        font.Reset(CreateFontIndirectW(&log));
    }
    return font.Get();
}

void TORLFormattedLabel::EnsureLayout(HDC dc) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = client.right, height = client.bottom;
    if (width == FLayoutWidth && height == FLayoutHeight) return;
    FLayoutWidth = width;
    FLayoutHeight = height;
    FRuns.clear();
    TEXTMETRICW metrics{};
    {
        TSelectObject select(dc, StyleFont(0));
        GetTextMetricsW(dc, &metrics);
    }
    const int lineHeight = std::max<int>(metrics.tmHeight, 1);
    // Lines of runs, wrapped at word boundaries; spaces at the start of a wrapped line are dropped.
    std::vector<std::vector<TRun>> lines(1);
    int x = 0;
    const auto& tokens = FLayout.Tokens();
    for (size_t i = 0; i < tokens.size(); ++i) {
        const auto& token = tokens[i];
        if (token.Kind == mtLineBreak) {
            lines.emplace_back();
            x = 0;
            continue;
        }
        const StringView text = FLayout.TokenText(token);
        if (token.Kind == mtSpace && lines.back().empty() && lines.size() > 1) continue;
        const int w = Measure(dc, StyleFont(token.Style), text).cx;
        if (token.Kind == mtWord && x > 0 && x + w > width) {
            // Trailing spaces stay on the line they end.
            lines.emplace_back();
            x = 0;
        }
        lines.back().push_back(TRun{i, RECT{x, 0, x + w, 0}, String(text)});
        x += w;
    }
    FLines = static_cast<int>(lines.size());
    const int visible = std::max(1, height / lineHeight);
    if (static_cast<int>(lines.size()) > visible) {
        // What does not fit ends with an ellipsis on the last line shown.
        lines.resize(static_cast<size_t>(visible));
        auto& last = lines.back();
        const int ellipsis = Measure(dc, StyleFont(0), u"\u2026").cx;
        while (!last.empty() &&
               (last.back().Bounds.right + ellipsis > width || tokens[last.back().Token].Kind == mtSpace))
            last.pop_back();
        const int start = last.empty() ? 0 : static_cast<int>(last.back().Bounds.right);
        last.push_back(TRun{SIZE_MAX, RECT{start, 0, start + ellipsis, 0}, String(u"\u2026")});
    }
    for (size_t l = 0; l < lines.size(); ++l) {
        int lineWidth = 0;
        for (const auto& run : lines[l]) lineWidth = std::max<int>(lineWidth, run.Bounds.right);
        int shift = 0;
        if (Alignment == DT_CENTER) shift = (width - lineWidth) / 2;
        if (Alignment == DT_RIGHT) shift = width - lineWidth;
        for (auto& run : lines[l]) {
            run.Bounds.left += shift;
            run.Bounds.right += shift;
            run.Bounds.top = static_cast<LONG>(l) * lineHeight;
            run.Bounds.bottom = run.Bounds.top + lineHeight;
            FRuns.push_back(std::move(run));
        }
    }
}

int TORLFormattedLabel::LineCount() {
    TWindowDC dc(Handle());
    EnsureLayout(dc.Get());
    return FLines;
}

int TORLFormattedLabel::LinkAt(POINT point) {
    TWindowDC dc(Handle());
    EnsureLayout(dc.Get());
    for (const auto& run : FRuns)
        if (run.Token != SIZE_MAX && PtInRect(&run.Bounds, point)) return FLayout.Tokens()[run.Token].Link;
    return -1;
}

RECT TORLFormattedLabel::LinkRect(int link) {
    TWindowDC dc(Handle());
    EnsureLayout(dc.Get());
    for (const auto& run : FRuns)
        if (run.Token != SIZE_MAX && FLayout.Tokens()[run.Token].Link == link &&
            FLayout.Tokens()[run.Token].Kind == mtWord)
            return run.Bounds;
    return RECT{};
}

void TORLFormattedLabel::Paint(HDC target) {
    RECT client{};
    GetClientRect(Handle(), &client);
    TMemoryDC dc(target, client.right, client.bottom);
    const auto& palette = WizardPalette();
    HWND parent = GetParent(Handle());
    if (Transparent && parent) {
        // What the parent paints under the label shows through.
        POINT origin{0, 0};
        MapWindowPoints(Handle(), parent, &origin, 1);
        SetViewportOrgEx(dc.Get(), -origin.x, -origin.y, nullptr);
        SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        SetViewportOrgEx(dc.Get(), 0, 0, nullptr);
    } else {
        FillRect(dc.Get(), &client, PaletteBrush(SkinColor(u"Labels.Colors.Background", palette.Background)));
    }
    EnsureLayout(dc.Get());
    const bool enabled = IsWindowEnabled(Handle()) != FALSE;
    const COLORREF text = enabled ? palette.Text : palette.DisabledText;
    const COLORREF link = enabled ? palette.Hyperlink : palette.DisabledText;
    SetBkMode(dc.Get(), TRANSPARENT);
    const auto& tokens = FLayout.Tokens();
    for (const auto& run : FRuns) {
        const TORLMarkupToken* token = run.Token == SIZE_MAX ? nullptr : &tokens[run.Token];
        COLORREF color = text;
        if (token && token->Link >= 0) color = link;
        if (token && token->HasColor && enabled) color = MarkupColor(token->Color);
        if (token && token->HasBackColor) FillRect(dc.Get(), &run.Bounds, PaletteBrush(MarkupColor(token->BackColor)));
        TSelectObject select(dc.Get(), StyleFont(token ? token->Style : 0));
        SetTextColor(dc.Get(), color);
        ExtTextOutW(dc.Get(), run.Bounds.left, run.Bounds.top, ETO_CLIPPED, &client, WidePtr(run.Text),
                    static_cast<UINT>(run.Text.size()), nullptr);
    }
    if (Borders) {
        const COLORREF outer = SkinColor(u"Common.Colors.Border1", RGB(0xBC, 0xBC, 0xBC));
        FrameRect(dc.Get(), &client, PaletteBrush(outer));
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
}

void TORLFormattedLabel::SkinChanged() {
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TORLFormattedLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto painted = HandlePaintMessages(Handle(), message, wParam, [this](HDC dc) { Paint(dc); }))
        return *painted;
    switch (message) {
        case WM_SETTEXT: {
            const String caption = lParam ? FromWide(reinterpret_cast<const wchar_t*>(lParam)) : String();
            if (caption == FCaption && !FCaption.empty()) return TRUE;
            FCaption = caption;
            TORLMarkupSettings settings;
            settings.Tags = true;
            settings.EscapedLineBreaks = true;
            settings.AutoLinks = true;
            FLayout.Parse(FCaption, settings);
            FLayoutWidth = -1;
            InvalidateRect(Handle(), nullptr, FALSE);
            // The window text is what is shown: the caption without its markup.
            return TWindow::HandleMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WidePtr(FLayout.Text())));
        }
        case WM_SETFONT:
            FFont = reinterpret_cast<HFONT>(wParam);
            FStyleFonts.clear();
            FLayoutWidth = -1;
            if (LOWORD(lParam)) InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(FFont);
        case WM_SIZE:
            FLayoutWidth = -1;
            InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        case WM_ENABLE:
            InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                POINT point{};
                GetCursorPos(&point);
                ScreenToClient(Handle(), &point);
                if (LinkAt(point) >= 0) {
                    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONDOWN:
            FPressedLink = LinkAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_LBUTTONUP: {
            const int link = LinkAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            const bool clicked = link >= 0 && link == FPressedLink;
            FPressedLink = -1;
            if (clicked) {
                const String target = FLayout.Links()[static_cast<size_t>(link)].Target;
                bool handled = false;
                if (OnLinkExecute) OnLinkExecute(target, handled);
                if (!handled) ExecuteLink(target);
            }
            return 0;
        }
        case WM_NCHITTEST:
            // Clicks between links reach the label too (a static label would let them through).
            return HTCLIENT;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace uinst
