// The ORVO wizard in this process with the demo's setup package: every page walked as a person
// would (clicks, typing, boxes), checked through window texts and BM_GETCHECK, and saved as PNG in
// the build tree (screenshots/) in the light and the dark scheme at 96 and 144 DPI.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>

#include "base/paths.h"
#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/language_choice.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/seams.h"
#include "product/pages/option_pages.h"
#include "product/product_info_orvo.h"
#include "ui/dialogs/folder_chooser.h"
#include "ui/dialogs/language_dialog.h"
#include "ui/controls/formatted_label.h"
#include "ui/controls/rich_viewer.h"
#include "ui/form.h"
#include "ui/palette.h"
#include "ui/testing/wizard_driver.h"
#include "ui/wizard.h"

namespace uinst {
namespace {

using namespace test;
using testing::TWizardDriver;

String WindowsPath(const char* unixPath) {
    String path = u"Z:" + Utf8ToString(unixPath);
    for (auto& c : path)
        if (c == u'/') c = u'\\';
    return path;
}

TFiles DemoSetupFiles() {
    TFiles files;
    const String folder = WindowsPath(UINST_SOURCE_DIR) + u"\\demo\\setup\\";
    for (const String& path : ListFiles(folder)) {
        const auto bytes = ReadFileBytes(path);
        files.emplace_back(ExtractFileName(path), std::string(bytes.begin(), bytes.end()));
    }
    return files;
}

// The run itself is a stand-in: one step that waits for the test, and fails when asked. The
// summary is the product's own.
std::atomic<bool> Proceed{true};
std::atomic<bool> FailRun{false};

class TStandInRun : public TInstallerAction {
public:
    void Execute() override {
        SetStatus(GetCommonText(u"A4"));
        SetProgress(40);
        while (!Proceed) Sleep(5);
        if (FailRun) throw EInstallerInstallError(u"The file \"C:\\Program Files\\ORVO\\ORVO.exe\" is locked.");
    }
};

class TWalkProduct : public TProductInfoORVO {
public:
    void PopulateActions(const TInstallerActionClassProc& proc) override {
        if (Installer->State() == isRunning)
            proc(ActionClassOf<TStandInRun>(u"TStandInRun"));
        else
            TProductInfoORVO::PopulateActions(proc);
    }
};

struct TLook {
    bool Dark;
    UINT Dpi;
};

class WizardWalk : public ::testing::TestWithParam<TLook> {
protected:
    void SetUp() override {
        RegisterStandardPages();
        RegisterProductPages();
        SetSchemeOverride(GetParam().Dark);
        ProductInfoClass = [] { return std::unique_ptr<TInstallerProductInfo>(std::make_unique<TWalkProduct>()); };
        Proceed = true;
        FailRun = false;
        shots = WindowsPath(UINST_BINARY_DIR) + u"\\screenshots\\";
        CreateDirectoryW(WidePtr(shots), nullptr);
    }
    void TearDown() override {
        form.reset();
        installer.reset();
        ProductInfoClass = nullptr;
        SetSchemeOverride(std::nullopt);
    }
    void Start(const String& commandLine, const TFiles& product = {}, const String& language = u"English.lng") {
        installer = MakeInstaller(commandLine, DemoSetupFiles(), product);
        installer->Resources().LoadLanguageFile(language);
    }
    void Open() {
        form = std::make_unique<TInstallerForm>(GetParam().Dpi);
        form->Show();
        driver = std::make_unique<TWizardDriver>(form->Handle());
    }
    void Shot(const char* name) {
        const String suffix =
            Ascii(std::string("_") + (GetParam().Dark ? "dark" : "light") + "_" + std::to_string(GetParam().Dpi));
        driver->Screenshot(shots + Ascii(name) + suffix + u".png");
    }
    void Next() { TWizardDriver::Click(driver->NextButton()); }
    String Page() { return driver->ActivePageName(); }

