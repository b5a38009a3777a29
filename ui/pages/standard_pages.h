#pragma once
// The pages every installation or removal shows: welcome, licence and summary (named by the
// product), progress and finish (added by the wizard).
#include "ui/page.h"

namespace uinst {

class TInstallerPageWelcome : public TInstallerPageFullScreen {
public:
    TInstallerPageWelcome() : TInstallerPageFullScreen(u"TInstallerPageWelcome") {}

protected:
    void CreateControls() override;
    void ApplyLocalization() override;

private:
    TPageControl* FNotice = nullptr;
};

class TInstallerPageLicense : public TInstallerPage {
public:
    TInstallerPageLicense() : TInstallerPage(u"TInstallerPageLicense") {}
    bool CanGoBack() override { return false; }
    bool CanGoNext() override;
    void Prepare() override;
    void Shown() override;
    TPageControl* Viewer() const { return FViewer; }
    TPageControl* AcceptBox() const { return FAccept; }

protected:
    void CreateControls() override;

private:
    void AcceptClick();
    TPageControl* FViewer = nullptr;
    TPageControl* FAccept = nullptr;
};

class TInstallerPageReadyToInstall : public TInstallerPage {
public:
    TInstallerPageReadyToInstall() : TInstallerPage(u"TInstallerPageReadyToInstall") {}
    void Prepare() override;
    TPageControl* Viewer() const { return FViewer; }

protected:
    void CreateControls() override;

private:
    TPageControl* FViewer = nullptr;
};

}  // namespace uinst
