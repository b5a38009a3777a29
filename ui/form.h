#pragma once
// The wizard window: header with the page's title, the progress strip, the page area and the
// footer with Back, Next and the version text; page navigation, the close question, and the
// installer's notifications on the main thread.
#include <windows.h>

#include <memory>

#include "engine/installer_types.h"
#include "platform/window.h"
#include "ui/page.h"
#include "ui/scale.h"

namespace uinst {

class TImage;

class TInstallerForm : public TWindow, public IInstallerNotify {
public:
    static constexpr int kBackId = 1002;
    static constexpr int kNextId = IDOK;  // Enter presses Next
    static constexpr int kDesignWidth = 640;
    static constexpr int kDesignHeight = 480;

    // Builds the window and every page; the window is still hidden. The DPI is the monitor's
    // unless given.
    explicit TInstallerForm(UINT dpi = 0);
    ~TInstallerForm() override;

    void Show();
    void Notify(int code, intptr_t param) override;

    void SetActivePage(TInstallerCustomPage* page);
    void UpdateButtons();
    void UpdateProgressStrip();
    void bBackClick();
    void bNextClick();
    // The close question; true when the window may close now.
    bool FormCloseQuery();

    TInstallerCustomPage* ActivePage() const { return FActivePage; }
    TInstallerPageList& Pages() { return FPages; }
    HWND BackButton() const { return FBack; }
    HWND NextButton() const { return FNext; }
    HWND VersionLabel() const { return FVerInfo; }
    UINT Dpi() const { return FScale.Dpi(); }
    int SegmentWidth() const { return FSegmentWidth; }
    // 0 the run succeeded, 1 it failed, 2 the user cancelled.
    int ExitCode() const;

    // The progress pages hand the queue over to the window while the worker waits for them.
    static void PumpMessagesDuringNotification();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreatePages();
    void LoadTexts();
    void LayoutControls();
    void ChangeDpi(UINT dpi, const RECT* suggested);
    RECT PageArea(bool fullScreen) const;
    RECT HeaderRect() const;
    RECT StripRect() const;
    RECT FooterRect() const;
    void Paint(HDC dc);
    void PaintStrip(HDC dc);
    String CommonText(StringView key) const;
    void RequestClose();
    void FocusNextIfNone();
    // A new colour scheme: palette and skin again, every page's controls recoloured, repainted.
    void SchemeChanged();

    TScale FScale;
    TFontCache FFonts;
    TInstallerPageList FPages;
    TInstallerCustomPage* FActivePage = nullptr;
    HWND FBack = nullptr;
    HWND FNext = nullptr;
    HWND FVerInfo = nullptr;
    std::unique_ptr<TImage> FHeader;
    std::unique_ptr<TImage> FHeaderDark;
    RECT FBar{};
    int FSegmentWidth = 0;
    bool FCancelled = false;
    bool FCloseDeferred = false;
    bool FListening = false;
};

// Shows the wizard of the installer's run and returns its exit code when the window closes;
// the run entries ticked on the finish page start afterwards.
int RunWizard();

}  // namespace uinst