    String shots;
    TTempFolder temp;
    std::unique_ptr<TInstaller> installer;
    std::unique_ptr<TInstallerForm> form;
    std::unique_ptr<TWizardDriver> driver;
    std::vector<String> boxes;
    std::vector<String> opened;
    TSeamOverride<decltype(TSeams::ShellOpen)> shell{Seams().ShellOpen, [this](const TShellRequest& request) {
                                                         opened.push_back(request.File);
                                                         return true;
                                                     }};
    TSeamOverride<decltype(TSeams::MessageBox)> messageBox{Seams().MessageBox,
                                                           [this](HWND, const String& text, const String&, UINT flags) {
                                                               boxes.push_back(text);
                                                               return (flags & MB_OKCANCEL) ? IDCANCEL : IDOK;
                                                           }};
};

TEST_P(WizardWalk, InstallationFromWelcomeToFinish) {
    Start(u"");
    const String fresh = temp.Path() + u"Fresh\\ORVO";
    const String older = temp.Path() + u"Older\\";
    CreateDirectoryW(WidePtr(older), nullptr);
    const std::string config = "[System]\r\nVersion=4600\r\n";
    WriteFileBytes(older + u"ORVO.ini", config.data(), config.size());
    installer->SetDestPath(fresh);
    Open();

    ASSERT_EQ(Page(), u"PageWelcome");
    EXPECT_EQ(TWizardDriver::Text(form->Handle()), u"ORVO Setup");
    EXPECT_FALSE(TWizardDriver::Visible(driver->BackButton()));
    Shot("1_welcome");
    Next();

    ASSERT_EQ(Page(), u"PageLicense");
    HWND accept = driver->Control(u"I accept the terms of the license agreement");
    ASSERT_NE(accept, nullptr);
    EXPECT_FALSE(TWizardDriver::Enabled(driver->NextButton()));
    EXPECT_FALSE(TWizardDriver::Visible(driver->BackButton()));
    HWND viewer = driver->ControlOfClass(L"RICHEDIT20W");
    ASSERT_NE(viewer, nullptr);
    const String licence = TWizardDriver::Text(viewer);
    EXPECT_NE(licence.find(u"ORVO Demo Release"), String::npos);
    EXPECT_EQ(licence.find(u"\\rtf"), String::npos);
    Shot("2_license");
    // The address in the licence is a link: a click hands it to the shell.
    const size_t address = licence.find(u"https://orvo.example.org/");
    ASSERT_NE(address, String::npos);
    POINTL at{};
    SendMessageW(viewer, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), static_cast<LPARAM>(address + 9));
    SendMessageW(viewer, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x + 1, at.y + 3));
    SendMessageW(viewer, WM_LBUTTONUP, 0, MAKELPARAM(at.x + 1, at.y + 3));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], u"https://orvo.example.org/");
    TWizardDriver::Click(accept);
    EXPECT_TRUE(TWizardDriver::Checked(accept));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(TWizardDriver::Enabled(driver->NextButton()));
    Next();

    ASSERT_EQ(Page(), u"PageSetup");
    HWND edit = driver->ControlOfClass(L"Edit");
    HWND update = driver->Control(u"Update the installed copy of ORVO");
    HWND backup = driver->Control(u"Back up the files that will be replaced");
    HWND portable = driver->Control(u"Portable installation");
    HWND normal = driver->Control(u"Normal installation (every user keeps their own settings)");
    ASSERT_TRUE(edit && update && backup && portable && normal);
    EXPECT_EQ(TWizardDriver::Text(edit), fresh + u"\\");
    EXPECT_FALSE(TWizardDriver::Visible(update));
    EXPECT_FALSE(TWizardDriver::Visible(backup));
    EXPECT_TRUE(TWizardDriver::Checked(normal));
    EXPECT_FALSE(TWizardDriver::Checked(portable));
    Shot("3_setup");

    // Typed character by character: every keystroke re-evaluates, the text stays as typed.
    TWizardDriver::Type(edit, older.substr(0, older.size() - 1));
    EXPECT_EQ(TWizardDriver::Text(edit), older.substr(0, older.size() - 1));
    EXPECT_EQ(installer->DestPath(), older);
    EXPECT_TRUE(TWizardDriver::Visible(update));
    EXPECT_TRUE(TWizardDriver::Checked(update));
    EXPECT_TRUE(TWizardDriver::Visible(backup));
    EXPECT_TRUE(TWizardDriver::Checked(backup));
    EXPECT_FALSE(TWizardDriver::Enabled(portable));
    EXPECT_NE(driver->Control(u"The copy of ORVO in this folder will be updated. Your settings, skins and plug-ins "
                              u"are kept."),
              nullptr);
    Shot("3_setup_update");
    // An update skips the integration page (and comes back past it).
    Next();
    EXPECT_EQ(Page(), u"PageReadyToInstall");
    TWizardDriver::Click(driver->BackButton());
    ASSERT_EQ(Page(), u"PageSetup");
    TWizardDriver::Click(update);  // no update: another copy is in the folder
    EXPECT_FALSE(installer->HasOption(ioUpdate));
    EXPECT_TRUE(TWizardDriver::Enabled(portable));
    EXPECT_NE(driver->Control(u"Another copy of ORVO is already installed on this computer."), nullptr);
    Shot("3_setup_other");

    // Portable in a program-files folder moves to the portable folder, and back.
    TWizardDriver::Type(edit, installer->Resources().ProgramFilesFolder() + u"ORVO");
    TWizardDriver::Click(portable);
    EXPECT_EQ(installer->DestPath(), installer->ProductInfo().GetPortablePath());
    EXPECT_EQ(TWizardDriver::Text(edit), installer->ProductInfo().GetPortablePath());
    EXPECT_TRUE(TWizardDriver::Checked(portable));
    EXPECT_TRUE(installer->HasOption(ioPortable));
    TWizardDriver::Click(normal);
    EXPECT_EQ(installer->DestPath(), installer->ProductInfo().GetDefaultPath());
    EXPECT_FALSE(installer->HasOption(ioPortable));

    // Browse: the product's name is added unless the folder already ends with it.
    TSeamOverride<TFolderChooser> chooser(FolderChooser(), [&](HWND, const String&, String& folder) {
        folder = temp.Path() + u"Music\\";
        return true;
    });
    TWizardDriver::Click(driver->Control(u"Browse..."));
    EXPECT_EQ(installer->DestPath(), temp.Path() + u"Music\\ORVO\\");
    TWizardDriver::Type(edit, u"");
    EXPECT_FALSE(TWizardDriver::Enabled(driver->NextButton()));
    TWizardDriver::Type(edit, fresh);
    EXPECT_TRUE(TWizardDriver::Enabled(driver->NextButton()));
    Next();

    ASSERT_EQ(Page(), u"PageIntegration");  // no add-ons page in English
    std::vector<HWND> integration;
    for (HWND c : driver->Controls())
        if (GetWindowLongW(c, GWL_STYLE) & BS_AUTOCHECKBOX) integration.push_back(c);
    for (auto caption : {u"Create a shortcut on the desktop", u"Create a shortcut in the Start menu",
                         u"Make ORVO the player for audio files", u"Integrate ORVO into Windows",
                         u"Add ORVO commands to the context menu of files and folders"})
        EXPECT_TRUE(TWizardDriver::Checked(driver->Control(caption))) << StringToUtf8(caption);
    Shot("4_integration");
    TWizardDriver::Click(driver->Control(u"Add ORVO commands to the context menu of files and folders"));
    EXPECT_FALSE(installer->Settings().ReadBool(u"Integration", u"RegisterContextMenu", true));
    EXPECT_TRUE(installer->Settings().ReadBool(u"Integration", u"ShortcutDesktop", false));
    Next();

    ASSERT_EQ(Page(), u"PageReadyToInstall");
    EXPECT_EQ(TWizardDriver::Text(driver->NextButton()), u"Install");
    EXPECT_NE(TWizardDriver::Text(driver->ControlOfClass(L"RichEdit20W")).find(fresh), String::npos);
    Shot("5_ready");

    Proceed = false;
    Next();
    ASSERT_EQ(Page(), u"PageInstall");
    ASSERT_TRUE(driver->WaitForPage(u"PageInstall"));
    const DWORD start = GetTickCount();
    while ((TWizardDriver::Text(driver->Controls().back()) != u"Copying the files of ORVO..." ||
            SendMessageW(driver->ControlOfClass(PROGRESS_CLASSW), PBM_GETPOS, 0, 0) == 0) &&
           GetTickCount() - start < 10000)
        TWizardDriver::Pump(10);
    EXPECT_FALSE(TWizardDriver::Enabled(driver->NextButton()));
    Shot("6_progress");
    Proceed = true;
    ASSERT_TRUE(driver->WaitForPage(u"PageFinish"));
    EXPECT_EQ(TWizardDriver::Text(driver->NextButton()), u"Finish");
    HWND run = driver->Control(u"Start ORVO");
    HWND readme = driver->Control(u"Show the Readme file");
    ASSERT_TRUE(run && readme);
    EXPECT_TRUE(TWizardDriver::Checked(run) && TWizardDriver::Visible(run));
    HWND link = driver->Control(u"Visit the ORVO website");
    ASSERT_NE(link, nullptr);
    // The keyboard reaches the run entries, then the link, which Enter opens, then Finish.
    SetFocus(run);
    TWizardDriver::PressKey(GetFocus(), VK_TAB);
    EXPECT_EQ(GetFocus(), readme);
    TWizardDriver::PressKey(GetFocus(), VK_TAB);
    EXPECT_EQ(GetFocus(), link);
    const size_t openedBefore = opened.size();
    TWizardDriver::PressKey(GetFocus(), VK_RETURN);
    ASSERT_EQ(opened.size(), openedBefore + 1);
    EXPECT_EQ(opened.back(), installer->ProductInfo().GetHomePage());
    EXPECT_TRUE(driver->Alive());  // Enter on the link does not press Finish
    TWizardDriver::PressKey(GetFocus(), VK_TAB);
    EXPECT_EQ(GetFocus(), driver->NextButton());
    Shot("7_finish");
    TWizardDriver::Click(readme);
    EXPECT_FALSE(installer->Settings().ReadBool(u"Actions", u"$DEST\\Readme.txt", true));
    Next();
    EXPECT_TRUE(driver->WaitUntilClosed());
    EXPECT_EQ(form->ExitCode(), 0);
}

