// The wizard's own controls under Wine: the rich viewer (text, zoom, links), the formatted label
// (window text, wrapping, links) and the skin of the scheme; clicks on links reach the shell seam.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include "base/stream.h"
#include "platform/seams.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "ui/controls/button_painter.h"
#include "ui/controls/formatted_label.h"
#include "ui/controls/links.h"
#include "ui/controls/rich_viewer.h"
#include "ui/palette.h"
#include "ui/skin.h"

namespace uinst {
namespace {

TEST(Links, EmptyNothingAddressesAndFoldersAsTheyAreHostsWithHttp) {
    auto noFolder = [](const String&) { return false; };
    EXPECT_EQ(LinkOpenTarget(u"", noFolder), u"");
    EXPECT_EQ(LinkOpenTarget(u"https://orvo.example.org/", noFolder), u"https://orvo.example.org/");
    EXPECT_EQ(LinkOpenTarget(u"\\\\server//share", noFolder), u"\\\\server//share");
    EXPECT_EQ(LinkOpenTarget(u"www.example.org", noFolder), u"http://www.example.org");
    EXPECT_EQ(LinkOpenTarget(u"C:\\Music", [](const String& path) { return path == u"C:\\Music"; }), u"C:\\Music");
    EXPECT_EQ(LinkOpenTarget(u"C:\\Missing", noFolder), u"http://C:\\Missing");
}

TEST(RichViewerZoom, NumeratorRoundingAndBounds) {
    EXPECT_EQ(RichViewerZoomNumerator(100), 64);
    EXPECT_EQ(RichViewerZoomNumerator(150), 96);
    EXPECT_EQ(RichViewerZoomNumerator(101), 65);  // 64.64
    EXPECT_EQ(RichViewerZoomNumerator(99), 63);   // 63.37
    EXPECT_EQ(RichViewerZoomNumerator(50), 32);   // 32.5: ties go to the even numerator
    EXPECT_EQ(RichViewerZoomNumerator(1), 2);
    EXPECT_EQ(RichViewerZoomNumerator(0), std::nullopt);  // 1 is out of bounds
    EXPECT_EQ(RichViewerZoomNumerator(6399), 4095);
    EXPECT_EQ(RichViewerZoomNumerator(6400), std::nullopt);
    EXPECT_EQ(RichViewerZoomNumerator(-5), std::nullopt);
    EXPECT_EQ(ScaleZoomPercentage(100, 144, 96), 150);
    EXPECT_EQ(ScaleZoomPercentage(150, 96, 144), 100);
}

// A parent that hands notifications to its skinned child, as the pages do.
class THost : public TWindow {
public:
    THost() {
        CreateHandle(L"uinst.test.THost", 0, u"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600, 400, nullptr);
    }
    ISkinnedControl* Child = nullptr;
    TScale Scale;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY && Child) {
            LRESULT result = 0;
            if (Child->HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
        }
        if (message == WM_NOTIFY)
            if (const auto result = PaintButton(*reinterpret_cast<const NMHDR*>(lParam), WizardPalette(), Scale,
                                                WizardPalette().Background))
                return *result;
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(Handle(), &ps);
            EndPaint(Handle(), &ps);
            return 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
};

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        SetSchemeOverride(false);
        UpdateWizardColors();
    }
    void TearDown() override { SetSchemeOverride(std::nullopt); }
    void Click(HWND window, POINT at) {
        const LPARAM position = MAKELPARAM(at.x, at.y);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
        SendMessageW(window, WM_LBUTTONUP, 0, position);
    }
    THost host;
    std::vector<String> opened;
    TSeamOverride<decltype(TSeams::ShellOpen)> shell{Seams().ShellOpen, [this](const TShellRequest& request) {
                                                         opened.push_back(request.File);
                                                         return true;
                                                     }};
};

TEST_F(Controls, RichViewerShowsTextAndDocumentsAndZooms) {
    TORLRichViewer viewer(host.Handle(), WS_VISIBLE | WS_VSCROLL);
    EXPECT_EQ(TORLRichViewer::FromHandle(viewer.Handle()), &viewer);
    EXPECT_EQ(SendMessageW(viewer.Handle(), EM_GETLIMITTEXT, 0, 0), TORLRichViewer::kTextLimit);
    // Plain text stays plain even when it looks like a document.
    viewer.SetText(u"{\\rtf1 not a document}\r\nsecond line");
    EXPECT_EQ(viewer.Text(), u"{\\rtf1 not a document}\r\nsecond line");

    TMemoryStream document;
    const std::string rtf = "{\\rtf1\\ansi {\\b Licence} of ORVO\\par See www.example.org for more.\\par}";
    document.Write(rtf.data(), rtf.size());
    document.Seek(0, TSeekOrigin::soBeginning);
    viewer.LoadFromStream(&document);
    EXPECT_EQ(viewer.Text().substr(0, 16), u"Licence of ORVO\r");
    viewer.LoadFromStream(nullptr);  // no document: the content stays
    EXPECT_EQ(viewer.Text().substr(0, 16), u"Licence of ORVO\r");

    viewer.SetZoom(150);
    WPARAM numerator = 0;
    LPARAM denominator = 0;
    SendMessageW(viewer.Handle(), EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                 reinterpret_cast<LPARAM>(&denominator));
    EXPECT_EQ(numerator, 96u);
    EXPECT_EQ(denominator, 64);
    viewer.SetZoom(6400);  // out of bounds: neither applied nor kept
    EXPECT_EQ(viewer.ZoomPercentage(), 150);
    viewer.ScaleChanged(96, 144);
    EXPECT_EQ(viewer.ZoomPercentage(), 100);
}

TEST_F(Controls, RichViewerLinkClickReachesTheShell) {
    TORLRichViewer viewer(host.Handle(), WS_VISIBLE);
    host.Child = &viewer;
    SetWindowPos(viewer.Handle(), nullptr, 0, 0, 500, 300, SWP_NOZORDER);
    viewer.SetText(u"Visit www.example.org today");
    // The notification the control sends for a released button over an address.
    ENLINK link{};
    link.nmhdr = NMHDR{viewer.Handle(), 0, EN_LINK};
    link.msg = WM_LBUTTONUP;
    link.chrg = CHARRANGE{6, 21};
    SendMessageW(host.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], u"http://www.example.org");
    link.msg = WM_LBUTTONDOWN;  // only the release opens
    SendMessageW(host.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
    EXPECT_EQ(opened.size(), 1u);

    // A real click on the detected address, where the control reports it.
    POINTL at{};
    SendMessageW(viewer.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), 10);
    opened.clear();
    Click(viewer.Handle(), POINT{at.x + 1, at.y + 3});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], u"http://www.example.org");
}

