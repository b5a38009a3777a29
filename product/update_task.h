#pragma once
// Update tasks: small objects that each retire or migrate one thing an older installation left
// behind. The preparing action runs a selection of them with its deletion list; the integration
// removal runs a fixed set without one.
#include <memory>
#include <vector>

#include "base/string_list.h"
#include "engine/installer_action.h"

namespace uinst {

class TInstallerUpdateTask : public TInstallerPersistent {
public:
    // The deletion list may be absent (removal runs); a task may append to it or take entries out.
    virtual void Execute(TORLStringList* deletionList) = 0;
};

using TInstallerUpdateTaskList = std::vector<std::unique_ptr<TInstallerUpdateTask>>;

}  // namespace uinst
