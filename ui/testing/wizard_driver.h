#pragma once
// Drives the wizard the way a person does, from the same process or from another one: finds its
// windows, reads texts, visibility, enabled and checked states, clicks, types and presses keys
// (window messages, which reach the controls the same way under Wine with or without a display),
// and saves a PNG of the window.
#include <windows.h>

#include <vector>

#include "base/string.h"
#include "platform/gdi.h"

namespace uinst::testing {

class TWizardDriver {
public:
    // The wizard window of the process (any process when 0), waiting up to the time limit.
    static HWND FindWizard(DWORD processId, DWORD timeoutMs = 20000);
    // The language dialog of the process.
    static HWND FindLanguageDialog(DWORD processId, DWORD timeoutMs = 20000);
    // A message box (or other system dialog) of the process.
    static HWND FindMessageBox(DWORD processId, DWORD timeoutMs = 10000);
    // The message of a message box: the texts of its static controls, one after the other.
    static String MessageBoxText(HWND box);

    explicit TWizardDriver(HWND wizard) : FWizard(wizard) {}
    HWND Wizard() const { return FWizard; }
    bool Alive() const { return IsWindow(FWizard) != FALSE; }

    // The visible page and its name ("PageSetup"); empty when none.
    HWND ActivePage() const;
    String ActivePageName() const;
    // Waits until the named page is shown; false after the time limit.
    bool WaitForPage(StringView name, DWORD timeoutMs = 20000) const;
    bool WaitUntilClosed(DWORD timeoutMs = 20000) const;

    HWND NextButton() const;
    HWND BackButton() const;
    // A child of the active page by its caption; by class (and index among those) otherwise.
    HWND Control(StringView caption) const;
    HWND ControlOfClass(const wchar_t* className, int index = 0) const;
    std::vector<HWND> Controls() const;

    static String Text(HWND window);
    static bool Visible(HWND window);
    static bool Enabled(HWND window);
    static bool Checked(HWND box);
    // Clicks a button; waits for the click's handler at most two seconds (it may open a box).
    static void Click(HWND button);
    // Types the text character by character into an edit (after emptying it).
    static void Type(HWND edit, StringView text);
    static void PressKey(HWND window, WORD key);
    // Lets queued messages of this thread run (the wizard may live on it).
    static void Pump(DWORD milliseconds = 0);

    // Draws the window into a bitmap and saves it as PNG (only for a window of this process).
    void Screenshot(const String& fileName) const;
    // Saves what the screen shows of the window (of any process) as PNG, once it has painted.
    void ScreenCapture(const String& fileName) const;

private:
    HWND FWizard;
};

// What the screen shows of a window's client area at one moment, the window of another process
// too; no repaint is asked for, so it is what the window has painted by itself. Pixels to check,
// and the same picture to save.
class TScreenPicture {
public:
    explicit TScreenPicture(HWND window);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The colour at client coordinates; CLR_INVALID outside the picture.
    COLORREF Pixel(int x, int y) const;
    void Save(const String& fileName) const;

private:
    TUniqueBitmap FBitmap;
    const DWORD* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
};

}  // namespace uinst::testing
