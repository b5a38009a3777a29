#include "ui/dialogs/language_dialog.h"

#include <commctrl.h>

#include <cstring>

namespace uinst {

namespace {

constexpr wchar_t kDialogClass[] = L"uinst.TInstallerLanguageDialog";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

uint32_t ReadLE(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

}  // namespace

TUniqueIcon LoadIconFromBytes(const uint8_t* data, size_t size) {
    // ICONDIR (6 bytes), then 16-byte entries: width, height, ..., bytes (offset 8), offset (12).
    if (!data || size < 6 || ReadLE(data + 2, 2) != 1) return TUniqueIcon();
    const size_t count = ReadLE(data + 4, 2);
    if (count == 0 || 6 + count * 16 > size) return TUniqueIcon();
    size_t best = 0;
    for (size_t i = 0; i < count; ++i)
        if (data[6 + i * 16] == 16) {
            best = i;
            break;
        }
    const uint8_t* entry = data + 6 + best * 16;
    const size_t bytes = ReadLE(entry + 8, 4), offset = ReadLE(entry + 12, 4);
    if (bytes == 0 || offset > size || bytes > size - offset || bytes > 0x7FFFFFFF) return TUniqueIcon();
    // The system may write into the buffer it is given: hand it a copy.
    std::vector<uint8_t> image(data + offset, data + offset + bytes);
    return TUniqueIcon(
        CreateIconFromResourceEx(image.data(), static_cast<DWORD>(bytes), TRUE, 0x00030000, 16, 16, LR_DEFAULTCOLOR));
}

TInstallerLanguageDialog::TInstallerLanguageDialog(const TLanguageChoice& choice, int preselected, UINT dpi) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    CreateHandle(kDialogClass, kExStyle, u"Select Language", kStyle, 0, 0, 100, 100, nullptr);
    FScale = TScale(dpi ? dpi : WindowDpi(Handle()));
    FFonts.SetDpi(FScale.Dpi());
    SetClientSize(Handle(), FScale(220), FScale(75));
    RECT r{};
    GetWindowRect(Handle(), &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(Handle(), HWND_TOPMOST, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    // Left only through OK.
    EnableMenuItem(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    FCombo = CreateWindowExW(0, WC_COMBOBOXEXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL,
                             FScale(8), FScale(8), FScale(204), FScale(200), Handle(), nullptr, instance, nullptr);
    FOk = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, FScale(60),
                          FScale(75 - 8 - 25), FScale(100), FScale(25), Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    for (HWND h : {FCombo, FOk}) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts.Get(9)), TRUE);

    FIcons.Reset(ImageList_Create(FScale(16), FScale(16), ILC_COLOR32 | ILC_MASK, 4, 4));
    SendMessageW(FCombo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FIcons.Get()));
    const auto& items = choice.Items();
    for (size_t i = 0; i < items.size(); ++i) {
        int image = -1;
        if (items[i].Icon) {
            TUniqueIcon icon = LoadIconFromBytes(items[i].Icon->Memory(), static_cast<size_t>(items[i].Icon->Size()));
            if (icon) image = ImageList_AddIcon(FIcons.Get(), icon.Get());
        }
        String text = items[i].Name;
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT | CBEIF_LPARAM | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        item.iItem = static_cast<INT_PTR>(i);
        item.pszText = WidePtr(text);
        item.iImage = item.iSelectedImage = image < 0 ? I_IMAGENONE : image;
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(FCombo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(FCombo, CB_SETCURSEL, static_cast<WPARAM>(preselected), 0);
}

int TInstallerLanguageDialog::SelectedIndex() const {
    const LRESULT index = SendMessageW(FCombo, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

int TInstallerLanguageDialog::ShowModal() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(FCombo);
    MSG msg;
    while (!FDone && Handle()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!DialogMessage(Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        RethrowWindowException();
    }
    if (Handle()) {
        FResult = SelectedIndex();
        ShowWindow(Handle(), SW_HIDE);
    }
    return FResult;
}

LRESULT TInstallerLanguageDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) FDone = true;
            return 0;  // IDCANCEL (Escape) does not leave the dialog
        case WM_CLOSE:
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) return 0;
            break;
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

int ShowLanguageDialog(const TLanguageChoice& choice, int preselected) {
    TInstallerLanguageDialog dialog(choice, preselected);
    return dialog.ShowModal();
}

}  // namespace uinst
