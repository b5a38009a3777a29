// The wizard under Wine with a test product: page list rules, navigation and button states, the
// licence acceptance, the summary, a run through the progress page to the finish page, the close
// question, scaling, and the language dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "engine/engine_test_support.h"
#include "engine/installer_resources.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "formats/localization.h"
#include "platform/seams.h"
#include "platform/window.h"
#include "ui/dialogs/folder_chooser.h"
#include "ui/dialogs/language_dialog.h"
#include "ui/form.h"
#include "ui/pages/install_page.h"
#include "ui/pages/standard_pages.h"
#include "ui/palette.h"
#include "ui/wizard.h"

namespace uinst {
namespace {

using namespace test;

std::string ReadSource(const std::string& relative) {
    std::ifstream in(std::string(UINST_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A page that can take part or not.
class TProbePage : public TInstallerPage {
public:
    static inline bool Available = true;
    TProbePage() : TInstallerPage(u"TInstallerPageProbe") {}
    bool IsAvailable() override { return Available; }
};

class TStepAction : public TInstallerAction {
public:
    static inline std::atomic<bool> Open{true};  // a test that must see the run working closes it
    void Execute() override {
        SetStatus(u"Copying step");
        SetProgress(50);
        while (!Open) Sleep(5);
    }
    void BuildSummary(TInstallerSummaryBuilder& builder) override {
        builder.SetHeader(u"Steps");
        builder.AddLine(u"One step");
    }
};

// A step that waits until the test releases it or the run is stopped.
class TSlowAction : public TInstallerAction {
public:
    static inline std::atomic<bool> Release{false};
    void Execute() override {
        SetProgress(10);
        while (!Stop && !Release) Sleep(5);
    }
    void Terminate() override { Stop = true; }

private:
    std::atomic<bool> Stop{false};
};

class TUiTestProduct : public TTestProduct {
public:
    void PopulatePages(const TInstallerPageClassProc& proc) override {
        for (auto name : {u"TInstallerPageWelcome", u"TInstallerPageProbe", u"TInstallerPageLicense",
                          u"TInstallerPageReadyToInstall", u"TNoSuchPage"})
            proc(name);
    }
};

TFiles WizardSetupFiles() {
    TFiles files = DefaultSetupFiles();
    for (auto& [name, bytes] : files)
        if (name == u"English.lng") bytes = ReadSource("demo/setup/English.lng");
    for (const char* picture : {"header.png", "header_dark.png", "wizard_light.png", "wizard_dark.png"})
        files.emplace_back(Ascii(picture), ReadSource(std::string("demo/setup/") + picture));
    return files;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (!root || !DialogMessage(root, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    RethrowWindowException();
}

template <typename P>
bool WaitFor(P predicate, DWORD ms = 10000) {
    const DWORD start = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - start > ms) return false;
        Pump();
        Sleep(5);
    }
    return true;
}

String WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return FromWide(text);
}

bool Visible(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterStandardPages();
        RegisterPageClass<TProbePage>(u"TInstallerPageProbe");
        TProbePage::Available = true;
        SetSchemeOverride(false);
        ProductInfoClass = [] {
            auto product = std::make_unique<TUiTestProduct>();
            product->Classes.push_back(ActionClassOf<TStepAction>(u"TStepAction"));
            return std::unique_ptr<TInstallerProductInfo>(std::move(product));
        };
        installer = MakeInstaller(u"", WizardSetupFiles());
    }
    void TearDown() override {
        TStepAction::Open = true;  // a test that stopped half way leaves no run waiting
        form.reset();
        installer.reset();
        ProductInfoClass = nullptr;
        SetSchemeOverride(std::nullopt);
    }
    String Common(StringView key) { return installer->Resources().GetText(u"Common", key); }
    String ActiveName() { return form->ActivePage() ? form->ActivePage()->Name() : String(); }
    void Next() { Click(form->NextButton()); }

    std::unique_ptr<TInstaller> installer;
    std::unique_ptr<TInstallerForm> form;
    std::vector<String> boxes;
    TSeamOverride<decltype(TSeams::MessageBox)> messageBox{Seams().MessageBox,
                                                           [this](HWND, const String& text, const String&, UINT flags) {
                                                               boxes.push_back(text);
                                                               return (flags & MB_OKCANCEL) ? answer : IDOK;
                                                           }};
    int answer = IDCANCEL;
};

TEST_F(WizardTest, PagesAreNamedAfterTheirClassAndUnknownClassesAreLeftOut) {
    form = std::make_unique<TInstallerForm>(96);
    auto& pages = form->Pages();
    ASSERT_EQ(pages.Count(), 6);
    const char16_t* names[] = {u"PageWelcome",        u"PageProbe",   u"PageLicense",
                               u"PageReadyToInstall", u"PageInstall", u"PageFinish"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages.Items(i)->Name(), names[i]);
        EXPECT_EQ(WindowText(pages.Items(i)->Handle()), names[i]);  // what tools see
    }
    TProbePage::Available = false;
    EXPECT_EQ(pages.GetNext(pages.Items(0)), pages.Items(2));
    EXPECT_EQ(pages.GetPrevious(pages.Items(2)), pages.Items(0));
    EXPECT_EQ(pages.GetNext(pages.Last()), nullptr);
    EXPECT_EQ(pages.GetPrevious(pages.First()), nullptr);
    EXPECT_EQ(pages.GetNext(nullptr), pages.First());
    // The strip: five segments over the bar's width.
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(form->SegmentWidth(), client.right / 5);
}

TEST_F(WizardTest, WalkFromWelcomeToFinish) {
    TProbePage::Available = false;
    form = std::make_unique<TInstallerForm>(96);
    form->Show();
    EXPECT_EQ(WindowText(form->Handle()), u"TestPlayer Setup");
    EXPECT_EQ(WindowText(form->VersionLabel()), u"5.03, 2026-12-01");

    EXPECT_EQ(ActiveName(), u"PageWelcome");
    EXPECT_FALSE(Visible(form->BackButton()));
    EXPECT_TRUE(IsWindowEnabled(form->NextButton()));
    EXPECT_EQ(WindowText(form->NextButton()), u"Next >");
    auto* welcome = static_cast<TInstallerPage*>(form->ActivePage());
    EXPECT_EQ(WindowText(welcome->FindControl(u"L1")->Handle), u"Welcome to the TestPlayer Setup");

    Next();  // the probe page is skipped
    ASSERT_EQ(ActiveName(), u"PageLicense");
    auto* licence = static_cast<TInstallerPageLicense*>(form->ActivePage());
    EXPECT_FALSE(Visible(form->BackButton()));  // no way back from the licence
    EXPECT_FALSE(IsWindowEnabled(form->NextButton()));
    EXPECT_EQ(WindowText(licence->AcceptBox()->Handle), u"I accept the terms of the license agreement");
    EXPECT_EQ(GetFocus(), licence->Viewer()->Handle);
    EXPECT_EQ(WindowText(licence->Viewer()->Handle), u"EN");
    Next();  // disabled: nothing happens
    EXPECT_EQ(ActiveName(), u"PageLicense");

    Click(licence->AcceptBox()->Handle);
    EXPECT_EQ(SendMessageW(licence->AcceptBox()->Handle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(form->NextButton()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Common(u"E6"));
    Click(licence->AcceptBox()->Handle);  // unticking asks nothing and disables Next again
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(IsWindowEnabled(form->NextButton()));
    Click(licence->AcceptBox()->Handle);
    EXPECT_EQ(boxes.size(), 2u);

    Next();
    ASSERT_EQ(ActiveName(), u"PageReadyToInstall");
    EXPECT_TRUE(Visible(form->BackButton()));
    EXPECT_EQ(WindowText(form->NextButton()), u"Install");
    auto* ready = static_cast<TInstallerPageReadyToInstall*>(form->ActivePage());
    EXPECT_EQ(WindowText(ready->Viewer()->Handle), u"Steps\r\n    One step\r\n");
    Click(form->BackButton());
    EXPECT_EQ(ActiveName(), u"PageLicense");
    Next();

    TStepAction::Open = false;
    Next();  // the run starts
    ASSERT_EQ(ActiveName(), u"PageInstall");
    TStepAction::Open = true;
    ASSERT_TRUE(WaitFor([&] { return ActiveName() == u"PageFinish"; }));
    EXPECT_EQ(installer->State(), isFinished);
    EXPECT_FALSE(Visible(form->BackButton()));
    EXPECT_EQ(WindowText(form->NextButton()), u"Finish");
    auto* finish = static_cast<TInstallerPageFinish*>(form->ActivePage());
    ASSERT_EQ(finish->ActionBoxes().size(), 2u);
    EXPECT_EQ(WindowText(finish->ActionBoxes()[0]->Handle), u"Start TestPlayer");
    EXPECT_TRUE(Visible(finish->ActionBoxes()[0]->Handle));
    EXPECT_FALSE(finish->ErrorMemo()->Visible());
    EXPECT_TRUE(installer->Settings().ReadBool(u"Actions", u"$DEST\\Player.exe", false));
    Click(finish->ActionBoxes()[1]->Handle);
    EXPECT_FALSE(installer->Settings().ReadBool(u"Actions", u"$DEST\\Readme.txt", true));
    // The install page's segment is full.
    EXPECT_EQ(form->Pages().Items(4)->GetProgress(), 100);

    // Finished: the system menu's Close is disabled and closing asks nothing.
    EXPECT_TRUE(GetMenuState(GetSystemMenu(form->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    const size_t asked = boxes.size();
    Next();
    EXPECT_TRUE(WaitFor([&] { return form->Handle() == nullptr; }));
    EXPECT_EQ(boxes.size(), asked);
    EXPECT_EQ(form->ExitCode(), 0);
}

TEST_F(WizardTest, TheCloseQuestionKeepsOrEndsTheWizard) {
    form = std::make_unique<TInstallerForm>(96);
    form->Show();
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Common(u"QM"));
    EXPECT_NE(form->Handle(), nullptr);
    answer = IDOK;
    SendMessageW(form->Handle(), WM_COMMAND, IDCANCEL, 0);  // Escape
    EXPECT_EQ(form->Handle(), nullptr);
    EXPECT_EQ(form->ExitCode(), 2);
    EXPECT_EQ(installer->State(), isIdle);
}

TEST_F(WizardTest, AnAutomaticRunShowsProgressAndClosesByItself) {
    form.reset();
    installer.reset();
    installer = MakeInstaller(u"/AUTO", WizardSetupFiles());
    form = std::make_unique<TInstallerForm>(96);
    EXPECT_EQ(form->Pages().Count(), 2);
    EXPECT_EQ(ActiveName(), u"PageInstall");
    EXPECT_EQ(form->SegmentWidth(), 0);  // two pages: no fill
    form->Show();
    ASSERT_TRUE(WaitFor([&] { return form->Handle() == nullptr; }));
    EXPECT_EQ(form->ExitCode(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WizardTest, ScalesWithTheDisplay) {
    form = std::make_unique<TInstallerForm>(96);
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT window{};
    GetWindowRect(form->Handle(), &window);
    SendMessageW(form->Handle(), 0x02E0, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&window));
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, 960);
    EXPECT_EQ(client.bottom, 720);
    RECT next{};
    GetWindowRect(form->NextButton(), &next);
    EXPECT_EQ(next.right - next.left, 181);  // 121 x 1.5, truncated
    RECT page{};
    GetWindowRect(form->ActivePage()->Handle(), &page);
    EXPECT_EQ(page.bottom - page.top, 720 - 66);  // full-screen page: down to the footer
}

TEST_F(WizardTest, CancellingARunShowsTheCancellationOnTheFinishPage) {
    form.reset();
    installer.reset();
    TSlowAction::Release = false;
    ProductInfoClass = [] {
        auto product = std::make_unique<TUiTestProduct>();
        product->Classes.push_back(ActionClassOf<TSlowAction>(u"TSlowAction"));
        return std::unique_ptr<TInstallerProductInfo>(std::move(product));
    };
    installer = MakeInstaller(u"/AUTO", WizardSetupFiles());
    form = std::make_unique<TInstallerForm>(96);
    form->Show();
    ASSERT_TRUE(WaitFor([&] { return installer->State() == isRunning; }));
    // The bars fill in the wizard's accent colour, whatever the visual style would draw.
    HWND bar = FindWindowExW(form->ActivePage()->Handle(), nullptr, PROGRESS_CLASSW, nullptr);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; }));
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT r{};
    GetClientRect(bar, &r);
    HDC dc = GetDC(bar);
    EXPECT_EQ(GetPixel(dc, 3, r.bottom / 2), WizardPalette().Accent);
    ReleaseDC(bar, dc);
    answer = IDOK;
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return ActiveName() == u"PageFinish"; }));
    EXPECT_EQ(installer->State(), isFinished);
    auto* finish = static_cast<TInstallerPageFinish*>(form->ActivePage());
    EXPECT_TRUE(finish->ErrorMemo()->Visible());
    EXPECT_NE(WindowText(finish->ErrorMemo()->Handle).find(Common(u"E4")), String::npos);
    EXPECT_FALSE(finish->ActionBoxes()[0]->Visible());
    EXPECT_EQ(form->ExitCode(), 2);
}

