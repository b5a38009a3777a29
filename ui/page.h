#pragma once
// The wizard's pages: the navigation questions every page answers, pages with a title, a
// description and system-class child controls named after their text keys, full-screen pages
// with the wizard picture, the page list, and the registry that creates pages by class name.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/string.h"
#include "platform/window.h"
#include "ui/image.h"
#include "ui/scale.h"
#include "ui/skin.h"

namespace uinst {

class TInstallerResources;
class TORLIniFile;

class TInstallerCustomPage : public TWindow {
public:
    // The page's name is its class name without "TInstaller" ("PageWelcome"); it is also the
    // section of its texts.
    explicit TInstallerCustomPage(StringView className);
    ~TInstallerCustomPage() override;

    const String& Name() const { return FName; }
    const String& ClassName() const { return FClassName; }

    virtual int GetProgress() { return 0; }
    virtual bool CanGoBack() { return true; }
    virtual bool CanGoNext() { return true; }
    virtual bool IsAvailable() { return true; }
    // Each time the page is about to be shown, after it has been placed.
    virtual void Prepare() {}
    // After the page has become visible.
    virtual void Shown() {}
    virtual bool IsFullScreen() const { return false; }
    virtual const String& Title() const;
    virtual const String& Description() const;

    // Creates the hidden page window in the wizard and builds its content.
    virtual void Initialize(HWND parent, UINT dpi);
    // Places the page (pixels of the wizard's client area).
    void Place(const RECT& bounds);
    // A new DPI: fonts and positions of every control again.
    virtual void Rescale(UINT dpi);
    // The colour scheme changed: the controls take their colours again.
    virtual void SkinChanged() {}
    const TScale& Scale() const { return FScale; }
    // Asks the wizard to re-evaluate its buttons.
    void NotifyChanged();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void Paint(HDC dc);
    virtual void Layout() {}

