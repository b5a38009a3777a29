#pragma once
// "Install.xml": what the product consists of, what may be started afterwards, which shortcuts
// are made, which licence belongs to which language, and the product's settings.
#include <memory>
#include <vector>

#include "base/stream.h"
#include "base/string_list.h"

namespace uinst {

class TORLXMLNode;

class TInstallerScriptFile {
public:
    String Name;
    String Value;
    String LangFamily;
    // Value when set, otherwise the file-name part of Name as written.
    String SourceName() const;
    // The entry applies to a language family when it has none or the same one (case ignored).
    bool AppliesTo(StringView langFamily) const;
};

class TInstallerScriptGroup {
public:
    virtual ~TInstallerScriptGroup() = default;
    virtual void LoadGroup(const TORLXMLNode& node);
    virtual void LoadItem(const TORLXMLNode& node);

    int Count() const { return static_cast<int>(FItems.size()); }
    const TInstallerScriptFile& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    TInstallerScriptFile& Add();
    // The first entry that applies to the language family.
    bool Find(StringView langFamily, const TInstallerScriptFile*& entry) const;
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<TInstallerScriptFile>> FItems;
};

class TInstallerScript {
public:
    void LoadFromStream(TStream& stream);
    void LoadFromNode(const TORLXMLNode& root);
    // The value of the last setting of that name (case ignored), empty when absent.
    String GetSetting(StringView name) const;

    const TInstallerScriptGroup& Actions() const { return FActions; }
    const TInstallerScriptGroup& Components() const { return FComponents; }
    const TInstallerScriptGroup& License() const { return FLicense; }
    const TInstallerScriptGroup& Shortcuts() const { return FShortcuts; }
    const TORLStringList& Settings() const { return FSettings; }

private:
    TInstallerScriptGroup FActions;
    TInstallerScriptGroup FComponents;
    TInstallerScriptGroup FLicense;
    TORLStringList FSettings;
    TInstallerScriptGroup FShortcuts;
};

}  // namespace uinst
