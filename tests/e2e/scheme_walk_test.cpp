// The real setup program follows the colour scheme of Windows: the scheme of applications in the
// user's registry at start, and a change of it announced by the system's broadcast while the wizard
// is open. What the screen shows is read back: page background, footer, strip, header (picture and
// text), version text, the controls, and the wizard picture, which keeps the scheme it was made in.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/wizard_e2e_support.h"
#include "ui/testing/wizard_driver.h"

namespace uinst::e2e {
namespace {

using testing::TScreenPicture;
using testing::TWizardDriver;

constexpr char16_t kPersonalize[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// What Windows sends to every top-level window when the user switches between light and dark.
void BroadcastSchemeChange() {
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                                  SMTO_ABORTIFHUNG, 5000, &result),
              0);
}

// The colours of a scheme as the wizard paints them, and pixels of its pictures.
struct TScheme {
    COLORREF Background;  // pages and window
    COLORREF Accent;      // footer, line under the header, progress strip
    COLORREF StripBackground;
    COLORREF Text;  // header texts, labels, check boxes, licence text
    COLORREF EditContent;
    COLORREF HeaderPicture;     // header.png or header_dark.png at 630, 30
    COLORREF WizardPicture[2];  // wizard_light.png or wizard_dark.png at 10, 10 and 40, 420
};

const TScheme kDark{RGB(0x26, 0x26, 0x26),
                    RGB(0xAC, 0x67, 0x1C),
                    RGB(0x2A, 0x2A, 0x2A),
                    RGB(0xFF, 0xFF, 0xFF),
                    RGB(0x2F, 0x2F, 0x2F),
                    RGB(38, 38, 38),
                    {RGB(73, 48, 22), RGB(31, 31, 30)}};
const TScheme kLight{RGB(0xFF, 0xFF, 0xFF),
                     RGB(0xDE, 0x8C, 0x33),
                     RGB(0xFF, 0xFF, 0xFF),
                     RGB(0x00, 0x00, 0x00),
                     RGB(0xFA, 0xFA, 0xFA),
                     RGB(255, 255, 255),
                     {RGB(221, 139, 50), RGB(181, 95, 19)}};
constexpr COLORREF kVersionText = RGB(0xF0, 0xF0, 0xF0);

std::string Hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return a != CLR_INVALID && std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance && std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// One reading of the screen, compared with what the wizard should show; collects the differences.
class TLook {
public:
    explicit TLook(const TWizardDriver& d) : FWizard(d.Wizard()), FPicture(d.Wizard()) {}
    const TScreenPicture& Picture() const { return FPicture; }
    const std::string& Differences() const { return FDifferences; }