TEST_F(WizardTest, EscapeDuringTheRunAsksAndARunThatEndsWhileAskingIsNotCancelled) {
    form.reset();
    installer.reset();
    TProbePage::Available = false;
    TSlowAction::Release = false;
    ProductInfoClass = [] {
        auto product = std::make_unique<TUiTestProduct>();
        product->Classes.push_back(ActionClassOf<TSlowAction>(u"TSlowAction"));
        return std::unique_ptr<TInstallerProductInfo>(std::move(product));
    };
    installer = MakeInstaller(u"", WizardSetupFiles());
    form = std::make_unique<TInstallerForm>(96);
    form->Show();
    Next();
    auto* licence = static_cast<TInstallerPageLicense*>(form->ActivePage());
    Click(licence->AcceptBox()->Handle);
    Next();
    Next();
    ASSERT_EQ(ActiveName(), u"PageInstall");
    ASSERT_TRUE(WaitFor([&] { return installer->State() == isRunning; }));
    // Next is disabled while the run works: the window itself keeps the keyboard, and Escape asks.
    EXPECT_EQ(GetFocus(), form->Handle());
    const size_t asked = boxes.size();
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(WaitFor([&] { return boxes.size() == asked + 1; }));
    EXPECT_EQ(installer->State(), isRunning);

    // The run ends while the question is open and the answer is OK: nothing is left to cancel, so
    // the wizard stays on the finish page and leaves through Finish as a run that succeeded.
    TSeamOverride<decltype(TSeams::MessageBox)> askWhileTheRunEnds{
        Seams().MessageBox, [&](HWND, const String& text, const String&, UINT) {
            boxes.push_back(text);
            TSlowAction::Release = true;
            EXPECT_TRUE(WaitFor([&] { return ActiveName() == u"PageFinish"; }));
            return IDOK;
        }};
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_NE(form->Handle(), nullptr);
    EXPECT_EQ(ActiveName(), u"PageFinish");
    auto* finish = static_cast<TInstallerPageFinish*>(form->ActivePage());
    EXPECT_FALSE(finish->ErrorMemo()->Visible());
    EXPECT_TRUE(finish->ActionBoxes()[0]->Visible());
    Next();
    EXPECT_TRUE(WaitFor([&] { return form->Handle() == nullptr; }));
    EXPECT_EQ(form->ExitCode(), 0);
}

