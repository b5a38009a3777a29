#pragma once
// The progress pages: they start the run when they are entered and show the worker's progress
// and status texts; the finish pages show the errors or the programs to start.
#include "engine/installer_types.h"
#include "ui/page.h"

namespace uinst {

class TInstallerPageInstall : public TInstallerPage, public IInstallerNotify {
public:
    TInstallerPageInstall() : TInstallerPageInstall(u"TInstallerPageInstall") {}
    ~TInstallerPageInstall() override;
    void Initialize(HWND parent, UINT dpi) override;
    bool CanGoBack() override { return false; }
    bool CanGoNext() override { return FFinished; }
    int GetProgress() override;
    void Prepare() override;
    void Notify(int code, intptr_t param) override;
    TPageControl* ActionBar() const { return FActionBar; }
    TPageControl* OverallBar() const { return FOverallBar; }
    TPageControl* StatusLabel() const { return FStatus; }

protected:
    explicit TInstallerPageInstall(StringView className) : TInstallerPage(className) {}
    void CreateControls() override;

private:
    TPageControl* FStatus = nullptr;
    TPageControl* FActionBar = nullptr;
    TPageControl* FOverallBar = nullptr;
    bool FFinished = false;
    bool FListening = false;
};

class TInstallerPageUninstall : public TInstallerPageInstall {
public:
    TInstallerPageUninstall() : TInstallerPageInstall(u"TInstallerPageUninstall") {}
};

class TInstallerPageCustomFinish : public TInstallerPageFullScreen {
public:
    bool CanGoBack() override { return false; }
    void Prepare() override;
    TPageControl* ErrorMemo() const { return FMemo; }

protected:
    using TInstallerPageFullScreen::TInstallerPageFullScreen;
    void CreateControls() override;

private:
    TPageControl* FMemo = nullptr;
};

class TInstallerPageFinish : public TInstallerPageCustomFinish {
public:
    TInstallerPageFinish() : TInstallerPageCustomFinish(u"TInstallerPageFinish") {}
    void Prepare() override;
    const std::vector<TPageControl*>& ActionBoxes() const { return FActionBoxes; }

protected:
    void CreateControls() override;

private:
    void SaveActions();
    std::vector<TPageControl*> FActionBoxes;
};

class TInstallerPageUninstallFinish : public TInstallerPageCustomFinish {
public:
    TInstallerPageUninstallFinish() : TInstallerPageCustomFinish(u"TInstallerPageUninstallFinish") {}
};

}  // namespace uinst
