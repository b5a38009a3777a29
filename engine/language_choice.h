#pragma once
// The language list of the setup package: each file's display name, language id and icon, sorted
// by name, with the user's interface language preselected.
#include <functional>
#include <memory>
#include <vector>

#include "base/stream.h"

namespace uinst {

class TInstallerResources;

struct TLanguageChoiceItem {
    String Name;
    int LangId = 0;
    int Index = -1;                       // position of the file in the resources' language list
    std::shared_ptr<TMemoryStream> Icon;  // the icon file's bytes, or none
};

class TLanguageChoice {
public:
    // Reads "File" of every language file that the setup package holds.
    static TLanguageChoice FromResources(TInstallerResources& resources);

    // Inserted after every item whose name does not sort after it (equal names keep their order).
    void Insert(TLanguageChoiceItem item);
    // The user's interface language, else English (1033), else the first item; -1 when empty.
    int SelectDefault(int userLangId) const;
    const std::vector<TLanguageChoiceItem>& Items() const { return FItems; }

private:
    std::vector<TLanguageChoiceItem> FItems;
};

// Shows the language dialog with the preselected item (an index into the items) and returns the
// item chosen. Set by the program's composition root; without it the preselection counts.
using TLanguageDialogRunner = std::function<int(const TLanguageChoice& choice, int preselected)>;
extern TLanguageDialogRunner LanguageDialogRunner;

// The file name of the language to load: the dialog's choice, or the preselected one when the
// run is automatic (the dialog is then built but never shown); "English.lng" without any.
String ChooseLanguage(TInstallerResources& resources, bool automatic);

}  // namespace uinst
