#include "ui/page.h"

#include <commctrl.h>
#include <richedit.h>
#include <uxtheme.h>

#include <algorithm>
#include <map>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "formats/ini_file.h"
#include "platform/handles.h"
#include "platform/seams.h"
#include "ui/controls/button_painter.h"
#include "ui/controls/formatted_label.h"
#include "ui/controls/links.h"
#include "ui/controls/rich_viewer.h"
#include "ui/image.h"
#include "ui/palette.h"

namespace uinst {

namespace {

constexpr wchar_t kPageClass[] = L"uinst.TInstallerPage";
const String kEmpty;

std::map<String, TPageFactory>& PageClasses() {
    static std::map<String, TPageFactory> classes;
    return classes;
}

// Progress bars fill in the accent colour on the edit content colour of the scheme. A bar drawn by
// the visual style ignores its colours: the style is taken off (by naming a style that does not
// exist; Wine refuses the empty names that Windows also takes).
void ApplyProgressColors(HWND bar) {
    SetWindowTheme(bar, L" ", L" ");
    SendMessageW(bar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(WizardPalette().Accent));
    SendMessageW(bar, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(WizardPalette().EditContent));
}

void InitCommonControlsOnce() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

SIZE MeasureText(HWND control, HFONT font, int width, bool wrap) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    TWindowDC screen(nullptr);
    TSelectObject select(screen.Get(), font);
    RECT r{0, 0, std::max(width, 1), 0};
    DrawTextW(screen.Get(), text.empty() ? L" " : text.c_str(), -1, &r,
              DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace

// ---- TInstallerCustomPage

TInstallerCustomPage::TInstallerCustomPage(StringView className)
    : FClassName(className), FName(className.size() > 10 ? className.substr(10) : StringView()) {}

TInstallerCustomPage::~TInstallerCustomPage() = default;

const String& TInstallerCustomPage::Title() const {
    return kEmpty;
}

const String& TInstallerCustomPage::Description() const {
    return kEmpty;
}

void TInstallerCustomPage::Initialize(HWND parent, UINT dpi) {
    InitCommonControlsOnce();
    FScale = TScale(dpi);
    FFonts.SetDpi(FScale.Dpi());
    // The window text is the page's name: tools that walk the wizard's windows can tell pages apart.
    CreateHandle(kPageClass, WS_EX_CONTROLPARENT, FName, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                 parent);
}

void TInstallerCustomPage::Place(const RECT& bounds) {
    SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void TInstallerCustomPage::Rescale(UINT dpi) {
    FScale = TScale(dpi);
    FFonts.SetDpi(FScale.Dpi());
    Layout();
}

void TInstallerCustomPage::NotifyChanged() {
    if (Installer) Installer->Post(kNotifyPageChanged, 0);
}

void TInstallerCustomPage::Paint(HDC dc) {
    RECT r{};
    GetClientRect(Handle(), &r);
    FillRect(dc, &r, PaletteBrush(WizardPalette().Background));
}

LRESULT TInstallerCustomPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto painted = HandlePaintMessages(Handle(), message, wParam, [this](HDC dc) { Paint(dc); }))
        return *painted;
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_CLOSE:
            // A page is never closed on its own (a control may ask its parent): the window decides.
            PostMessageW(GetAncestor(Handle(), GA_ROOT), WM_CLOSE, 0, 0);
            return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

// ---- TPageControl

String TPageControl::Text() const {
    const int length = GetWindowTextLengthW(Handle);
    String text(static_cast<size_t>(length) + 1, u'\0');
    GetWindowTextW(Handle, WidePtr(text), length + 1);
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

// ---- TInstallerPage

void TInstallerPage::Initialize(HWND parent, UINT dpi) {
    TInstallerCustomPage::Initialize(parent, dpi);
    CreateControls();
    ApplyLocalization();
    Layout();
}

void TInstallerPage::Rescale(UINT dpi) {
    const int old = static_cast<int>(FScale.Dpi());
    TInstallerCustomPage::Rescale(dpi);
    for (auto& control : FControls) {
        ApplyFont(*control);
        if (control->Object) control->Object->ScaleChanged(static_cast<int>(FScale.Dpi()), old);
    }
    Layout();
}

void TInstallerPage::SkinChanged() {
    for (auto& control : FControls) {
        if (control->Object) control->Object->SkinChanged();
        if (control->Kind == TControlKind::ProgressBar) ApplyProgressColors(control->Handle);
    }
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TInstallerPage::Paint(HDC dc) {
    TInstallerCustomPage::Paint(dc);
    // The viewers draw no border of their own: a line in the skin's edit border colour.
    for (auto& control : FControls) {
        if (control->Kind != TControlKind::RichViewer || !control->Visible()) continue;
        RECT r{};
        GetWindowRect(control->Handle, &r);
        MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&r), 2);
        InflateRect(&r, 1, 1);
        FrameRect(dc, &r, PaletteBrush(WizardPalette().EditBorder));
    }
}

String TInstallerPage::GetText(StringView key) const {
    return Installer->Resources().GetText(Name(), key);
}

TORLIniFile& TInstallerPage::Settings() {
    return Installer->Settings();
}

TInstallerResources& TInstallerPage::Resources() {
    return Installer->Resources();
}

TPageControl* TInstallerPage::FindControl(StringView name) const {
    for (auto& control : FControls)
        if (control->Name == name) return control.get();
    return nullptr;
}

void TInstallerPage::ApplyLocalization() {
    FTitle = GetText(u"Title");
    FDescription = GetText(u"Description");
    for (auto& control : FControls)
        if (!control->Name.empty() && control->Kind != TControlKind::Edit && control->Kind != TControlKind::Icon)
            control->SetText(GetText(control->Name));
}

namespace {

// A link label is a static control that the keyboard reaches too: Tab stops on it, Enter and
// Space open it like a click, a focus rectangle shows where the keyboard is, and the pointer
// turns into a hand over it.
LRESULT CALLBACK LinkLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const auto opens = [](WPARAM key) { return key == VK_RETURN || key == VK_SPACE; };
    switch (message) {
        case WM_GETDLGCODE: {
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && msg->message == WM_KEYDOWN && opens(msg->wParam)) return DLGC_WANTMESSAGE;
            return DLGC_STATIC;
        }
        case WM_KEYDOWN:
            if (!opens(wParam)) break;
            SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), STN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
            return 0;
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == L' ') return 0;  // no beep for the key that opened it
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(window, nullptr, TRUE);
            break;
        case WM_LBUTTONDOWN:
            SetFocus(window);
            break;
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        case WM_PAINT: {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            if (GetFocus() == window) {
                TWindowDC dc(window);
                RECT r{};
                GetClientRect(window, &r);
                DrawFocusRect(dc.Get(), &r);
            }
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, LinkLabelProc, 0);
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

HWND TInstallerPage::CreateChild(const wchar_t* className, DWORD style, DWORD exStyle) {
    HWND child = CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!child) throw EOSError(GetLastError(), u"The wizard cannot create a control of class " + FromWide(className));
    return child;
}

TPageControl& TInstallerPage::CreateControl(RECT design, StringView name, TControlKind kind, DWORD extraStyle) {
    auto control = std::make_unique<TPageControl>();
    control->Name = String(name);
    control->Kind = kind;
    control->Design = design;
    switch (kind) {
        case TControlKind::Label:
            control->Handle = CreateChild(L"STATIC", SS_NOPREFIX | extraStyle, 0);
            break;
        case TControlKind::CheckBox:
            control->Handle = CreateChild(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | extraStyle, 0);
            break;
        case TControlKind::RadioBox:
            // The page keeps the pair exclusive itself: the two boxes need not be neighbours.
            control->Handle = CreateChild(L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP | extraStyle, 0);
            break;
        case TControlKind::Edit:
            control->Handle = CreateChild(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | extraStyle, WS_EX_CLIENTEDGE);
            break;
        case TControlKind::Button:
            control->Handle = CreateChild(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | extraStyle, 0);
            break;
        case TControlKind::ProgressBar:
            control->Handle = CreateChild(PROGRESS_CLASSW, PBS_SMOOTH | extraStyle, 0);
            SendMessageW(control->Handle, PBM_SETRANGE32, 0, 100);
            ApplyProgressColors(control->Handle);
            break;
        case TControlKind::RichViewer: {
            auto viewer = std::make_unique<TORLRichViewer>(Handle(), WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | extraStyle);
            // Documents are measured at 96 DPI: the zoom follows the page's density.
            viewer->ScaleChanged(static_cast<int>(FScale.Dpi()), 96);
            control->Handle = viewer->Handle();
            control->Object = std::move(viewer);
            break;
        }
        case TControlKind::FormattedLabel: {
            auto label = std::make_unique<TORLFormattedLabel>(Handle(), WS_VISIBLE | extraStyle);
            control->Handle = label->Handle();
            control->Object = std::move(label);
            break;
        }
        case TControlKind::Memo:
            control->Handle =
                CreateChild(L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | extraStyle,
                            WS_EX_CLIENTEDGE);
            break;
        case TControlKind::Link:
            control->Handle = CreateChild(L"STATIC", SS_NOTIFY | SS_NOPREFIX | SS_CENTER | WS_TABSTOP | extraStyle, 0);
            SetWindowSubclass(control->Handle, LinkLabelProc, 0, 0);
            break;
        case TControlKind::Icon:
            control->Handle = CreateChild(L"STATIC", SS_ICON | extraStyle, 0);
            break;
    }
    SetWindowLongPtrW(control->Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control.get()));
    FControls.push_back(std::move(control));
    TPageControl& result = *FControls.back();
    ApplyFont(result);
    return result;
}