TEST_P(WizardWalk, AFailedRunShowsTheErrorsAndNoProgramsToStart) {
    Start(u"/AUTO=\"" + temp.Path() + u"ORVO\"");
    FailRun = true;
    Open();
    ASSERT_TRUE(driver->WaitForPage(u"PageFinish"));
    EXPECT_NE(driver->Control(u"Setup did not finish"), nullptr);
    EXPECT_FALSE(TWizardDriver::Visible(driver->Control(u"Start ORVO")));
    HWND memo = driver->ControlOfClass(L"Edit");
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(TWizardDriver::Visible(memo));
    EXPECT_NE(TWizardDriver::Text(memo).find(u"is locked"), String::npos);
    Shot("7_finish_error");
    EXPECT_EQ(form->ExitCode(), 1);
}

TEST_P(WizardWalk, RussianAddsTheAddonsPage) {
    Start(u"", {}, u"Russian.lng");
    installer->SetDestPath(temp.Path() + u"ORVO");
    Open();
    Next();
    TWizardDriver::Click(driver->ControlOfClass(L"Button"));  // the acceptance box
    Next();
    ASSERT_EQ(Page(), u"PageSetup");
    Next();
    ASSERT_EQ(Page(), u"PageAddons");
    int boxesTicked = 0;
    for (HWND c : driver->Controls())
        if (TWizardDriver::Checked(c)) ++boxesTicked;
    EXPECT_EQ(boxesTicked, 3);
    EXPECT_TRUE(installer->Settings().ReadBool(u"Common", u"AddonsViewer", false));
    // The formatted labels: their window text is the caption without markup, the package name is
    // bold, the publisher's address is a link.
    HWND first = driver->ControlOfClass(L"uinst.TORLFormattedLabel", 0);
    HWND second = driver->ControlOfClass(L"uinst.TORLFormattedLabel", 1);
    ASSERT_TRUE(first && second);
    EXPECT_NE(TWizardDriver::Text(first).find(
                  u"ORVO Extras \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u044f\u0442\u0441\u044f"),
              String::npos);
    EXPECT_EQ(TWizardDriver::Text(first).find(u"[B]"), String::npos);
    auto* label = TORLFormattedLabel::FromHandle(first);
    ASSERT_NE(label, nullptr);
    bool bold = false;
    for (const auto& token : label->Layout().Tokens())
        if (label->Layout().TokenText(token) == u"Extras") bold = (token.Style & msBold) != 0;
    EXPECT_TRUE(bold);
    auto* links = TORLFormattedLabel::FromHandle(second);
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(links->LineCount(), 2);
    const RECT link = links->LinkRect(0);
    ASSERT_LT(link.left, link.right);
    const LPARAM at = MAKELPARAM((link.left + link.right) / 2, (link.top + link.bottom) / 2);
    SendMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(second, WM_LBUTTONUP, 0, at);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], u"https://orvo.example.org/extras/");
    Shot("4_addons_ru");
}

