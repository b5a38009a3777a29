#include "ui/dialogs/folder_chooser.h"

#include <shlobj.h>

#include "base/paths.h"
#include "platform/com.h"

namespace uinst {

namespace {

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool ChooseFolder(HWND owner, const String& initial, String& folder) {
    String start = ExcludeTrailingPathDelimiter(initial);
    // Start at the nearest folder that exists.
    while (!start.empty() && GetFileAttributesW(WidePtr(start)) == INVALID_FILE_ATTRIBUTES) {
        const String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(start));
        if (parent == start) break;
        start = parent;
    }
    const String title = DialogTexts().Browse;
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = WidePtr(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(WidePtr(start));
    const TComInitialization com;  // the dialog's edit box and folder tree need an apartment
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    bool chosen = false;
    if (list) {
        wchar_t path[MAX_PATH + 1] = {};
        if (SHGetPathFromIDListW(list, path) && path[0]) {
            folder = IncludeTrailingPathDelimiter(FromWide(path));
            chosen = true;
        }
        CoTaskMemFree(list);
    }
    return chosen;
}

}  // namespace

TDialogTexts& DialogTexts() {
    static TDialogTexts texts;
    return texts;
}

TFolderChooser& FolderChooser() {
    static TFolderChooser chooser = ChooseFolder;
    return chooser;
}

}  // namespace uinst
