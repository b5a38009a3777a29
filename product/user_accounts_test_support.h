#pragma once
// Tests: user accounts read from registry keys of the test's own (below HKEY_CURRENT_USER), so the
// machine's profile list is never changed. The current user is "Current" in the given folder.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/registry.h"
#include "product/user_accounts.h"

namespace uinst::test {

class TTestAccounts {
public:
    explicit TTestAccounts(const String& root) : FSaved(UserAccountsSource()) {
        static std::atomic<int> counter{0};
        FBase = u"Software\\uInstaller test " + Utf8ToString(std::to_string(GetCurrentProcessId())) + u"-" +
                Utf8ToString(std::to_string(++counter));
        TRegistryKey::Create(HKEY_CURRENT_USER, FBase + u"\\ProfileList");
        TRegistryKey::Create(HKEY_CURRENT_USER, FBase + u"\\Users");
        TORLUserAccountsSource& source = UserAccountsSource();
        source.ProfileListRoot = HKEY_CURRENT_USER;
        source.ProfileListKey = FBase + u"\\ProfileList";
        source.UsersRoot = HKEY_CURRENT_USER;
        source.UsersKey = FBase + u"\\Users";
        source.CurrentUser = [root] {
            auto account = std::make_unique<TORLUserAccountInfo>();
            account->UserName = u"Current";
            account->ProfilePath = root + u"Current\\";
            account->AppDataPath = root + u"Current\\AppData\\Roaming\\";
            return account;
        };
    }
    ~TTestAccounts() {
        UserAccountsSource() = FSaved;
        TRegistryKey::DeleteTree(HKEY_CURRENT_USER, FBase);
    }
    TTestAccounts(const TTestAccounts&) = delete;
    TTestAccounts& operator=(const TTestAccounts&) = delete;

    void AddProfile(const String& sid, const String& profileImagePath, bool expandable = false) {
        AddRawProfileKey(sid).WriteString(u"ProfileImagePath", profileImagePath, expandable);
    }
    TRegistryKey AddRawProfileKey(const String& sid) {
        return TRegistryKey::Create(HKEY_CURRENT_USER, FBase + u"\\ProfileList\\" + sid);
    }
    void AddDwordProfile(const String& sid) { AddRawProfileKey(sid).WriteDWord(u"ProfileImagePath", 1); }
    // The account's "User Shell Folders" key with its "AppData" value (none when empty).
    void SetAppData(const String& sid, const String& value) {
        auto key = TRegistryKey::Create(HKEY_CURRENT_USER, FBase + u"\\Users\\" + sid +
                                                               u"\\Software\\Microsoft\\Windows\\CurrentVersion"
                                                               u"\\Explorer\\User Shell Folders");
        if (!value.empty()) key.WriteString(u"AppData", value, true);
    }

private:
    TORLUserAccountsSource FSaved;
    String FBase;
};

}  // namespace uinst::test