TEST_F(Controls, FormattedLabelTextWrappingAndLinks) {
    TORLFormattedLabel label(host.Handle(), WS_VISIBLE);
    host.Child = &label;
    SendMessageW(label.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SetWindowPos(label.Handle(), nullptr, 10, 10, 500, 200, SWP_NOZORDER);
    label.SetCaption(
        u"Extras by [B]ORVO Team[/B]\\nMore: [URL=https://orvo.example.org/]the site[/URL] or www.example.org.");
    wchar_t text[200]{};
    GetWindowTextW(label.Handle(), text, 200);
    EXPECT_EQ(FromWide(text), u"Extras by ORVO Team\r\nMore: the site or www.example.org.");
    EXPECT_EQ(label.LineCount(), 2);

    const RECT first = label.LinkRect(0);
    ASSERT_LT(first.left, first.right);
    EXPECT_EQ(label.LinkAt(POINT{first.left + 1, first.top + 1}), 0);
    EXPECT_EQ(label.LinkAt(POINT{1, 1}), -1);  // "Extras"
    Click(label.Handle(), POINT{(first.left + first.right) / 2, (first.top + first.bottom) / 2});
    const RECT second = label.LinkRect(1);
    Click(label.Handle(), POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2});
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], u"https://orvo.example.org/");
    EXPECT_EQ(opened[1], u"https://www.example.org.");

    // A handler that takes the click keeps it from the shell.
    String handledTarget;
    label.OnLinkExecute = [&](const String& target, bool& handled) {
        handledTarget = target;
        handled = true;
    };
    Click(label.Handle(), POINT{(first.left + first.right) / 2, (first.top + first.bottom) / 2});
    EXPECT_EQ(handledTarget, u"https://orvo.example.org/");
    EXPECT_EQ(opened.size(), 2u);

    // Narrower, the same text needs more lines; too low, it ends with an ellipsis.
    SetWindowPos(label.Handle(), nullptr, 0, 0, 80, 200, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_GT(label.LineCount(), 3);
    SetWindowPos(label.Handle(), nullptr, 0, 0, 80, 12, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_GT(label.LineCount(), 3);
    EXPECT_EQ(label.LinkAt(POINT{1, 30}), -1);  // nothing is drawn below the label's height

    // Screenshots take the label through WM_PRINTCLIENT.
    const TWindowDC screen(nullptr);
    TMemoryDC dc(screen.Get(), 80, 12);
    SendMessageW(label.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
}

TEST_F(Controls, SkinOfTheSchemeGivesTheControlsTheirColours) {
    ASSERT_TRUE(LoadRootSkin(false));
    EXPECT_EQ(SkinColor(u"Labels.Colors.Text", RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SkinColor(u"EditBox.Colors.Content", 0), RGB(0xFA, 0xFA, 0xFA));
    EXPECT_EQ(SkinColor(u"No.Such.Colour", RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(SkinFont(u"Common.Fonts.Default").Height, -11);
    ASSERT_TRUE(LoadRootSkin(true));
    EXPECT_EQ(SkinColor(u"Labels.Colors.Text", 0), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(SkinColor(u"Common.Colors.Background1", 0), RGB(0x2A, 0x2A, 0x2A));

    // The palette of the controls follows the scheme.
    SetSchemeOverride(true);
    UpdateWizardColors();
    EXPECT_TRUE(RootSkinDark());
    EXPECT_EQ(WizardPalette().Background, RGB(0x26, 0x26, 0x26));
    EXPECT_EQ(WizardPalette().Accent, RGB(0xAC, 0x67, 0x1C));
    EXPECT_EQ(WizardPalette().Text, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(WizardPalette().EditContent, RGB(0x2F, 0x2F, 0x2F));
    EXPECT_EQ(WizardPalette().Hyperlink, RGB(0xDE, 0x8C, 0x33));
    SetSchemeOverride(false);
    UpdateWizardColors();
    EXPECT_FALSE(RootSkinDark());
    EXPECT_EQ(WizardPalette().Text, RGB(0, 0, 0));
    EXPECT_EQ(WizardPalette().Hyperlink, RGB(0xD9, 0x63, 0x00));
}

TEST_F(Controls, Windows11TakesTheVariantsOfItsSkinItems) {
    const auto twin = [] {
        const auto* button = RootResources().GetResource<TORLResourceTexture>(u"Buttons.Textures.Button");
        const auto* variant = RootResources().GetResource<TORLResourceTexture>(u"Buttons.Textures.Button.W11");
        return button && variant && button->Master() == variant;
    };
    {
        TSeamOverride<decltype(TSeams::OSVersion)> version(Seams().OSVersion, [] { return TOSVersion{10, 0, 19045}; });
        EXPECT_FALSE(IsWindows11());
        ASSERT_TRUE(LoadRootSkin(false));
        EXPECT_FALSE(twin());
    }
    TSeamOverride<decltype(TSeams::OSVersion)> version(Seams().OSVersion, [] { return TOSVersion{10, 0, 22000}; });
    EXPECT_TRUE(IsWindows11());
    ASSERT_TRUE(LoadRootSkin(false));
    EXPECT_TRUE(twin());
    LoadRootSkin(false);
}

// Buttons of the system's class drawn by the wizard: what a button shows, taken as the pictures of
// the wizard are (WM_PRINTCLIENT, which paints through the same custom draw).
class ButtonPainting : public Controls {
protected:
    void SetUp() override {
        Controls::SetUp();
        Scheme(false);
    }
    void Scheme(bool dark) {
        SetSchemeOverride(dark);
        LoadRootSkin(dark);  // under the Windows 10 of the fixture
        UpdateWizardColors();
    }
    HWND Create(DWORD style, const wchar_t* caption, int width, int height) {
        HWND button = CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 10, 10, width,
                                      height, host.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(button, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return button;
    }
    struct TShot {
        std::vector<COLORREF> Pixels;
        int Width = 0;
        COLORREF At(int x, int y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }
        // Pixels close to the colour in the rectangle.
        int Count(COLORREF colour, RECT r, int tolerance = 24) const {
            int count = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) {
                    const COLORREF c = At(x, y);
                    count += std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
                             std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
                             std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance;
                }
            return count;
        }
    };
    TShot Shot(HWND button) {
        RECT client{};
        GetClientRect(button, &client);
        const TWindowDC screen(nullptr);
        TMemoryDC dc(screen.Get(), client.right, client.bottom);
        FillRect(dc.Get(), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        TShot shot;
        shot.Width = client.right;
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x) shot.Pixels.push_back(GetPixel(dc.Get(), x, y));
        return shot;
    }
    TSeamOverride<decltype(TSeams::OSVersion)> windows10{Seams().OSVersion, [] { return TOSVersion{10, 0, 19045}; }};
};

TEST_F(ButtonPainting, ButtonColoursComeFromTheSkinOfTheScheme) {
    EXPECT_EQ(WizardPalette().ButtonFace, RGB(0xE1, 0xE1, 0xE1));
    EXPECT_EQ(WizardPalette().ButtonBorder, RGB(0xAD, 0xAD, 0xAD));
    EXPECT_EQ(WizardPalette().CheckFace, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(WizardPalette().CheckBorder, RGB(0x33, 0x33, 0x33));
    EXPECT_EQ(WizardPalette().ButtonTextDisabled, RGB(0x80, 0x80, 0x80));
    Scheme(true);
    EXPECT_EQ(WizardPalette().ButtonFace, RGB(0x33, 0x33, 0x33));
    EXPECT_EQ(WizardPalette().ButtonBorder, RGB(0x5A, 0x5A, 0x5A));
    EXPECT_EQ(WizardPalette().CheckFace, RGB(0x2F, 0x2F, 0x2F));
    EXPECT_EQ(WizardPalette().CheckBorder, RGB(0xC8, 0xC8, 0xC8));
    EXPECT_EQ(WizardPalette().ButtonText, RGB(0xFF, 0xFF, 0xFF));
    // Hot and pressed faces and the default button's border stand apart from the face.
    EXPECT_NE(WizardPalette().ButtonFaceHot, WizardPalette().ButtonFace);
    EXPECT_NE(WizardPalette().ButtonFacePressed, WizardPalette().ButtonFaceHot);
    EXPECT_NE(WizardPalette().ButtonBorderDefault, WizardPalette().ButtonBorder);
    {
        // Windows 11 takes the face of the skin's variant.
        TSeamOverride<decltype(TSeams::OSVersion)> windows11(Seams().OSVersion, [] {
            return TOSVersion{10, 0, 22000};
        });
        LoadRootSkin(true);
        UpdateWizardColors();
        EXPECT_EQ(WizardPalette().ButtonFace, RGB(0x2D, 0x2D, 0x2D));
        SetSchemeOverride(false);
        LoadRootSkin(false);
        UpdateWizardColors();
        EXPECT_EQ(WizardPalette().ButtonFace, RGB(0xFB, 0xFB, 0xFB));
    }
    Scheme(false);
}

TEST_F(ButtonPainting, PushButtonFaceBorderStatesAndDisabledText) {
    HWND next = Create(BS_DEFPUSHBUTTON, L"Next >", 121, 25);
    HWND back = Create(BS_PUSHBUTTON, L"< Back", 121, 25);
    const RECT text{20, 4, 100, 21};
    TShot shot = Shot(next);
    EXPECT_EQ(shot.At(4, 4), WizardPalette().ButtonFace);
    EXPECT_EQ(shot.At(0, 0), WizardPalette().ButtonBorderDefault);  // the default button
    EXPECT_EQ(shot.At(1, 12), WizardPalette().ButtonBorderDefault);
    EXPECT_GT(shot.Count(WizardPalette().ButtonText, text), 10);
    EXPECT_EQ(Shot(back).At(0, 0), WizardPalette().ButtonBorder);
    EXPECT_EQ(Shot(back).At(1, 12), WizardPalette().ButtonFace);

    SendMessageW(next, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(Shot(next).At(4, 4), WizardPalette().ButtonFacePressed);
    SendMessageW(next, BM_SETSTATE, FALSE, 0);

    EnableWindow(next, FALSE);
    shot = Shot(next);
    EXPECT_EQ(shot.At(4, 4), WizardPalette().ButtonFace);
    EXPECT_EQ(shot.At(0, 0), WizardPalette().ButtonBorderDisabled);
    EXPECT_GT(shot.Count(WizardPalette().ButtonTextDisabled, text), 10);
    EXPECT_EQ(shot.Count(WizardPalette().ButtonText, text), 0);
    EnableWindow(next, TRUE);

    // The dark scheme: a dark face with light text, not the system's light button.
    Scheme(true);
    shot = Shot(next);
    EXPECT_EQ(shot.At(4, 4), RGB(0x33, 0x33, 0x33));
    EXPECT_GT(shot.Count(RGB(0xFF, 0xFF, 0xFF), text), 10);
    EXPECT_EQ(shot.Count(RGB(0, 0, 0), text), 0);
    // Still a button of the system: its caption is its window text.
    wchar_t caption[16]{};
    GetWindowTextW(next, caption, 16);
    EXPECT_STREQ(caption, L"Next >");
}

TEST_F(ButtonPainting, CheckBoxAndRadioMarksFollowTheirState) {
    HWND box = Create(BS_AUTOCHECKBOX, L"Back up the files", 200, 17);
    HWND radio = Create(BS_RADIOBUTTON, L"Portable installation", 200, 17);
    for (bool dark : {false, true}) {
        Scheme(dark);
        const TWizardPalette& p = WizardPalette();
        const RECT square{2, 4, 11, 13};  // inside the box of 13 pixels, centred on 17
        for (HWND button : {box, radio}) {
            SCOPED_TRACE(button == box ? "check box" : "radio button");
            SendMessageW(button, BM_SETCHECK, BST_UNCHECKED, 0);
            TShot shot = Shot(button);
            EXPECT_EQ(shot.At(199, 8), p.Background);
            EXPECT_EQ(shot.Count(p.CheckMark, square, 0), 0);
            EXPECT_GT(shot.Count(p.CheckFace, square, 0), 20);
            SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
            EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
            shot = Shot(button);
            EXPECT_GT(shot.Count(p.CheckMark, square, 0), 8);
            EXPECT_GT(shot.Count(p.ButtonText, RECT{20, 0, 150, 17}), 10);  // the caption
        }
    }
    // A click ticks the automatic box, drawn at once.
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    // The box grows with the density: 13 pixels at 96 DPI, 19 at 144.
    const auto side = [&] {
        const TShot shot = Shot(box);
        int last = -1;
        for (int x = 0; x < host.Scale(16); ++x)  // left of the caption
            if (shot.At(x, 8) == WizardPalette().CheckBorder) last = x;
        return last + 1;
    };
    EXPECT_EQ(side(), 13);
    host.Scale = TScale(144);
    SetWindowPos(box, nullptr, 0, 0, 300, 25, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(side(), 19);
}

}  // namespace
}  // namespace uinst
