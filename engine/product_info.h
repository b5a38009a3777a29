#pragma once
// The abstract description of the product: names, versions, default folders, what is installed
// at the destination, and which actions a run consists of.
#include <functional>
#include <memory>

#include "base/string.h"
#include "engine/installer_action.h"

namespace uinst {

class TInstallerScript;

using TInstallerPageClassProc = std::function<void(StringView pageClassName)>;

class TInstallerProductInfo {
public:
    virtual ~TInstallerProductInfo() = default;

    virtual String GetDefaultPath();
    virtual String GetPortablePath();
    virtual String GetHomePage();
    virtual bool CanUpdate() = 0;
    virtual bool IsPortable() = 0;
    virtual int GetInstalledVersion() = 0;
    virtual String GetName();
    virtual String GetPublisher();
    virtual String GetVersion();
    virtual int GetVersionId();
    virtual String GetVersionInfo();
    // Reads what is installed at the installer's destination.
    virtual void Load() = 0;
    virtual void PopulateActions(const TInstallerActionClassProc& proc) = 0;
    // Names the product's wizard pages in page order, by class name ("TInstallerPageSetup"); the
    // wizard creates them from the classes registered under those names. None by default.
    virtual void PopulatePages(const TInstallerPageClassProc& proc);

    // "4.51" for 4512: thousands, a dot, the next two digits.
    String InstalledVersionText();
    String GetVersionNo();
    const TInstallerScript& Script();
};

// Set by the product module at start-up; the installer creates its one instance from it.
using TInstallerProductInfoClass = std::function<std::unique_ptr<TInstallerProductInfo>()>;
extern TInstallerProductInfoClass ProductInfoClass;

// Formats a version id as the installed-version text does.
String VersionIdText(int versionId);

}  // namespace uinst
