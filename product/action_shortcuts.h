#pragma once
// The desktop and start-menu shortcuts that the installation script lists, limited to the places
// the user chose.
#include "base/string_list.h"
#include "engine/installer_action.h"

namespace uinst {

class TInstallerScriptFile;

class TInstallerActionShortcuts : public TInstallerAction {
public:
    static constexpr const char16_t* kDesktopRoot = u"$DESKTOP";
    static constexpr const char16_t* kStartMenuRoot = u"$STARTMENU";

    void Execute() override;
    void BuildSummary(TInstallerSummaryBuilder& builder) override;

    // The allowed shortcut roots; filled by Execute.
    const TORLStringList& Roots() const { return FRoots; }

    static bool IsDesktopShortcutEnabled();
    static bool IsStartMenuShortcutEnabled();
    // The target's extension: from its last ".", unless a blank, "\", "/" or ":" follows it.
    static String TargetExtension(StringView target);

protected:
    void PopulateRoots();
    // Whether one of the roots occurs in the upper-cased entry name.
    bool IsAllowedPlace(StringView name) const;
    void CreateShortcut(const TInstallerScriptFile& entry);
    void UpdateShortcut(const String& linkFile, const String& target);

private:
    TORLStringList FRoots;
};

}  // namespace uinst
