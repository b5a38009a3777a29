#include "product/action_shortcuts.h"

#include <windows.h>

#include <cmath>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/run_journal.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "product/shell_link.h"

namespace uinst {

namespace {

// Creates the folder and its missing parents; false when that fails.
bool CreateFolderTree(const String& folder) {
    const String path = ExcludeTrailingPathDelimiter(folder);
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    const String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
    if (!parent.empty() && parent != path && !CreateFolderTree(parent)) return false;
    JournalFolderCreated(path);
    return CreateDirectoryW(WidePtr(LongPathName(path)), nullptr) || DirectoryExists(path);
}

// "X:\..." or "\\server\...": a path that does not depend on the current folder.
bool IsAbsolutePath(StringView path) {
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return true;
    return path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\';
}

// Writes the shortcut roots in the name as the variables are spelled: the roots are matched
// without regard to case, so "$Desktop\X.lnk" is allowed and must land on the desktop too, not
// in a folder named "$Desktop" below whatever the current folder is.
String SpellRootsAsVariables(StringView name) {
    String out(name);
    for (const char16_t* root : {TInstallerActionShortcuts::kDesktopRoot, TInstallerActionShortcuts::kStartMenuRoot}) {
        const StringView r(root);
        for (size_t i = 0; i + r.size() <= out.size(); ++i) {
            if (out[i] == u'$' && SameText(StringView(out).substr(i, r.size()), r)) out.replace(i, r.size(), r);
        }
    }
    return out;
}

}  // namespace

bool TInstallerActionShortcuts::IsDesktopShortcutEnabled() {
    return Settings().ReadBool(u"Integration", u"ShortcutDesktop", !Installer->Options().Has(ioPortable));
}

bool TInstallerActionShortcuts::IsStartMenuShortcutEnabled() {
    return Settings().ReadBool(u"Integration", u"ShortcutStartMenu", !Installer->Options().Has(ioPortable));
}

String TInstallerActionShortcuts::TargetExtension(StringView target) {
    const size_t dot = target.rfind(u'.');
    if (dot == StringView::npos) return String();
    if (target.find_first_of(u" \\/:", dot + 1) != StringView::npos) return String();
    return String(target.substr(dot));
}

void TInstallerActionShortcuts::PopulateRoots() {
    if (IsDesktopShortcutEnabled()) FRoots.Add(kDesktopRoot);
    if (IsStartMenuShortcutEnabled()) FRoots.Add(kStartMenuRoot);
}

bool TInstallerActionShortcuts::IsAllowedPlace(StringView name) const {
    const String upper = UpperCase(name);
    for (int i = 0; i < FRoots.Count(); ++i) {
        if (upper.find(FRoots[i]) != String::npos) return true;
    }
    return false;
}

void TInstallerActionShortcuts::CreateShortcut(const TInstallerScriptFile& entry) {
    if (!IsAllowedPlace(entry.Name)) return;
    const String target = entry.SourceName();
    // Windows 8 and later pin only programs; other targets (documents, web links) get no shortcut.
    if (IsWindows8OrLater() && !SameText(TargetExtension(target), u".exe")) return;
    const String linkFile = Resources().ExpandPath(SpellRootsAsVariables(entry.Name));
    const String targetFile = Resources().ExpandPath(target);
    // A relative name would put the link wherever the current folder happens to be, and a relative
    // target would make a link that points nowhere.
    if (!IsAbsolutePath(linkFile) || !IsAbsolutePath(targetFile)) return;
    if (!CreateFolderTree(ExtractFilePath(linkFile))) return;
    UpdateShortcut(linkFile, targetFile);
}

void TInstallerActionShortcuts::UpdateShortcut(const String& linkFile, const String& target) {
    // An unchanged link keeps its file (and the user's changes to its icon or arguments).
    if (FileExists(linkFile) && GetShellLinkTarget(linkFile) == target) return;
    JournalReplacing(linkFile);
    CreateShellLink(linkFile, target);
}

void TInstallerActionShortcuts::Execute() {
    SetStatus(GetCommonText(u"A2"));
    PopulateRoots();
    const TInstallerScriptGroup& shortcuts = Script().Shortcuts();
    const int n = shortcuts.Count();
    for (int i = 1; i <= n; ++i) {
        CreateShortcut(shortcuts.Items(i - 1));
        SetProgress(static_cast<int>(std::nearbyint(i * 100.0 / n)));
    }
}

void TInstallerActionShortcuts::BuildSummary(TInstallerSummaryBuilder& builder) {
    builder.SetHeader(u"PageIntegration", u"LB1");
    if (IsDesktopShortcutEnabled()) builder.AddLine(u"PageIntegration", u"CB1");
    if (IsStartMenuShortcutEnabled()) builder.AddLine(u"PageIntegration", u"CB2");
}

}  // namespace uinst
