#include "product/action_update_shell_cache.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/seams.h"

namespace uinst {

void TInstallerActionUpdateShellCache::Execute() {
    // SHCNF_FLUSH: returns only after the notification has been delivered.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
    Seams().Sleep(kSettleMs);
}

}  // namespace uinst
