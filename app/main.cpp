// uInstaller.exe: the setup program of the ORVO music player.
#include <windows.h>

#include "engine/entry.h"
#include "product/product_info_orvo.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    uinst::RegisterProductORVO();
    return uinst::RunSetup();
}
