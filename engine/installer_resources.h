#pragma once
// One door to what ships inside the setup program: both packages, the script, the language files
// and the chosen language's texts; the special folders and the $-variables of paths and texts.
#include <memory>

#include "base/stream.h"
#include "base/string_list.h"
#include "engine/installer_script.h"

namespace uinst {

class TORLIniFile;
class TSetupPackageReader;

class TInstallerResources {
public:
    // Opens the packages of this program: "SETUP", and "PRODUCT" or, when running as
    // "Uninstall.exe", the ".dat" file beside it.
    static std::unique_ptr<TInstallerResources> CreateFromModule();
    // Uses the given packages (tests, tools).
    TInstallerResources(std::unique_ptr<TSetupPackageReader> setupPackage,
                        std::unique_ptr<TSetupPackageReader> productPackage);
    ~TInstallerResources();

    // The file from the product package, else from the setup package; raises when neither has it.
    std::unique_ptr<TMemoryStream> GetFile(StringView name) const;
    // The same lookup as GetFile, as a view of the package's content (no copy); valid while the
    // resources live.
    std::unique_ptr<TReadOnlyMemoryStream> OpenFile(StringView name) const;
    bool HasFile(StringView name) const;
    bool ProductPackageContains(StringView name) const;
    std::unique_ptr<TMemoryStream> GetLicense() const;
    String GetLanguageFamily() const;
    String GetText(StringView section, StringView key) const;
    String ExpandVariables(StringView text) const;
    // Variables expanded and the path cleaned. A path keeps "\n" as a folder separator before an
    // "n" ("$DEST\notes.txt"); only texts turn it into a line break.
    String ExpandPath(StringView text) const;
    // Loads English, then the chosen language over it (the dialog unless the run is automatic).
    void LoadLanguage();
    // Loads English and the named language file over it, without a dialog.
    void LoadLanguageFile(StringView fileName);

    const TInstallerScript& Script() const { return FScript; }
    const TORLStringList& Languages() const { return FLanguages; }
    const String& LanguageName() const { return FLanguageName; }
    TORLIniFile& Language() { return *FLanguage; }
    TSetupPackageReader& ProductPackage() { return *FProductPackage; }
    TSetupPackageReader& SetupPackage() { return *FSetupPackage; }
    const String& DesktopFolder() const { return FDesktopFolder; }
    const String& ProgramFilesFolder() const { return FProgramFilesFolder; }
    const String& ProgramFilesFolderNoX86() const { return FProgramFilesFolderNoX86; }
    const String& StartMenuFolder() const { return FStartMenuFolder; }

private:
    String Expand(StringView text, bool lineBreaks) const;

    std::unique_ptr<TORLIniFile> FLanguage;
    String FLanguageName;
    TORLStringList FLanguages;
    std::unique_ptr<TSetupPackageReader> FProductPackage;
    std::unique_ptr<TSetupPackageReader> FSetupPackage;
    String FDesktopFolder;
    String FProgramFilesFolder;
    String FProgramFilesFolderNoX86;
    String FStartMenuFolder;
    TInstallerScript FScript;
};

// Cleans a path made from variables: drops empty parts and characters a file name cannot hold.
String CleanPath(StringView path);
String CleanFileName(StringView part);

}  // namespace uinst
