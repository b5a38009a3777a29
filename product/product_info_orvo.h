#pragma once
// The ORVO music player: where an installed copy is, which versions can be updated, and the
// actions of a run.
#include <memory>

#include "engine/product_info.h"

namespace uinst {

class TORLIniFile;

class TProductInfoORVO : public TInstallerProductInfo {
public:
    static constexpr int kFirstUpdatableVersion = 3500;
    static constexpr int kLastUpdatableVersion = 5099;

    TProductInfoORVO();
    ~TProductInfoORVO() override;

    String GetDefaultPath() override;
    bool CanUpdate() override;
    bool IsPortable() override;
    int GetInstalledVersion() override;
    void Load() override;
    void PopulateActions(const TInstallerActionClassProc& proc) override;
    void PopulatePages(const TInstallerPageClassProc& proc) override;

    // The folder of a registered or running copy.
    static bool FindInstalledCopy(String& folder);
    TORLIniFile& Config() { return *FConfig; }

private:
    std::unique_ptr<TORLIniFile> FConfig;
};

// Add-ons are offered only in interactive runs in Russian.
bool AddonsAvailable();
// Registers the product with the engine (ProductInfoClass).
void RegisterProductORVO();

}  // namespace uinst