// Reads the captions of the OK, Cancel and new-folder buttons of the dialog that this thread opens
// next, and cancels the dialog.
std::vector<String> DialogCaptions;
int DialogTicks = 0;

BOOL CALLBACK ReadDialog(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    for (int id : {IDOK, IDCANCEL, 0x3746}) DialogCaptions.push_back(WindowText(GetDlgItem(window, id)));
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

BOOL CALLBACK CloseWindowOfThread(HWND window, LPARAM) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!DialogCaptions.empty()) return;
    EnumThreadWindows(GetCurrentThreadId(), ReadDialog, 0);
    if (DialogCaptions.empty() && ++DialogTicks > 100) {  // ten seconds without a dialog: give up
        KillTimer(nullptr, timer);
        EnumThreadWindows(GetCurrentThreadId(), CloseWindowOfThread, 0);
    }
}

// Runs the function (which opens a dialog) and returns the captions read from the dialog.
template <typename F>
std::vector<String> CaptionsOfTheDialogOf(F open) {
    DialogCaptions.clear();
    DialogTicks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForDialog);
    open();
    KillTimer(nullptr, timer);
    return DialogCaptions;
}

TEST(WizardDialogs, TheirButtonsSpeakTheWizardsLanguage) {
    DialogTexts() = {u"Zielordner", u"Neuer Ordner", u"Gut so", u"Lieber nicht"};
    const auto chooser = CaptionsOfTheDialogOf([] {
        String folder;
        EXPECT_FALSE(FolderChooser()(nullptr, u"C:\\windows\\", folder));  // cancelled
    });
    EXPECT_EQ(chooser, (std::vector<String>{u"Gut so", u"Lieber nicht", u"Neuer Ordner"}));
    DialogTexts() = {};

    SetMessageBoxButtonCaptions(u"Gut so", u"Lieber nicht");
    const auto question = CaptionsOfTheDialogOf(
        [] { EXPECT_EQ(ShowMessageBox(nullptr, u"Wirklich?", u"Frage", MB_OKCANCEL), IDCANCEL); });
    EXPECT_EQ(question, (std::vector<String>{u"Gut so", u"Lieber nicht", u""}));
    SetMessageBoxButtonCaptions(u"", u"");
    const auto system = CaptionsOfTheDialogOf([] { ShowMessageBox(nullptr, u"Wirklich?", u"Frage", MB_OKCANCEL); });
    ASSERT_EQ(system.size(), 3u);
    EXPECT_NE(system[0], u"Gut so");  // the system's own again
}

