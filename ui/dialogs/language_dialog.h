#pragma once
// The language dialog: a drop-down of the setup package's language files with their names and
// flags, the user's interface language preselected, left only through OK.
#include <windows.h>

#include "engine/language_choice.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "ui/scale.h"

namespace uinst {

class TInstallerLanguageDialog : public TWindow {
public:
    TInstallerLanguageDialog(const TLanguageChoice& choice, int preselected, UINT dpi = 0);
    // Shows the dialog until OK is pressed; returns the chosen item (an index into the choice's
    // items), or -1 when none is selected.
    int ShowModal();
    int SelectedIndex() const;
    HWND Combo() const { return FCombo; }
    HWND OkButton() const { return FOk; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TScale FScale;
    TFontCache FFonts;
    TUniqueImageList FIcons;
    HWND FCombo = nullptr;
    HWND FOk = nullptr;
    bool FDone = false;
    int FResult = -1;
};

// Reads the icon of a language file (an .ico file's bytes) at 16 x 16; none when unreadable.
TUniqueIcon LoadIconFromBytes(const uint8_t* data, size_t size);
// The dialog for ChooseLanguage.
int ShowLanguageDialog(const TLanguageChoice& choice, int preselected);

}  // namespace uinst