TPageControl& TInstallerPage::CreateCheckBox(RECT design, StringView name, std::function<void()> onClick) {
    TPageControl& box = CreateControl(design, name, TControlKind::CheckBox);
    box.OnClick = std::move(onClick);
    return box;
}

TPageControl& TInstallerPage::CreateRadioBox(RECT design, StringView name, std::function<void()> onClick) {
    TPageControl& box = CreateControl(design, name, TControlKind::RadioBox);
    box.OnClick = std::move(onClick);
    return box;
}

TPageControl& TInstallerPage::CreateLabel(RECT design, StringView name, bool multiLine) {
    return CreateControl(design, name, TControlKind::Label, multiLine ? SS_LEFT : SS_LEFTNOWORDWRAP | SS_CENTERIMAGE);
}

TPageControl& TInstallerPage::CreateHeaderLabel(RECT design, StringView name) {
    TPageControl& label = CreateLabel(design, name, false);
    label.FontPoints = 11;
    ApplyFont(label);
    return label;
}

TPageControl& TInstallerPage::CreateAligned(TAlign align, RECT margins, int height, StringView name, TControlKind kind,
                                            DWORD extraStyle) {
    TPageControl& control = CreateControl(RECT{0, 0, 0, height}, name, kind, extraStyle);
    control.Align = align;
    control.Margins = margins;
    return control;
}

