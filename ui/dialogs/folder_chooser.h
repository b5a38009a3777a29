#pragma once
// The folder chooser of the setup page: a modal tree of the file system's folders that can make
// a new folder. Replaceable, so that tests choose a folder without a person.
#include <windows.h>

#include <functional>

#include "base/string.h"

namespace uinst {

// Captions of the wizard's dialogs, set by the wizard from the language file.
struct TDialogTexts {
    String Browse;     // the folder chooser's title
    String NewFolder;  // its new-folder button
    String Ok;
    String Cancel;
};
TDialogTexts& DialogTexts();

// Returns true with the chosen folder (trailing backslash added), false on Cancel.
using TFolderChooser = std::function<bool(HWND owner, const String& initial, String& folder)>;
TFolderChooser& FolderChooser();

}  // namespace uinst
