#include "engine/language_choice.h"

#include <windows.h>

#include "base/text_case.h"
#include "engine/installer_resources.h"
#include "formats/ini_file.h"
#include "formats/localization.h"
#include "package/setup_package.h"

namespace uinst {

TLanguageDialogRunner LanguageDialogRunner;

TLanguageChoice TLanguageChoice::FromResources(TInstallerResources& resources) {
    TLanguageChoice choice;
    const TORLStringList& files = resources.Languages();
    for (int i = 0; i < files.Count(); ++i) {
        std::unique_ptr<TMemoryStream> file;
        if (!resources.SetupPackage().Extract(files[i], file)) continue;
        TORLIniFile ini;
        ini.LoadFromStream(*file);
        TORLLanguageInfo info;
        auto icon = std::make_shared<TMemoryStream>();
        ReadLanguageInfo(ini, info, icon.get());
        TLanguageChoiceItem item;
        item.Name = info.Name;
        item.LangId = info.LangId;
        item.Index = i;
        if (icon->Size() > 0) item.Icon = icon;
        choice.Insert(std::move(item));
    }
    return choice;
}

void TLanguageChoice::Insert(TLanguageChoiceItem item) {
    size_t k = FItems.size();
    while (k > 0 && CompareText(item.Name, FItems[k - 1].Name) < 0) --k;
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(k), std::move(item));
}

int TLanguageChoice::SelectDefault(int userLangId) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].LangId == userLangId) return static_cast<int>(i);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].LangId == 1033) return static_cast<int>(i);
    return FItems.empty() ? -1 : 0;
}

String ChooseLanguage(TInstallerResources& resources, bool automatic) {
    const TLanguageChoice choice = TLanguageChoice::FromResources(resources);
    int selected = choice.SelectDefault(static_cast<int>(GetUserDefaultUILanguage()));
    if (!automatic && LanguageDialogRunner && !choice.Items().empty())
        selected = LanguageDialogRunner(choice, selected);
    if (selected >= static_cast<int>(choice.Items().size())) selected = -1;
    if (selected < 0) return u"English.lng";
    return resources.Languages()[choice.Items()[static_cast<size_t>(selected)].Index];
}

}  // namespace uinst