    TScale FScale;
    TFontCache FFonts;

private:
    String FClassName;
    String FName;
};

// How a control takes its place: at its design bounds, filling what is left of the page, or at
// the page's bottom with the design height (or the height of its text).
enum class TAlign { None, Client, Bottom };

enum class TControlKind {
    Label,
    CheckBox,
    RadioBox,
    Edit,
    Button,
    ProgressBar,
    RichViewer,
    Memo,
    Link,
    Icon,
    FormattedLabel
};

struct TPageControl {
    String Name;
    TControlKind Kind = TControlKind::Label;
    HWND Handle = nullptr;
    RECT Design{};  // left, top, width, height
    TAlign Align = TAlign::None;
    RECT Margins{};        // left, top, right, bottom, for aligned controls
    bool FitText = false;  // height (and for links width) from the text
    int FontPoints = 8;
    bool Bold = false;
    COLORREF TextColor = CLR_INVALID;  // the palette's text colour when invalid
    std::function<void()> OnClick;
    std::function<void()> OnChange;
    // The control of this program behind the window (rich viewer, formatted label); owns it.
    std::unique_ptr<ISkinnedControl> Object;
    bool Checked() const { return Handle && SendMessageW(Handle, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(bool checked) const { SendMessageW(Handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
    void SetText(const String& text) const { SetWindowTextW(Handle, WidePtr(text)); }
    String Text() const;
    void SetVisible(bool visible) const { ShowWindow(Handle, visible ? SW_SHOWNA : SW_HIDE); }
    bool Visible() const { return Handle && (GetWindowLongW(Handle, GWL_STYLE) & WS_VISIBLE); }
    void SetEnabled(bool enabled) const { EnableWindow(Handle, enabled); }
};

class TInstallerPage : public TInstallerCustomPage {
public:
    using TInstallerCustomPage::TInstallerCustomPage;

    const String& Title() const override { return FTitle; }
    const String& Description() const override { return FDescription; }
    void Initialize(HWND parent, UINT dpi) override;
    void Rescale(UINT dpi) override;
    void SkinChanged() override;

    // The page's own text (section = page name); empty when missing.
    String GetText(StringView key) const;
    static TORLIniFile& Settings();
    static TInstallerResources& Resources();
    // Controls by name (the first of that name), or none.
    TPageControl* FindControl(StringView name) const;
    const std::vector<std::unique_ptr<TPageControl>>& Controls() const { return FControls; }

protected:
    virtual void CreateControls() {}
    // Title, description and the caption of every named control from the page's section.
    virtual void ApplyLocalization();

    TPageControl& CreateControl(RECT design, StringView name, TControlKind kind, DWORD extraStyle = 0);
    TPageControl& CreateCheckBox(RECT design, StringView name, std::function<void()> onClick);
    TPageControl& CreateRadioBox(RECT design, StringView name, std::function<void()> onClick);
    TPageControl& CreateLabel(RECT design, StringView name, bool multiLine);
    TPageControl& CreateHeaderLabel(RECT design, StringView name);
    // An aligned control: to the page's client area less the page padding and the margins.
    TPageControl& CreateAligned(TAlign align, RECT margins, int height, StringView name, TControlKind kind,
                                DWORD extraStyle = 0);
    void DestroyControl(TPageControl& control);
    void Layout() override;
    void ApplyFont(TPageControl& control);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint(HDC dc) override;
    // Inner space of the page for aligned controls (design units at left, top, right, bottom).
    RECT FPadding{};

private:
    HWND CreateChild(const wchar_t* className, DWORD style, DWORD exStyle);
    std::vector<std::unique_ptr<TPageControl>> FControls;
    String FTitle;
    String FDescription;
};

// A page over the header and strip, with the wizard picture on its left and two labels.
class TInstallerPageFullScreen : public TInstallerPage {
public:
    using TInstallerPage::TInstallerPage;
    ~TInstallerPageFullScreen() override;
    bool IsFullScreen() const override { return true; }

protected:
    void CreateControls() override;
    void Paint(HDC dc) override;
    std::unique_ptr<TImage> FPicture;
    TPageControl* FHeading = nullptr;  // "L1"
    TPageControl* FBody = nullptr;     // "L2"
};

// Creates a page of a class registered under that name.
using TPageFactory = std::function<std::unique_ptr<TInstallerCustomPage>()>;
void RegisterPageClass(StringView className, TPageFactory factory);
std::unique_ptr<TInstallerCustomPage> CreatePageOfClass(StringView className);

template <typename T>
void RegisterPageClass(StringView className) {
    RegisterPageClass(className, [] { return std::unique_ptr<TInstallerCustomPage>(std::make_unique<T>()); });
}

// The ordered pages of the wizard; owns them.
class TInstallerPageList {
public:
    TInstallerCustomPage& Add(std::unique_ptr<TInstallerCustomPage> page);
    int Count() const { return static_cast<int>(FPages.size()); }
    TInstallerCustomPage* Items(int index) const { return FPages.at(static_cast<size_t>(index)).get(); }
    int IndexOf(const TInstallerCustomPage* page) const;
    TInstallerCustomPage* First() const { return FPages.empty() ? nullptr : FPages.front().get(); }
    TInstallerCustomPage* Last() const { return FPages.empty() ? nullptr : FPages.back().get(); }
    // The first available page after (before) the given one; a page not in the list stands
    // before the first.
    TInstallerCustomPage* GetNext(const TInstallerCustomPage* page) const;
    TInstallerCustomPage* GetPrevious(const TInstallerCustomPage* page) const;
    bool CanGoNext(TInstallerCustomPage* page) const;
    bool CanGoBack(TInstallerCustomPage* page) const;

private:
    std::vector<std::unique_ptr<TInstallerCustomPage>> FPages;
};

// Opens a link with the system's default handler (through the shell seam), by the rule of links.h.
void OpenLink(const String& target);

}  // namespace uinst
