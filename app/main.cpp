// uInstaller.exe: the setup program of the ORVO music player. The composition root: the one place
// that puts the engine and the product (and the wizard) together.
#include <windows.h>

#include "engine/entry.h"
#include "product/product_info_orvo.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    uinst::RegisterProductORVO();
    return uinst::RunSetup();
}
