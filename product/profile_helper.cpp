#include "product/profile_helper.h"

#include <algorithm>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/installer.h"
#include "engine/product_info.h"
#include "platform/files.h"
#include "product/user_accounts.h"

namespace uinst {

namespace {

// A name that stays one folder below the application-data folder.
bool IsPlainFolderName(StringView name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (const Char c : name)
        if (IsPathDelimiter(c)) return false;
    return true;
}

}  // namespace

String TInstallerProfileHelper::GetProfilePath(const TORLUserAccountInfo* account, int versionId) {
    if (!account) return Installer->DestPath() + u"Profile\\";
    if (!IsAbsoluteFolderPath(account->AppDataPath)) return String();
    const String name = versionId >= kFirstCurrentGeneration ? Installer->ProductInfo().GetName() : String(u"ORVO3");
    if (!IsPlainFolderName(name)) return String();
    return IncludeTrailingPathDelimiter(account->AppDataPath) + name + u"\\";
}

String TInstallerProfileHelper::GetTargetPath(const TORLUserAccountInfo* account) {
    return GetProfilePath(account, Installer->ProductInfo().GetVersionId());
}

String TInstallerProfileHelper::GetSourcePath(const TORLUserAccountInfo* account) {
    return GetProfilePath(account, Installer->ProductInfo().GetInstalledVersion());
}

String TInstallerProfileInfoList::UniqueBackupName(const String& accountName) const {
    const String base = accountName.empty() ? String(u"User") : accountName;
    auto taken = [this](const String& name) {
        return std::any_of(FItems.begin(), FItems.end(),
                           [&](const auto& item) { return SameText(item->BackupName, name); });
    };
    String name = base;
    for (int n = 2; taken(name); ++n) name = base + u" (" + IntToStr(n) + u")";
    return name;
}

void TInstallerProfileInfoList::Populate() {
    const auto append = [this](String accountName, String targetPath, String sourcePath) {
        if (targetPath.empty() || sourcePath.empty() || !DirectoryExists(sourcePath)) return;
        auto item = std::make_unique<TInstallerProfileInfo>();
        item->BackupName = UniqueBackupName(accountName);
        item->AccountName = std::move(accountName);
        item->TargetPath = std::move(targetPath);
        item->SourcePath = std::move(sourcePath);
        Add(std::move(item));
    };
    if (Installer->HasOption(ioPortable)) {
        const String profile = TInstallerProfileHelper::GetProfilePath(nullptr, 0);
        append(String(kPortableAccountName), profile, profile);
        return;
    }
    // Without a copy in the destination (no configuration there) the users' profiles belong to
    // another installation: backing them up here and deleting them would take its settings away.
    if (Installer->ProductInfo().GetInstalledVersion() <= 0) return;
    const auto accounts = TORLUserAccounts::Populate();
    for (const auto& account : *accounts)
        append(account->UserName, TInstallerProfileHelper::GetTargetPath(account.get()),
               TInstallerProfileHelper::GetSourcePath(account.get()));
}

}  // namespace uinst