TEST_P(WizardWalk, RemovalOptionsProgressAndFinish) {
    Start(u"", {{u"Uninstall.ini", ""}});
    installer->SetDestPath(temp.Path());
    Open();
    ASSERT_EQ(Page(), u"PageUninstallParams");
    EXPECT_EQ(TWizardDriver::Text(driver->NextButton()), u"Uninstall");
    HWND backups = driver->Control(u"Also remove the backups of earlier versions");
    HWND content = driver->Control(u"Also remove my settings, playlists and library data");
    ASSERT_TRUE(backups && content);
    EXPECT_FALSE(TWizardDriver::Checked(backups));
    EXPECT_FALSE(TWizardDriver::Checked(content));
    TWizardDriver::Click(backups);
    EXPECT_TRUE(installer->Settings().ReadBool(u"Common", u"RemoveBackups", false));
    Shot("8_uninstall_options");
    Proceed = false;
    Next();
    ASSERT_EQ(Page(), u"PageUninstall");
    Shot("9_uninstall_progress");
    Proceed = true;
    ASSERT_TRUE(driver->WaitForPage(u"PageUninstallFinish"));
    EXPECT_NE(driver->Control(u"ORVO has been removed"), nullptr);
    Shot("9_uninstall_finish");
}

TEST_P(WizardWalk, LanguageDialog) {
    Start(u"");
    const TLanguageChoice choice = TLanguageChoice::FromResources(installer->Resources());
    ASSERT_EQ(choice.Items().size(), 3u);
    EXPECT_EQ(choice.Items()[0].Name, u"Deutsch");
    TInstallerLanguageDialog dialog(choice, choice.SelectDefault(1049), GetParam().Dpi);
    EXPECT_EQ(dialog.SelectedIndex(), 2);  // Deutsch, English, Russian: the Russian interface's
    ShowWindow(dialog.Handle(), SW_SHOWNA);
    TWizardDriver(dialog.Handle())
        .Screenshot(shots + u"0_language_" + (GetParam().Dark ? u"dark" : u"light") + u"_" +
                    Ascii(std::to_string(GetParam().Dpi)) + u".png");
}

