#pragma once
// The player's profile folders: where a user's settings live for a version, and the profiles that
// take part in the backup and migration of an installation run.
#include <memory>
#include <vector>

#include "base/string.h"

namespace uinst {

class TORLUserAccountInfo;

class TInstallerProfileHelper {
public:
    TInstallerProfileHelper() = delete;

    // Versions before this one keep their profile in "ORVO3".
    static constexpr int kFirstCurrentGeneration = 4000;

    // The account's application-data folder + the product name (or "ORVO3" before 4000) + "\";
    // without an account the portable profile, the destination + "Profile\". Empty when no safe
    // folder can be named (an account without application-data folder, a product name that is
    // not a plain folder name): callers skip such a profile.
    static String GetProfilePath(const TORLUserAccountInfo* account, int versionId);
    // For the version being installed.
    static String GetTargetPath(const TORLUserAccountInfo* account);
    // For the version installed in the destination.
    static String GetSourcePath(const TORLUserAccountInfo* account);
};

class TInstallerProfileInfo {
public:
    String AccountName;  // the user's name, or "SingleUser" for the portable profile
    String TargetPath;   // the profile folder of the new version
    String SourcePath;   // the profile folder of the installed version; it exists
    // The profile's folder name in the backup archive ("Profiles\<BackupName>\"): the account
    // name, with " (2)", " (3)", ... when an earlier profile of the list has it (case ignored), as
    // a local and a domain account of the same name do.
    String BackupName;
};

// An owning, ordered list; items keep their address while the list lives (update tasks point at
// them).
class TInstallerProfileInfoList {
public:
    static constexpr StringView kPortableAccountName = u"SingleUser";

    int Count() const { return static_cast<int>(FItems.size()); }
    TInstallerProfileInfo& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    void Add(std::unique_ptr<TInstallerProfileInfo> item) { FItems.push_back(std::move(item)); }
    void Clear() { FItems.clear(); }
    // Appends the profiles of this run whose source folder exists: the portable profile, or one
    // per user account.
    void Populate();

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    // The account name, or the first of its numbered forms that no item of the list has yet.
    String UniqueBackupName(const String& accountName) const;

    std::vector<std::unique_ptr<TInstallerProfileInfo>> FItems;
};

}  // namespace uinst
