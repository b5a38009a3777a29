// uInstaller.exe: the setup program of the ORVO music player. The composition root: the one place
// that puts the engine and the product (and the wizard) together.
#include <windows.h>

#include "engine/entry.h"
#include "product/pages/option_pages.h"
#include "product/product_info_orvo.h"
#include "ui/wizard.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    uinst::RegisterProductORVO();
    // The wizard of interactive runs: the standard pages, the product's option pages, the
    // language dialog.
    uinst::InstallWizard();
    uinst::RegisterProductPages();
    return uinst::RunSetup();
}
