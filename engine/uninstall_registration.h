#pragma once
// The uninstaller of an installation: "Uninstall.exe" (a copy of this program), "Uninstall.dat"
// (a package with "Uninstall.ini": the run's settings and the list of installed files), and the
// entry in the Windows list of installed programs.
#include <vector>

#include "base/string.h"

namespace uinst {

class TInstallerScriptFile;
class TORLIniFile;

void RegisterUninstaller(const String& destPath, const std::vector<const TInstallerScriptFile*>& files);
// Appends a path to the "Uninstall" section, relative to the destination when it lies below it.
void AddUninstallEntry(TORLIniFile& ini, const String& path);

class TInstallerActiveX {
public:
    // Calls the library's DllUnregisterServer when it loads and has one; anything else is skipped.
    static void Unregister(const String& fileName);
};

}  // namespace uinst
