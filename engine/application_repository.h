#pragma once
// The product's entry in the Windows list of installed programs, under HKEY_LOCAL_MACHINE in the
// 32-bit registry view (the view of the shipped 32-bit program, whatever this build's width).
#include <cstdint>

#include "base/string.h"

namespace uinst {

inline constexpr char16_t kUninstallKeyPrefix[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class TInstallerApplicationRepository {
public:
    // Writes the entry: the uninstaller (also as "QuietUninstallString" with "/AUTO /SILENT"), the
    // product's texts, and "EstimatedSize", the installed size in KiB.
    static bool Register(const String& name, const String& uninstaller, const String& homePage, const String& publisher,
                         const String& version, uint32_t estimatedSizeKiB = 0);
    static bool Unregister(const String& name);
    // The installation folder of the entry: "InstallPath", else the folder of "UninstallString",
    // else of "DisplayIcon"; true only when that folder exists.
    static bool FindInstallPath(const String& name, String& path);
};

}  // namespace uinst