void TInstallerPage::DestroyControl(TPageControl& control) {
    auto it = std::find_if(FControls.begin(), FControls.end(), [&](auto& c) { return c.get() == &control; });
    if (it == FControls.end()) return;
    if (!control.Object) DestroyWindow(control.Handle);
    FControls.erase(it);
}

void TInstallerPage::ApplyFont(TPageControl& control) {
    SendMessageW(control.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts.Get(control.FontPoints, control.Bold)),
                 TRUE);
}

void TInstallerPage::Layout() {
    if (!Handle()) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    const TScale& s = FScale;
    RECT area{client.left + s(FPadding.left), client.top + s(FPadding.top), client.right - s(FPadding.right),
              client.bottom - s(FPadding.bottom)};
    auto move = [](HWND h, const RECT& r) {
        SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (auto& c : FControls) {
        if (c->Align != TAlign::Bottom || !(GetWindowLongW(c->Handle, GWL_STYLE) & WS_VISIBLE)) continue;
        const int left = area.left + s(c->Margins.left), right = area.right - s(c->Margins.right);
        int height = s(c->Design.bottom);
        int width = right - left;
        if (c->FitText) {
            const SIZE size = MeasureText(c->Handle, FFonts.Get(c->FontPoints, c->Bold), width - s(24),
                                          c->Kind != TControlKind::Link);
            height = size.cy;
            if (c->Kind == TControlKind::Link) width = std::min(width, static_cast<int>(size.cx) + s(4));
        }
        const int bottom = area.bottom - s(c->Margins.bottom);
        const int x = c->Kind == TControlKind::Link ? left + (right - left - width) / 2 : left;
        move(c->Handle, RECT{x, bottom - height, x + width, bottom});
        area.bottom = bottom - height - s(c->Margins.top);
    }
    for (auto& c : FControls) {
        if (c->Align == TAlign::Client)
            move(c->Handle, RECT{area.left + s(c->Margins.left), area.top + s(c->Margins.top),
                                 area.right - s(c->Margins.right), area.bottom - s(c->Margins.bottom)});
        else if (c->Align == TAlign::None) {
            RECT r = s.Bounds(c->Design.left, c->Design.top, c->Design.right, c->Design.bottom);
            // A label that fits its text keeps off the labels below it (labels here are opaque).
            if (c->FitText)
                r.bottom = std::min(
                    r.bottom,
                    r.top + static_cast<LONG>(
                                MeasureText(c->Handle, FFonts.Get(c->FontPoints, c->Bold), r.right - r.left, true).cy));
            move(c->Handle, r);
        }
    }
}

LRESULT TInstallerPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            auto* control =
                reinterpret_cast<TPageControl*>(GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWLP_USERDATA));
            if (!control || control->Handle != reinterpret_cast<HWND>(lParam)) break;
            const UINT code = HIWORD(wParam);
            if (control->Kind == TControlKind::RadioBox && code == BN_CLICKED) {
                for (auto& other : FControls)
                    if (other->Kind == TControlKind::RadioBox) other->SetChecked(other.get() == control);
            }
            if ((code == BN_CLICKED || code == STN_CLICKED) && control->OnClick) control->OnClick();
            if (code == EN_CHANGE && control->OnChange) control->OnChange();
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == NM_CUSTOMDRAW) {
                auto* control = reinterpret_cast<TPageControl*>(GetWindowLongPtrW(header->hwndFrom, GWLP_USERDATA));
                if (control && control->Handle == header->hwndFrom && !control->Object)
                    if (const auto result = PaintButton(*header, WizardPalette(), FScale, WizardPalette().Background,
                                                        control->TextColor))
                        return *result;
            }
            for (auto& control : FControls) {
                LRESULT result = 0;
                if (control->Object && control->Handle == header->hwndFrom &&
                    control->Object->HandleNotify(*header, result))
                    return result;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT: {
            const auto& palette = WizardPalette();
            HDC dc = reinterpret_cast<HDC>(wParam);
            auto* control =
                reinterpret_cast<TPageControl*>(GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWLP_USERDATA));
            const bool isButton =
                control && (control->Kind == TControlKind::CheckBox || control->Kind == TControlKind::RadioBox);
            // Read-only and disabled edits ask with WM_CTLCOLORSTATIC.
            const bool isEdit =
                message == WM_CTLCOLOREDIT ||
                (control && (control->Kind == TControlKind::Edit || control->Kind == TControlKind::Memo));
            COLORREF text = isEdit ? palette.EditText : isButton ? palette.ButtonText : palette.Text;
            if (control && control->TextColor != CLR_INVALID) text = control->TextColor;
            if (!IsWindowEnabled(reinterpret_cast<HWND>(lParam)))
                text = isEdit ? palette.EditTextDisabled : palette.DisabledText;
            // Edits and memos on the skin's content colour, everything else on the page.
            const COLORREF back = isEdit ? palette.EditContent : palette.Background;
            SetTextColor(dc, text);
            SetBkColor(dc, back);
            return reinterpret_cast<LRESULT>(PaletteBrush(back));
        }
    }
    return TInstallerCustomPage::HandleMessage(message, wParam, lParam);
}

