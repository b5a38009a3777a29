#pragma once
// The ORVO product's option pages: destination and installation type, add-ons, integration with
// Windows, and what a removal takes along.
#include <memory>
#include <vector>

#include "product/addons_description.h"
#include "ui/page.h"

namespace uinst {

class TInstallerPageSetup : public TInstallerPage {
public:
    TInstallerPageSetup();
    bool CanGoNext() override;
    void Prepare() override { Refresh(); }
    void Refresh();
    void SetPath(const String& path);
    const std::vector<TPageControl*>& Warnings() const { return FWarnings; }

protected:
    void CreateControls() override;
    void Paint(HDC dc) override;

private:
    void UpdateUpdateChoices();
    void UpdateModeChoices();
    void UpdateWarnings();
    void AddWarning(const String& text);
    bool HasOtherInstallation();
    void PathChange();
    void BrowseClick();
    void OptionsClick();
    void ModeClick();

    TPageControl* FPathEdit = nullptr;
    TPageControl* FUpdate = nullptr;    // "CB1"
    TPageControl* FBackup = nullptr;    // "CB4"
    TPageControl* FPortable = nullptr;  // "CB3"
    TPageControl* FNormal = nullptr;    // "CB2"
    std::vector<TPageControl*> FWarnings;
    bool FEditing = false;
    bool FSettingText = false;
};

class TInstallerPageAddons : public TInstallerPage {
public:
    TInstallerPageAddons();
    ~TInstallerPageAddons() override;
    void Prepare() override;

protected:
    void CreateControls() override;
    void ApplyLocalization() override;
    void Paint(HDC dc) override;

private:
    void SaveOptions();
    TAddonsDescription FDescription;
    std::unique_ptr<TImage> FPicture;
    TPageControl* FBoxes[3] = {};
    TPageControl* FLabels[2] = {};
};

class TInstallerPageIntegration : public TInstallerPage {
public:
    TInstallerPageIntegration() : TInstallerPage(u"TInstallerPageIntegration") {}
    bool IsAvailable() override;
    void Prepare() override;

protected:
    void CreateControls() override;

private:
    void SaveOptions();
    TPageControl* FBoxes[5] = {};  // "CB1" ... "CB5"
};

class TInstallerPageUninstallParams : public TInstallerPage {
public:
    TInstallerPageUninstallParams() : TInstallerPage(u"TInstallerPageUninstallParams") {}
    void Prepare() override;

protected:
    void CreateControls() override;

private:
    void SaveOptions();
    TPageControl* FBoxes[2] = {};
};

// Registers the four pages under their class names.
void RegisterProductPages();

}  // namespace uinst
