#pragma once
// Writes the player's configuration into the destination after the files are extracted: normal
// (profiles per user) or portable mode, the language to start with, the version, and the shell
// integration choices of this run.
#include "engine/installer_action.h"

namespace uinst {

class TInstallerActionConfig : public TInstallerAction {
public:
    static constexpr StringView kConfigFileName = u"ORVO.ini";

    void Execute() override;
};

}  // namespace uinst
