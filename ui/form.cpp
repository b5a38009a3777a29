#include "ui/form.h"

#include <algorithm>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "platform/gdi.h"
#include "platform/seams.h"
#include "ui/controls/button_painter.h"
#include "ui/dialogs/folder_chooser.h"
#include "ui/image.h"
#include "ui/pages/install_page.h"
#include "ui/palette.h"
#include "ui/skin.h"

namespace uinst {

namespace {

constexpr wchar_t kFormClass[] = L"uinst.TInstallerForm";
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

TInstallerForm* CurrentForm = nullptr;
int PumpDepth = 0;

std::unique_ptr<TImage> LoadPackageImage(StringView name) {
    auto file = Installer->Resources().OpenFile(name);
    return TImage::FromBytes(file->Memory(), static_cast<size_t>(file->Size()));
}

}  // namespace

TInstallerForm::TInstallerForm(UINT dpi) {
    UpdateWizardColors();
    FHeader = LoadPackageImage(u"header.png");
    FHeaderDark = LoadPackageImage(u"header_dark.png");
    CreateHandle(kFormClass, kExStyle, String(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr);
    ApplyTitleBarScheme(Handle(), WizardPalette().Dark);
    FScale = TScale(dpi ? dpi : WindowDpi(Handle()));
    FFonts.SetDpi(FScale.Dpi());
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    FVerInfo =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX, 0,
                        0, 0, 0, Handle(), nullptr, instance, nullptr);
    FBack = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBackId)), instance, nullptr);
    FNext = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0,
                            Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kNextId)), instance, nullptr);
    ChangeDpi(FScale.Dpi(), nullptr);
    // Centred on the screen of the window.
    RECT r{};
    GetWindowRect(Handle(), &r);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - (r.right - r.left)) / 2,
                 work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    Installer->AddListener(this);
    FListening = true;
    CurrentForm = this;
    CreatePages();
    LoadTexts();
    UpdateButtons();
    SetActivePage(FPages.First());
}

TInstallerForm::~TInstallerForm() {
    if (CurrentForm == this) CurrentForm = nullptr;
    if (FListening && Installer) Installer->RemoveListener(this);
}

void TInstallerForm::Show() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    FocusNextIfNone();
}

void TInstallerForm::CreatePages() {
    auto add = [this](StringView className) {
        auto page = CreatePageOfClass(className);
        if (!page) return;  // a class the wizard does not know is no page
        page->Initialize(Handle(), FScale.Dpi());
        FPages.Add(std::move(page));
    };
    if (!Installer->HasOption(ioAuto)) Installer->ProductInfo().PopulatePages(add);
    if (Installer->Mode() == imInstall) {
        add(u"TInstallerPageInstall");
        add(u"TInstallerPageFinish");
    } else {
        add(u"TInstallerPageUninstall");
        add(u"TInstallerPageUninstallFinish");
    }
}

String TInstallerForm::CommonText(StringView key) const {
    return Installer->Resources().GetText(u"Common", key);
}

void TInstallerForm::LoadTexts() {
    SetWindowTextW(Handle(), WidePtr(CommonText(u"Caption")));
    SetWindowTextW(FBack, WidePtr(CommonText(u"bBack")));
    SetWindowTextW(FNext, WidePtr(CommonText(u"bNext")));
    SetWindowTextW(FVerInfo, WidePtr(Installer->ProductInfo().GetVersionInfo()));
    DialogTexts() = {CommonText(u"lBrowse"), CommonText(u"lNewFolder"), CommonText(u"lOk"), CommonText(u"lCancel")};
    SetMessageBoxButtonCaptions(DialogTexts().Ok, DialogTexts().Cancel);
}

RECT TInstallerForm::HeaderRect() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    return RECT{0, 0, client.right, FScale(53)};
}

RECT TInstallerForm::StripRect() const {
    const RECT header = HeaderRect();
    return RECT{0, header.bottom, header.right, header.bottom + FScale(10)};
}

RECT TInstallerForm::FooterRect() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    return RECT{0, client.bottom - FScale(44), client.right, client.bottom};
}

RECT TInstallerForm::PageArea(bool fullScreen) const {
    const RECT footer = FooterRect();
    return RECT{0, fullScreen ? 0 : StripRect().bottom + FScale(4), footer.right, footer.top};
}

void TInstallerForm::LayoutControls() {
    auto place = [this](HWND h, int l, int t, int w, int hgt) {
        const RECT r = FScale.Bounds(l, t, w, hgt);
        SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts.Get(9)), TRUE);
    };
    place(FVerInfo, 12, 447, 257, 25);
    place(FBack, 384, 447, 121, 25);
    place(FNext, 511, 447, 121, 25);
}

