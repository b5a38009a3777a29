#pragma once
// Tells the shell that file associations changed, so that icons and "Open with" lists refresh.
#include "engine/installer_action.h"

namespace uinst {

class TInstallerActionUpdateShellCache : public TInstallerAction {
public:
    // The shell refreshes on its own threads after the notification; give it that time.
    static constexpr uint32_t kSettleMs = 1000;

    void Execute() override;
};

}  // namespace uinst
