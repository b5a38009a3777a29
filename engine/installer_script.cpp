#include "engine/installer_script.h"

#include "base/paths.h"
#include "base/text_case.h"
#include "formats/xml.h"

namespace uinst {

String TInstallerScriptFile::SourceName() const {
    return Value.empty() ? ExtractFileName(Name) : Value;
}

bool TInstallerScriptFile::AppliesTo(StringView langFamily) const {
    return LangFamily.empty() || SameText(LangFamily, langFamily);
}

TInstallerScriptFile& TInstallerScriptGroup::Add() {
    FItems.push_back(std::make_unique<TInstallerScriptFile>());
    return *FItems.back();
}

void TInstallerScriptGroup::LoadGroup(const TORLXMLNode& node) {
    for (int i = 0; i < node.Count(); ++i) LoadItem(*node.Nodes(i));
    if (node.Count() == 0 && !node.Text().empty()) Add().Name = node.Text();
}

void TInstallerScriptGroup::LoadItem(const TORLXMLNode& node) {
    if (!SameXMLName(node.Name(), "File")) return;
    TInstallerScriptFile& entry = Add();
    entry.Value = node.Text();
    entry.Name = node.Attributes().GetValue("name");
    entry.LangFamily = node.Attributes().GetValue("lang-family");
}

bool TInstallerScriptGroup::Find(StringView langFamily, const TInstallerScriptFile*& entry) const {
    for (const auto& item : FItems) {
        if (item->AppliesTo(langFamily)) {
            entry = item.get();
            return true;
        }
    }
    entry = nullptr;
    return false;
}

void TInstallerScript::LoadFromStream(TStream& stream) {
    TORLXMLDocument document(stream);
    if (document.Count() > 0) LoadFromNode(*document.Nodes(0));
}

void TInstallerScript::LoadFromNode(const TORLXMLNode& root) {
    if (const TORLXMLNode* setup = root.FindNode("setup")) {
        if (const TORLXMLNode* license = setup->FindNode("license")) FLicense.LoadGroup(*license);
    }
    const TORLXMLNode* product = root.FindNode("product");
    if (!product) return;
    for (int i = 0; i < product->Count(); ++i) {
        const TORLXMLNode& child = *product->Nodes(i);
        if (SameXMLName(child.Name(), "Components")) {
            FComponents.LoadGroup(child);
        } else if (SameXMLName(child.Name(), "Actions")) {
            FActions.LoadGroup(child);
        } else if (SameXMLName(child.Name(), "Settings")) {
            for (int j = 0; j < child.Count(); ++j) {
                const TORLXMLNode& pair = *child.Nodes(j);
                FSettings.Add(pair.Attributes().GetValue("name") + u"=" + pair.Attributes().GetValue("value"));
            }
        } else if (SameXMLName(child.Name(), "Shortcuts")) {
            FShortcuts.LoadGroup(child);
        }
    }
}

String TInstallerScript::GetSetting(StringView name) const {
    for (int i = FSettings.Count() - 1; i >= 0; --i) {
        if (SameText(FSettings.Names(i), name)) return FSettings.ValueFromIndex(i);
    }
    return String();
}

}  // namespace uinst