void TInstallerForm::ChangeDpi(UINT dpi, const RECT* suggested) {
    FScale = TScale(dpi);
    FFonts.SetDpi(dpi);
    POINT at{};
    if (suggested) at = POINT{suggested->left, suggested->top};
    SetClientSize(Handle(), FScale(kDesignWidth), FScale(kDesignHeight), suggested ? &at : nullptr);
    LayoutControls();
    for (int i = 0; i < FPages.Count(); ++i) FPages.Items(i)->Rescale(dpi);
    if (FActivePage) FActivePage->Place(PageArea(FActivePage->IsFullScreen()));
    UpdateProgressStrip();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TInstallerForm::SetActivePage(TInstallerCustomPage* page) {
    if (page == FActivePage) return;
    if (FActivePage) {
        ShowWindow(FActivePage->Handle(), SW_HIDE);
        FActivePage = nullptr;
    }
    if (page) {
        FActivePage = page;
        page->Place(PageArea(page->IsFullScreen()));
        page->Prepare();
        // Prepare may have ended the wizard (an automatic run that finished at once).
        if (!Handle() || FActivePage != page) return;
        ShowWindow(page->Handle(), SW_SHOW);
        page->Shown();
    }
    UpdateButtons();
    FocusNextIfNone();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TInstallerForm::FocusNextIfNone() {
    // No control of the window has the focus (the window itself, or a control now hidden or
    // disabled): Next takes it, or, while Next is disabled, the window itself, which keeps Escape
    // and Alt+F4 working during the run.
    // A box of the wizard's own is open (it disables the window): its buttons keep the focus.
    if (!IsWindowEnabled(Handle())) return;
    HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) return;
    if (IsWindowEnabled(FNext) && IsWindowVisible(FNext))
        SetFocus(FNext);
    else if (focus != Handle() && GetActiveWindow() == Handle())
        SetFocus(Handle());
}

void TInstallerForm::UpdateButtons() {
    if (!Handle()) return;
    ShowWindow(FBack, FPages.CanGoBack(FActivePage) ? SW_SHOWNA : SW_HIDE);
    const bool isLast = FActivePage && FActivePage == FPages.Last();
    EnableWindow(FNext, FPages.CanGoNext(FActivePage) || isLast);
    TInstallerCustomPage* next = FPages.GetNext(FActivePage);
    const char16_t* key = u"bNext";
    if (!next)
        key = u"bFinish";
    else if (dynamic_cast<TInstallerPageUninstall*>(next))
        key = u"bUninstall";
    else if (dynamic_cast<TInstallerPageInstall*>(next))
        key = u"bInstall";
    SetWindowTextW(FNext, WidePtr(CommonText(key)));
    if (Installer->State() == isFinished)
        EnableMenuItem(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    UpdateProgressStrip();
    FocusNextIfNone();
}

void TInstallerForm::UpdateProgressStrip() {
    if (!Handle()) return;
    RECT bar = StripRect();
    bar.top += FScale(2);
    bar.bottom -= FScale(2);
    FBar = bar;
    if (FPages.Count() > 2) FSegmentWidth = (bar.right - bar.left) / (FPages.Count() - 1);
}

void TInstallerForm::bBackClick() {
    if (FPages.CanGoBack(FActivePage)) SetActivePage(FPages.GetPrevious(FActivePage));
}

void TInstallerForm::bNextClick() {
    if (FPages.CanGoNext(FActivePage))
        SetActivePage(FPages.GetNext(FActivePage));
    else if (FActivePage && FActivePage == FPages.Last())
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

bool TInstallerForm::FormCloseQuery() {
    if (Installer->State() == isFinished) return true;
    // Inside a report of the worker the worker cannot be stopped (it waits for this very call):
    // the question comes once the report has been handled.
    if (PumpDepth > 0) {
        FCloseDeferred = true;
        return false;
    }
    const int answer = ShowMessageBox(Handle(), CommonText(u"QM"), CommonText(u"Caption"),
                                      MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    // The run may have finished while the question was open: nothing is left to cancel, and the
    // finish page shows the result; the user leaves through Finish.
    if (answer != IDOK || Installer->State() == isFinished) return false;
    FCancelled = true;
    if (Installer->State() == isRunning) {
        // The worker reports "finished, cancelled" while it is stopped; the wizard then shows the
        // finish page with the cancellation, and the user leaves through Finish.
        Installer->FreeThread();
        return Installer->State() != isFinished;
    }
    return true;
}

void TInstallerForm::RequestClose() {
    if (FormCloseQuery()) DestroyWindow(Handle());
}

int TInstallerForm::ExitCode() const {
    if (FCancelled) return 2;
    if (Installer->HasErrors()) return 1;
    return Installer->State() == isFinished ? 0 : 2;
}

void TInstallerForm::Notify(int code, intptr_t param) {
    switch (code) {
        case kNotifyFinished:
            if (param) FCancelled = true;
            if (Installer->HasOption(ioAuto) && !Installer->HasErrors())
                PostMessageW(Handle(), WM_CLOSE, 0, 0);
            else
                bNextClick();
            break;
        case kNotifyPageChanged:
            UpdateButtons();
            break;
        case kNotifyRepaint: {
            RECT strip = StripRect();
            InvalidateRect(Handle(), &strip, FALSE);
            break;
        }
        default:
            break;
    }
}

void TInstallerForm::PumpMessagesDuringNotification() {
    ++PumpDepth;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND form = CurrentForm ? CurrentForm->Handle() : nullptr;
        if (!form || !DialogMessage(form, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    --PumpDepth;
    if (PumpDepth == 0 && CurrentForm && CurrentForm->FCloseDeferred) {
        CurrentForm->FCloseDeferred = false;
        PostMessageW(CurrentForm->Handle(), WM_CLOSE, 0, 0);
    }
}

void TInstallerForm::PaintStrip(HDC dc) {
    const auto& palette = WizardPalette();
    const RECT strip = StripRect();
    FillRect(dc, &strip, PaletteBrush(palette.StripBackground));
    const int index = FPages.IndexOf(FActivePage);
    if (index < 0 || FSegmentWidth <= 0) return;
    const int left = FBar.left + index * FSegmentWidth;
    HBRUSH accent = PaletteBrush(palette.Accent);
    for (int k = 0; k < FSegmentWidth / 6; ++k) {
        RECT dash{left + 6 * k, FBar.top, left + 6 * k + 3, FBar.bottom};
        FillRect(dc, &dash, accent);
    }
    RECT filled{FBar.left, FBar.top, left + MulDiv(FSegmentWidth, FActivePage->GetProgress(), 100), FBar.bottom};
    FillRect(dc, &filled, accent);
}

void TInstallerForm::Paint(HDC target) {
    RECT client{};
    GetClientRect(Handle(), &client);
    TMemoryDC dc(target, client.right, client.bottom);
    const auto& palette = WizardPalette();
    FillRect(dc.Get(), &client, PaletteBrush(palette.Background));
    const RECT footer = FooterRect();
    FillRect(dc.Get(), &footer, PaletteBrush(palette.Accent));
    const RECT header = HeaderRect();
    (palette.Dark ? FHeaderDark : FHeader)->Draw(dc.Get(), header);
    RECT line{header.left, header.bottom - FScale(1), header.right, header.bottom};
    FillRect(dc.Get(), &line, PaletteBrush(palette.Accent));
    if (FActivePage) {
        RECT text{header.left + FScale(144), header.top + FScale(6), header.right - FScale(16),
                  header.bottom - FScale(12)};
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), palette.HeaderText);
        {
            HFONT title = FFonts.Get(11);
            TSelectObject select(dc.Get(), title);
            RECT r = text;
            r.bottom = r.top + FontHeight(title);
            DrawTextW(dc.Get(), WidePtr(FActivePage->Title()), -1, &r,
                      DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
        {
            HFONT description = FFonts.Get(8);
            TSelectObject select(dc.Get(), description);
            RECT r = text;
            r.top = r.bottom - FontHeight(description);
            DrawTextW(dc.Get(), WidePtr(FActivePage->Description()), -1, &r,
                      DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
    PaintStrip(dc.Get());
    BitBlt(target, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
}

LRESULT TInstallerForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto painted = HandlePaintMessages(Handle(), message, wParam, [this](HDC dc) { Paint(dc); }))
        return *painted;
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kNextId:
                    if (IsWindowEnabled(FNext) && IsWindowVisible(FNext)) bNextClick();
                    return 0;
                case kBackId:
                    if (IsWindowVisible(FBack)) bBackClick();
                    return 0;
                case IDCANCEL:
                    RequestClose();
                    return 0;
            }
            break;
        case DM_GETDEFID:
            return MAKELRESULT(kNextId, DC_HASDEFID);
        case WM_CLOSE:
            RequestClose();
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == FVerInfo) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, WizardPalette().VersionText);
                SetBkColor(dc, WizardPalette().Accent);
                return reinterpret_cast<LRESULT>(PaletteBrush(WizardPalette().Accent));
            }
            break;
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(PaletteBrush(WizardPalette().Accent));
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == FBack || header->hwndFrom == FNext)
                if (const auto result = PaintButton(*header, WizardPalette(), FScale, WizardPalette().Accent))
                    return *result;
            break;
        }
        case 0x02E0:  // WM_DPICHANGED
            ChangeDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SETTINGCHANGE:
            if (lParam && lstrcmpW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0)
                SchemeChanged();
            break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

void TInstallerForm::SchemeChanged() {
    const bool wasDark = WizardPalette().Dark;
    UpdateWizardColors();
    if (WizardPalette().Dark == wasDark) return;
    // Pictures keep the scheme they were made in; the header image is chosen at every paint.
    ApplyTitleBarScheme(Handle(), WizardPalette().Dark);
    for (int i = 0; i < FPages.Count(); ++i) FPages.Items(i)->SkinChanged();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE | RDW_FRAME);
}

int RunWizard() {
    int code = 2;
    {
        TInstallerForm form;
        form.Show();
        RunModalLoop(form.Handle());
        code = form.ExitCode();
    }
    // Only a run that has finished starts the ticked entries (the installer also requires an
    // empty error log): a wizard closed before the run starts nothing.
    if (Installer->State() == isFinished) Installer->RunFinalActions();
    return code;
}

}  // namespace uinst
