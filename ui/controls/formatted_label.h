#pragma once
// TORLFormattedLabel: a label of this program whose caption is written in the bracket markup of
// formats/label_markup.h. It wraps at word boundaries, ends with an ellipsis what does not fit,
// draws bold, italic, underlined and struck-through text and colours, shows the hand pointer over
// links and opens them on a click. Its window text is the caption without markup, so screen
// readers read what a person sees.
#include <windows.h>

#include <functional>
#include <map>
#include <vector>

#include "formats/label_markup.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "ui/skin.h"

namespace uinst {

class TORLFormattedLabel : public TWindow, public ISkinnedControl {
public:
    // A link was clicked; set `handled` to keep the link from being opened.
    using TLinkExecute = std::function<void(const String& target, bool& handled)>;

    TORLFormattedLabel(HWND parent, DWORD style);

    HWND Handle() const override { return TWindow::Handle(); }
    static TORLFormattedLabel* FromHandle(HWND window);

    // The markup; a different caption is parsed again and repainted. WM_SETTEXT sets it too.
    void SetCaption(StringView caption);
    const String& Caption() const { return FCaption; }
    const TORLMarkupLayout& Layout() const { return FLayout; }

    bool Transparent = true;
    bool Borders = false;
    UINT Alignment = DT_LEFT;  // DT_LEFT, DT_CENTER or DT_RIGHT
    TLinkExecute OnLinkExecute;

    // The text lines of the last layout and the link under a point of the client area (-1: none).
    int LineCount();
    int LinkAt(POINT point);
    // Where a link's first piece is drawn; empty when the link is not shown.
    RECT LinkRect(int link);

    void SkinChanged() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct TRun {
        size_t Token = 0;  // index into the layout's tokens; SIZE_MAX for the ellipsis
        RECT Bounds{};
        String Text;
    };
    HFONT StyleFont(uint8_t style);
    void EnsureLayout(HDC dc);
    void Paint(HDC dc);

    String FCaption;
    TORLMarkupLayout FLayout;
    HFONT FFont = nullptr;  // the font set with WM_SETFONT; owned by the page
    std::map<uint8_t, TUniqueFont> FStyleFonts;
    std::vector<TRun> FRuns;
    int FLines = 0;
    int FLayoutWidth = -1;
    int FLayoutHeight = -1;
    int FPressedLink = -1;
};

}  // namespace uinst