TEST(LanguageDialog, ListsSortedNamesPreselectsAndLeavesOnlyThroughOk) {
    TLanguageChoice choice;
    choice.Insert({u"Russian", 1049, 1, nullptr});
    choice.Insert({u"English", 1033, 0, nullptr});
    choice.Insert({u"german", 1031, 2, nullptr});
    TInstallerLanguageDialog dialog(choice, 2);
    EXPECT_EQ(WindowText(dialog.Handle()), u"Select Language");
    EXPECT_EQ(SendMessageW(dialog.Combo(), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(dialog.SelectedIndex(), 2);
    EXPECT_TRUE(GetWindowLongW(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT client{};
    GetClientRect(dialog.Handle(), &client);
    EXPECT_EQ(client.right, 220);
    // Close and Escape do not leave it; OK does, with the selection of that moment.
    PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    PostMessageW(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog.Combo(), CB_SETCURSEL, 0, 0);
    PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.ShowModal(), 0);
}

TEST(LanguageDialog, IconsOfLanguageFilesAreReadAndDamagedOnesRefused) {
    TORLIniFile ini;
    const std::string text = ReadSource("demo/setup/English.lng");
    TMemoryStream stream(text.data(), text.size());
    ini.LoadFromStream(stream);
    TMemoryStream icon;
    TORLLanguageInfo info;
    ReadLanguageInfo(ini, info, &icon);
    ASSERT_GT(icon.Size(), 22);
    EXPECT_TRUE(LoadIconFromBytes(icon.Memory(), static_cast<size_t>(icon.Size())));
    std::vector<uint8_t> cut(icon.Memory(), icon.Memory() + 30);  // directory intact, image cut off
    EXPECT_FALSE(LoadIconFromBytes(cut.data(), cut.size()));
    std::vector<uint8_t> wild(icon.Memory(), icon.Memory() + icon.Size());
    wild[6 + 12] = 0xFF;  // offset far outside
    EXPECT_FALSE(LoadIconFromBytes(wild.data(), wild.size()));
    EXPECT_FALSE(LoadIconFromBytes(nullptr, 0));
}

}  // namespace
}  // namespace uinst
