#pragma once
// Puts the product's files on disk, then registers the uninstaller.
#include "engine/installer_action.h"

namespace uinst {

class TInstallerActionExtract : public TInstallerAction {
public:
    void Execute() override;
};

}  // namespace uinst
