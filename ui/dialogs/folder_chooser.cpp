#include "ui/dialogs/folder_chooser.h"

#include <shlobj.h>

#include "base/paths.h"
#include "platform/com.h"

namespace uinst {

namespace {

// The system's folder browser names its new-folder button with this identifier.
constexpr int kNewFolderButtonId = 0x3746;

// The browser's buttons speak the wizard's language, not the system's.
void SetButtonText(HWND dialog, int id, const String& text) {
    if (HWND button = GetDlgItem(dialog, id); button && !text.empty()) SetWindowTextW(button, WidePtr(text));
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    if (data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    const TDialogTexts& texts = DialogTexts();
    SetButtonText(window, IDOK, texts.Ok);
    SetButtonText(window, IDCANCEL, texts.Cancel);
    SetButtonText(window, kNewFolderButtonId, texts.NewFolder);
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
