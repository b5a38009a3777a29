#pragma once
// The Windows user accounts of the machine with their profile and roaming application-data
// folders: the current user first, then every profile the registry lists.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/string.h"

namespace uinst {

class TORLUserAccountInfo {
public:
    String UserName;
    String AppDataPath;  // always ends with a backslash
    String ProfilePath;  // always ends with a backslash

    // The same profile folder. Windows paths ignore case, so two spellings of one folder are one
    // account (the current user must not be listed again from the registry).
    bool Equals(const TORLUserAccountInfo& other) const;
};

// An owning, ordered list of accounts without two of the same profile folder.
class TORLUserAccountInfoList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TORLUserAccountInfo& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    // Adds the account unless an equal one is listed already (the new one is then freed).
    // Returns whether it was added.
    bool Add(std::unique_ptr<TORLUserAccountInfo> item);

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<TORLUserAccountInfo>> FItems;
};

// Where the accounts are read from. The defaults are the system's own places; tests point them at
// keys of their own so the machine's profile list is never touched.
struct TORLUserAccountsSource {
    HKEY ProfileListRoot = HKEY_LOCAL_MACHINE;
    String ProfileListKey = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    HKEY UsersRoot = HKEY_USERS;
    // The key under UsersRoot that holds one subkey per account ("" for the root itself).
    String UsersKey;
    // The account of the user this program runs as; nothing when its folders cannot be named.
    std::function<std::unique_ptr<TORLUserAccountInfo>()> CurrentUser;
};

TORLUserAccountsSource& UserAccountsSource();

class TORLUserAccounts {
public:
    // A new list that the caller owns. Missing keys and values make it shorter; an environment
    // variable of a profile folder that the system cannot expand raises the system's error.
    static std::unique_ptr<TORLUserAccountInfoList> Populate();
    // The current user's account from the system's services; nothing when its application-data
    // or profile folder cannot be named, so no folder derived from it can point anywhere else.
    static std::unique_ptr<TORLUserAccountInfo> CurrentUserAccount();
};

// True for "X:\..." and "\\server\...": a path that does not depend on the current folder.
bool IsAbsoluteFolderPath(StringView path);

}  // namespace uinst