// ---- TInstallerPageFullScreen

TInstallerPageFullScreen::~TInstallerPageFullScreen() = default;

void TInstallerPageFullScreen::CreateControls() {
    TInstallerPage::CreateControls();
    // The scheme at this moment decides the picture; it is not reloaded on a later change.
    const String name = String(u"wizard_") + (WizardPalette().Dark ? u"dark" : u"light") + u".png";
    auto file = Resources().OpenFile(name);
    FPicture = TImage::FromBytes(file->Memory(), static_cast<size_t>(file->Size()));
    FBody = &CreateLabel(RECT{210, 61, 400, 240}, u"L2", true);
    FHeading = &CreateLabel(RECT{210, 22, 400, 50}, u"L1", true);
    FHeading->FontPoints = 11;
    FHeading->FitText = true;
    ApplyFont(*FHeading);
}

void TInstallerPageFullScreen::Paint(HDC dc) {
    TInstallerPage::Paint(dc);
    if (FPicture) FPicture->Draw(dc, FScale.Bounds(0, 0, 188, 435));
}

// ---- page classes and the page list

void RegisterPageClass(StringView className, TPageFactory factory) {
    PageClasses()[String(className)] = std::move(factory);
}

std::unique_ptr<TInstallerCustomPage> CreatePageOfClass(StringView className) {
    auto it = PageClasses().find(String(className));
    return it == PageClasses().end() ? nullptr : it->second();
}

TInstallerCustomPage& TInstallerPageList::Add(std::unique_ptr<TInstallerCustomPage> page) {
    FPages.push_back(std::move(page));
    return *FPages.back();
}

int TInstallerPageList::IndexOf(const TInstallerCustomPage* page) const {
    for (size_t i = 0; i < FPages.size(); ++i)
        if (FPages[i].get() == page) return static_cast<int>(i);
    return -1;
}

TInstallerCustomPage* TInstallerPageList::GetNext(const TInstallerCustomPage* page) const {
    for (int i = IndexOf(page) + 1; i < Count(); ++i)
        if (Items(i)->IsAvailable()) return Items(i);
    return nullptr;
}

TInstallerCustomPage* TInstallerPageList::GetPrevious(const TInstallerCustomPage* page) const {
    const int index = IndexOf(page);
    for (int i = index - 1; i >= 0 && index >= 0; --i)
        if (Items(i)->IsAvailable()) return Items(i);
    return nullptr;
}

bool TInstallerPageList::CanGoNext(TInstallerCustomPage* page) const {
    return page && page->CanGoNext() && GetNext(page);
}

bool TInstallerPageList::CanGoBack(TInstallerCustomPage* page) const {
    return page && page->CanGoBack() && GetPrevious(page);
}

void OpenLink(const String& target) {
    ExecuteLink(target);
}

}  // namespace uinst