TEST_P(WizardWalk, TheKeyboardReachesEveryControl) {
    Start(u"");
    installer->SetDestPath(temp.Path() + u"ORVO");
    Open();
    SetForegroundWindow(form->Handle());
    ASSERT_EQ(GetFocus(), driver->NextButton());
    TWizardDriver::PressKey(GetFocus(), VK_RETURN);  // Enter presses Next
    ASSERT_EQ(Page(), u"PageLicense");
    HWND viewer = driver->ControlOfClass(L"RichEdit20W");
    EXPECT_EQ(GetFocus(), viewer);
    // Escape in the viewer asks the close question of the wizard (the answer here is Cancel); the
    // page stays as it was.
    TWizardDriver::PressKey(GetFocus(), VK_ESCAPE);
    EXPECT_EQ(boxes.size(), 1u);
    ASSERT_EQ(Page(), u"PageLicense");
    EXPECT_TRUE(IsWindowVisible(viewer));
    TWizardDriver::PressKey(GetFocus(), VK_TAB);
    HWND accept = driver->Control(u"I accept the terms of the license agreement");
    EXPECT_EQ(GetFocus(), accept);                  // Tab leaves the licence viewer
    TWizardDriver::PressKey(GetFocus(), VK_SPACE);  // Space ticks the box
    EXPECT_TRUE(TWizardDriver::Checked(accept));
    EXPECT_TRUE(TWizardDriver::Enabled(driver->NextButton()));
    SetFocus(viewer);
    TWizardDriver::PressKey(GetFocus(), VK_RETURN);  // Enter in the viewer presses Next too
    ASSERT_EQ(Page(), u"PageSetup");
    const String folder = TWizardDriver::Text(driver->ControlOfClass(L"Edit"));
    HWND normal = driver->Control(u"Normal installation (every user keeps their own settings)");
    ASSERT_TRUE(TWizardDriver::Checked(normal));
    // Tab walks the page's controls and the footer's buttons in order, and comes round again;
    // passing the installation type chooses nothing.
    std::vector<HWND> visited;
    for (int i = 0; i < 12; ++i) {
        TWizardDriver::PressKey(GetFocus(), VK_TAB);
        visited.push_back(GetFocus());
    }
    auto seen = [&](HWND h) { return std::find(visited.begin(), visited.end(), h) != visited.end(); };
    EXPECT_TRUE(seen(driver->ControlOfClass(L"Edit")));
    EXPECT_TRUE(seen(driver->Control(u"Browse...")));
    EXPECT_TRUE(seen(driver->NextButton()));
    EXPECT_TRUE(seen(driver->BackButton()));
    EXPECT_TRUE(seen(normal));
    EXPECT_TRUE(TWizardDriver::Checked(normal));
    EXPECT_FALSE(Installer->HasOption(ioPortable));
    EXPECT_EQ(TWizardDriver::Text(driver->ControlOfClass(L"Edit")), folder);
    // Escape asks the close question; the answer here is Cancel.
    const size_t asked = boxes.size();
    TWizardDriver::PressKey(GetFocus(), VK_ESCAPE);
    EXPECT_EQ(boxes.size(), asked + 1);
    EXPECT_TRUE(driver->Alive());
}

