#include "product/user_accounts.h"

#include <lmcons.h>
#include <shlobj.h>

#include "base/paths.h"
#include "base/text_case.h"
#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace uinst {

namespace {

const StringView kShellFoldersKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const StringView kUserProfileVariable = u"%USERPROFILE%";

String CurrentUserName() {
    wchar_t buffer[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(buffer, &size)) return String();
    return FromWide(buffer);
}

String ExpandEnvironment(const String& text) {
    DWORD size = ExpandEnvironmentStringsW(WidePtr(text), nullptr, 0);
    for (;;) {
        if (size == 0) RaiseLastOSError(text);
        String buffer(size, u'\0');
        const DWORD needed = ExpandEnvironmentStringsW(WidePtr(text), WidePtr(buffer), size);
        if (needed == 0) RaiseLastOSError(text);
        if (needed <= size) {
            buffer.resize(needed - 1);  // the count includes the terminating zero
            return buffer;
        }
        size = needed;
    }
}

// Replaces every "%USERPROFILE%", in any letter case, by the profile folder.
String ReplaceUserProfile(StringView value, StringView profile) {
    String out;
    size_t i = 0;
    while (i < value.size()) {
        if (value[i] == u'%' && value.size() - i >= kUserProfileVariable.size() &&
            SameText(value.substr(i, kUserProfileVariable.size()), kUserProfileVariable)) {
            out += profile;
            i += kUserProfileVariable.size();
        } else {
            out += value[i++];
        }
    }
    return out;
}

String JoinKey(StringView parent, StringView child) {
    if (parent.empty()) return String(child);
    return IncludeTrailingPathDelimiter(parent) + String(child);
}

// The account's "User Shell Folders" key: its own when its hive is loaded, else the defaults
// that a new user starts with.
std::optional<TRegistryKey> OpenShellFolders(const TORLUserAccountsSource& source, StringView sid) {
    if (auto key = TRegistryKey::Open(source.UsersRoot, JoinKey(source.UsersKey, JoinKey(sid, kShellFoldersKey))))
        return key;
    return TRegistryKey::Open(source.UsersRoot, JoinKey(source.UsersKey, JoinKey(u".DEFAULT", kShellFoldersKey)));
}

std::unique_ptr<TORLUserAccountInfo> AccountFromProfileList(const TORLUserAccountsSource& source,
                                                            const TRegistryKey& profileList, const String& sid) {
    if (sid.size() >= 4 && SameText(StringView(sid).substr(sid.size() - 4), u".bak")) return nullptr;
    const auto entry = TRegistryKey::Open(profileList.Handle(), sid);
    if (!entry) return nullptr;
    const auto image = entry->ReadString(u"ProfileImagePath");
    if (!image) return nullptr;
    const String profile = ExcludeTrailingPathDelimiter(ExpandEnvironment(*image));
    if (profile.empty() || !DirectoryExists(profile)) return nullptr;

    const auto folders = OpenShellFolders(source, sid);
    if (!folders) return nullptr;
    const String appData = ReplaceUserProfile(folders->ReadString(u"AppData").value_or(String()), profile);
    // A value that still holds other variables names no folder of its own; taken as it stands it
    // would be relative to the current folder, and removal deletes folders derived from it.
    if (appData.empty() || !IsAbsoluteFolderPath(appData)) return nullptr;

    auto account = std::make_unique<TORLUserAccountInfo>();
    account->UserName = ExtractFileName(profile);
    account->AppDataPath = IncludeTrailingPathDelimiter(appData);
    account->ProfilePath = IncludeTrailingPathDelimiter(profile);
    return account;
}

}  // namespace

bool TORLUserAccountInfo::Equals(const TORLUserAccountInfo& other) const {
    return SameText(ProfilePath, other.ProfilePath);
}

bool TORLUserAccountInfoList::Add(std::unique_ptr<TORLUserAccountInfo> item) {
    if (!item) return false;
    for (const auto& existing : FItems)
        if (existing->Equals(*item)) return false;
    FItems.push_back(std::move(item));
    return true;
}

TORLUserAccountsSource& UserAccountsSource() {
    static TORLUserAccountsSource source = [] {
        TORLUserAccountsSource s;
        s.CurrentUser = &TORLUserAccounts::CurrentUserAccount;
        return s;
    }();
    return source;
}

std::unique_ptr<TORLUserAccountInfo> TORLUserAccounts::CurrentUserAccount() {
    auto account = std::make_unique<TORLUserAccountInfo>();
    account->UserName = CurrentUserName();
    account->AppDataPath = GetSpecialFolder(CSIDL_APPDATA);
    account->ProfilePath = GetSpecialFolder(CSIDL_PROFILE);
    if (!IsAbsoluteFolderPath(account->AppDataPath) || !IsAbsoluteFolderPath(account->ProfilePath)) return nullptr;
    return account;
}

std::unique_ptr<TORLUserAccountInfoList> TORLUserAccounts::Populate() {
    const TORLUserAccountsSource& source = UserAccountsSource();
    auto list = std::make_unique<TORLUserAccountInfoList>();
    if (source.CurrentUser) list->Add(source.CurrentUser());

    const auto profileList = TRegistryKey::Open(source.ProfileListRoot, source.ProfileListKey, KEY_READ);
    if (!profileList) return list;
    for (const String& sid : profileList->SubKeyNames()) list->Add(AccountFromProfileList(source, *profileList, sid));
    return list;
}

bool IsAbsoluteFolderPath(StringView path) {
    if (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/')) {
        const Char drive = path[0];
        return (drive >= u'A' && drive <= u'Z') || (drive >= u'a' && drive <= u'z');
    }
    return path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'\\';
}

}  // namespace uinst