    // A design point of the client area (640 x 480 at 96 DPI).
    POINT Design(int x, int y) const {
        return POINT{MulDiv(x, FPicture.Width(), 640), MulDiv(y, FPicture.Height(), 480)};
    }
    RECT Design(int left, int top, int width, int height) const {
        const POINT a = Design(left, top), b = Design(left + width, top + height);
        return RECT{a.x, a.y, b.x, b.y};
    }
    // Where a control of the wizard lies in the client area.
    RECT Bounds(HWND control) const {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, FWizard, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // Where the client area of a control lies (its scroll bars left out).
    RECT ClientBounds(HWND control) const {
        RECT r{};
        GetClientRect(control, &r);
        MapWindowPoints(control, FWizard, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    void Pixel(const char* what, POINT at, COLORREF expected, int tolerance = 0) {
        const COLORREF seen = FPicture.Pixel(at.x, at.y);
        if (!Near(seen, expected, tolerance))
            FDifferences += std::string(what) + " at " + std::to_string(at.x) + "," + std::to_string(at.y) + ": " +
                            Hex(seen) + " instead of " + Hex(expected) + "\n";
    }
    // Text of that colour in the rectangle: at least that many pixels of it.
    void Text(const char* what, const RECT& r, COLORREF colour, int least) {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) count += Near(FPicture.Pixel(x, y), colour, 40);
        if (count < least)
            FDifferences += std::string(what) + ": " + std::to_string(count) + " pixels of " + Hex(colour) +
                            ", expected at least " + std::to_string(least) + "\n";
    }

private:
    HWND FWizard;
    TScreenPicture FPicture;
    std::string FDifferences;
};

// The footer band with the version text, on every page.
void ExpectFooter(TLook& look, const TScheme& s) {
    look.Pixel("footer", look.Design(320, 460), s.Accent);
    look.Pixel("version label background", look.Design(250, 459), s.Accent);
    look.Text("version text", look.Design(12, 447, 257, 25), kVersionText, 20);
}

// The welcome page: a full-screen page with the wizard picture of the scheme it was made in.
void ExpectWelcome(TLook& look, const TWizardDriver& d, const TScheme& s, const TScheme& picture) {
    look.Pixel("page background", look.Design(625, 400), s.Background);
    look.Pixel("wizard picture", look.Design(10, 10), picture.WizardPicture[0], 8);
    look.Pixel("wizard picture", look.Design(40, 420), picture.WizardPicture[1], 8);
    HWND heading = d.Control(u"Welcome to the ORVO Setup");
    if (heading)
        look.Text("heading", look.Bounds(heading), s.Text, 30);
    else
        look.Text("heading (not found)", RECT{}, s.Text, 1);
    ExpectFooter(look, s);
}

// The licence page: header with title and description, the strip, the licence text and the box.
void ExpectLicense(TLook& look, const TWizardDriver& d, const TScheme& s) {
    look.Pixel("header picture", look.Design(630, 30), s.HeaderPicture, 8);
    look.Text("header text", look.Design(144, 6, 480, 35), s.Text, 30);
    look.Pixel("line under the header", look.Design(320, 52), s.Accent);
    look.Pixel("strip, done part", look.Design(40, 58), s.Accent);
    look.Pixel("strip background", look.Design(600, 58), s.StripBackground);
    look.Pixel("page background", look.Design(10, 200), s.Background);
    HWND viewer = d.ControlOfClass(L"RichEdit20W");
    HWND accept = d.Control(u"I accept the terms of the license agreement");
    if (!viewer || !accept) {
        look.Text("licence text and box (not found)", RECT{}, s.Text, 1);
        return;
    }
    const RECT v = look.ClientBounds(viewer);
    // Bottom left: below the text.
    look.Pixel("licence background", POINT{v.left + 12, v.bottom - 12}, s.EditContent);
    look.Text("licence text", v, s.Text, 200);
    RECT box = look.Bounds(accept);
    look.Pixel("check box background", POINT{box.right - 4, (box.top + box.bottom) / 2}, s.Background);
    // The caption only: the square of the box is drawn by the system.
    box.left += look.Design(20, 0).x;
    look.Text("check box caption", box, s.Text, 20);
    ExpectFooter(look, s);
}

// Reads the screen until the wizard shows the look or the time is up (what it paints by itself:
// nothing asks it to repaint); saves the last reading as e2e_scheme_NAME.png and returns its
// differences.
std::string AwaitLook(const TWizardDriver& d, const char* name, const std::function<void(TLook&)>& expect) {
    const DWORD start = GetTickCount();
    for (;;) {
        TLook look(d);
        expect(look);
        if (look.Differences().empty() || GetTickCount() - start > 10000) {
            look.Picture().Save(ScreenshotFile((std::string("scheme_") + name).c_str()));
            return look.Differences();
        }
        TWizardDriver::Pump(20);
    }
}

TEST(SchemeWalk, TheWizardStartsInTheUsersSchemeAndRecoloursWhenItChanges) {
    {
        const HDC screen = GetDC(nullptr);
        const COLORREF probe = GetPixel(screen, 0, 0);
        ReleaseDC(nullptr, screen);
        if (probe == CLR_INVALID) GTEST_SKIP() << "the screen cannot be read (no display)";
    }
    TRegistryValueGuard setting(HKEY_CURRENT_USER, kPersonalize, u"AppsUseLightTheme");  // ends after the process
    setting.Set(0);
    // With message boxes: the close question ends the walk.
    TSetupProcess setup(u"");
    ChooseLanguage(setup);
    HWND wizard = TWizardDriver::FindWizard(setup.Id());
    ASSERT_NE(wizard, nullptr);
    TWizardDriver d(wizard);
    ASSERT_TRUE(d.WaitForPage(u"PageWelcome"));
    // Dark from the registry at start, the dark picture on the welcome page.
    EXPECT_EQ(AwaitLook(d, "1_welcome_dark", [&](TLook& look) { ExpectWelcome(look, d, kDark, kDark); }), "");

    // The value goes: light at once; the picture stays as it was made.
    setting.Set(std::nullopt);
    BroadcastSchemeChange();
    EXPECT_EQ(AwaitLook(d, "2_welcome_light", [&](TLook& look) { ExpectWelcome(look, d, kLight, kDark); }), "");

    TWizardDriver::Click(d.NextButton());
    ASSERT_TRUE(d.WaitForPage(u"PageLicense"));
    EXPECT_EQ(AwaitLook(d, "3_license_light", [&](TLook& look) { ExpectLicense(look, d, kLight); }), "");

    // Both ways on a page with a header and controls: dark, then light again (the value 1).
    setting.Set(0);
    BroadcastSchemeChange();
    EXPECT_EQ(AwaitLook(d, "4_license_dark", [&](TLook& look) { ExpectLicense(look, d, kDark); }), "");
    setting.Set(1);
    BroadcastSchemeChange();
    EXPECT_EQ(AwaitLook(d, "5_license_light", [&](TLook& look) { ExpectLicense(look, d, kLight); }), "");

    // The close button, then OK on the question: a wizard left before the run ends with exit code 2.
    CancelThroughTheCloseQuestion(setup, wizard);
    EXPECT_EQ(setup.Wait(), 2u);
}

}  // namespace
}  // namespace uinst::e2e