// The scheme from the registry at start, and a switch while the wizard is open.
class SchemeSwitch : public WizardWalk {};

TEST_P(SchemeSwitch, TheBroadcastRecoloursTheOpenWizard) {
    SetSchemeOverride(std::nullopt);
    const String personalize = u"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    TRegistryKey::Create(HKEY_CURRENT_USER, personalize).WriteDWord(u"AppsUseLightTheme", 0);
    Start(u"");
    installer->SetDestPath(temp.Path() + u"ORVO");
    Open();
    EXPECT_TRUE(WizardPalette().Dark);
    EXPECT_EQ(WizardPalette().Background, RGB(0x26, 0x26, 0x26));
    EXPECT_EQ(WizardPalette().Accent, RGB(0xAC, 0x67, 0x1C));
    EXPECT_EQ(WizardPalette().Text, RGB(0xFF, 0xFF, 0xFF));
    driver->Screenshot(shots + u"switch_1_welcome_dark.png");
    Next();
    ASSERT_EQ(Page(), u"PageLicense");
    driver->Screenshot(shots + u"switch_2_license_dark.png");
    // The viewer's background as it is now (setting a colour answers the one before).
    auto viewerBackground = [&] {
        HWND viewer = driver->ControlOfClass(L"RICHEDIT20W");
        const auto current = static_cast<COLORREF>(SendMessageW(viewer, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3)));
        SendMessageW(viewer, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(current));
        return current;
    };
    EXPECT_EQ(viewerBackground(), RGB(0x2F, 0x2F, 0x2F));

    TRegistryKey::Create(HKEY_CURRENT_USER, personalize).DeleteValue(u"AppsUseLightTheme");
    ValidateRect(form->Handle(), nullptr);
    SendMessageW(form->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_FALSE(WizardPalette().Dark);
    EXPECT_EQ(WizardPalette().Background, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(WizardPalette().Accent, RGB(0xDE, 0x8C, 0x33));
    EXPECT_EQ(WizardPalette().Text, RGB(0x00, 0x00, 0x00));
    EXPECT_EQ(WizardPalette().EditContent, RGB(0xFA, 0xFA, 0xFA));
    RECT dirty{};
    EXPECT_TRUE(GetUpdateRect(form->Handle(), &dirty, FALSE));  // a repaint is due
    EXPECT_EQ(viewerBackground(), RGB(0xFA, 0xFA, 0xFA));
    driver->Screenshot(shots + u"switch_3_license_light.png");
    // Another setting changes nothing.
    SendMessageW(form->Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    EXPECT_FALSE(WizardPalette().Dark);
}

INSTANTIATE_TEST_SUITE_P(Registry, SchemeSwitch, ::testing::Values(TLook{false, 96}),
                         [](const auto&) { return std::string("Light96"); });

INSTANTIATE_TEST_SUITE_P(Looks, WizardWalk,
                         ::testing::Values(TLook{false, 96}, TLook{true, 96}, TLook{false, 144}, TLook{true, 144}),
                         [](const auto& info) {
                             return std::string(info.param.Dark ? "Dark" : "Light") + std::to_string(info.param.Dpi);
                         });

}  // namespace
}  // namespace uinst
