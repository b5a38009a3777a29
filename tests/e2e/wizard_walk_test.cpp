// The real setup program with its wizard, driven from this process as a person would use it:
// language dialog, every page, typing the folder, ticking boxes; then the files, the exit code and
// the program started from the finish page. Also a run cancelled through the close question.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "base/paths.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/wizard_e2e_support.h"
#include "ui/testing/wizard_driver.h"

namespace uinst::e2e {
namespace {

using testing::TWizardDriver;

TEST(WizardWalk, InteractiveInstallationFromTheLanguageDialogToTheFinishPage) {
    ForgetInstallation();
    TTempFolder folder(u"e2e wizard walk");
    const String dest = folder.Path() + u"ORVO";
    TSetupProcess setup(u"/SUPPRESSMSGBOXES");
    ChooseLanguage(setup, u"English");

    HWND wizard = TWizardDriver::FindWizard(setup.Id());
    ASSERT_NE(wizard, nullptr);
    TWizardDriver d(wizard);
    ASSERT_TRUE(d.WaitForPage(u"PageWelcome"));
    Shot(d, "install_1_welcome");
    EXPECT_EQ(TWizardDriver::Text(wizard), u"ORVO Setup");
    EXPECT_FALSE(TWizardDriver::Visible(d.BackButton()));
    TWizardDriver::Click(d.NextButton());

    ASSERT_TRUE(d.WaitForPage(u"PageLicense"));
    EXPECT_FALSE(TWizardDriver::Visible(d.BackButton()));
    EXPECT_FALSE(TWizardDriver::Enabled(d.NextButton()));
    HWND accept = d.Control(u"I accept the terms of the license agreement");
    ASSERT_NE(accept, nullptr);
    TWizardDriver::Click(accept);
    EXPECT_TRUE(TWizardDriver::Checked(accept));
    EXPECT_TRUE(TWizardDriver::Enabled(d.NextButton()));
    TWizardDriver::Click(d.NextButton());

    ASSERT_TRUE(d.WaitForPage(u"PageSetup"));
    HWND edit = d.ControlOfClass(L"Edit");
    ASSERT_NE(edit, nullptr);
    TWizardDriver::Type(edit, dest);
    EXPECT_EQ(TWizardDriver::Text(edit), dest);
    EXPECT_TRUE(TWizardDriver::Checked(d.Control(u"Normal installation (every user keeps their own settings)")));
    EXPECT_FALSE(TWizardDriver::Visible(d.Control(u"Update the installed copy of ORVO")));
    TWizardDriver::Click(d.NextButton());

    ASSERT_TRUE(d.WaitForPage(u"PageIntegration"));
    int ticked = 0;
    for (HWND c : d.Controls())
        if (TWizardDriver::Checked(c)) ++ticked;
    EXPECT_EQ(ticked, 5);
    TWizardDriver::Click(d.NextButton());

    ASSERT_TRUE(d.WaitForPage(u"PageReadyToInstall"));
    EXPECT_EQ(TWizardDriver::Text(d.NextButton()), u"Install");
    TWizardDriver::Click(d.NextButton());

    ASSERT_TRUE(d.WaitForPage(u"PageFinish", 60000));
    EXPECT_EQ(TWizardDriver::Text(d.NextButton()), u"Finish");
    HWND run = d.Control(u"Start ORVO");
    HWND readme = d.Control(u"Show the Readme file");
    ASSERT_TRUE(run && readme);
    EXPECT_TRUE(TWizardDriver::Visible(run) && TWizardDriver::Checked(run));
    TWizardDriver::Click(readme);
    EXPECT_FALSE(TWizardDriver::Checked(readme));
    TWizardDriver::Click(d.NextButton());
    EXPECT_EQ(setup.Wait(), 0u);

    EXPECT_TRUE(FileExists(dest + u"\\ORVO.exe"));
    EXPECT_TRUE(FileExists(dest + u"\\Uninstall.exe"));
    // The ticked entry started: the player's window appears.
    HWND player = nullptr;
    const DWORD start = GetTickCount();
    while (!(player = FindWindowW(L"TORVOMainForm", nullptr)) && GetTickCount() - start < 15000)
        TWizardDriver::Pump(50);
    EXPECT_NE(player, nullptr);
    if (player) PostMessageW(player, WM_CLOSE, 0, 0);
    ForgetInstallation();
}

TEST(WizardWalk, ClosingBeforeTheRunAsksAndEndsWithExitCodeTwo) {
    TSetupProcess setup(u"");
    ChooseLanguage(setup, u"English");
    HWND wizard = TWizardDriver::FindWizard(setup.Id());
    ASSERT_NE(wizard, nullptr);
    TWizardDriver d(wizard);
    ASSERT_TRUE(d.WaitForPage(u"PageWelcome"));
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    // The question is a message box of the setup program; OK confirms.
    HWND box = nullptr;
    const DWORD start = GetTickCount();
    while (!(box = FindWindowW(L"#32770", L"ORVO Setup")) && GetTickCount() - start < 10000) TWizardDriver::Pump(20);
    ASSERT_NE(box, nullptr);
    TWizardDriver::Click(GetDlgItem(box, IDOK));
    EXPECT_EQ(setup.Wait(), 2u);
}

TEST(WizardWalk, AnAutomaticRunWithAWindowClosesByItself) {
    ForgetInstallation();
    TTempFolder folder(u"e2e wizard auto");
    const TRunResult run = RunSetup(u"/AUTO \"" + folder.Path() + u"ORVO\"");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(FileExists(folder.Path() + u"ORVO\\ORVO.exe"));
    EXPECT_TRUE(Contains(run.Log, u"The run succeeded"));
    ForgetInstallation();
}

TEST(WizardWalk, InteractiveRemovalTakesTheChosenOptionsAlong) {
    ForgetInstallation();
    TTempFolder folder(u"e2e wizard removal");
    const String dest = folder.Path() + u"ORVO\\";
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest + u"\" /SILENT").ExitCode, 0u);
    ASSERT_TRUE(FileExists(dest + u"Uninstall.exe"));

    // The uninstaller moves to the temporary folder and shows its wizard from there.
    ASSERT_TRUE(StartProcess(u"\"" + dest + u"Uninstall.exe\""));
    HWND dialog = TWizardDriver::FindLanguageDialog(0, 30000);
    ASSERT_NE(dialog, nullptr);
    TWizardDriver::Click(GetDlgItem(dialog, IDOK));
    HWND wizard = TWizardDriver::FindWizard(0, 30000);
    ASSERT_NE(wizard, nullptr);
    TWizardDriver d(wizard);
    ASSERT_TRUE(d.WaitForPage(u"PageUninstallParams"));
    HWND backups = d.Control(u"Also remove the backups of earlier versions");
    HWND content = d.Control(u"Also remove my settings, playlists and library data");
    ASSERT_TRUE(backups && content);
    EXPECT_FALSE(TWizardDriver::Checked(backups));
    EXPECT_FALSE(TWizardDriver::Checked(content));
    TWizardDriver::Click(backups);
    TWizardDriver::Click(content);
    EXPECT_EQ(TWizardDriver::Text(d.NextButton()), u"Uninstall");
    TWizardDriver::Click(d.NextButton());
    ASSERT_TRUE(d.WaitForPage(u"PageUninstallFinish", 60000));
    TWizardDriver::Click(d.NextButton());
    EXPECT_TRUE(d.WaitUntilClosed());
    // Both boxes ticked: the whole folder goes, settings included.
    const DWORD start = GetTickCount();
    while (FileExists(dest + u"ORVO.ini") && GetTickCount() - start < 10000) TWizardDriver::Pump(50);
    EXPECT_FALSE(FileExists(dest + u"ORVO.exe"));
    EXPECT_FALSE(FileExists(dest + u"ORVO.ini"));
    ForgetInstallation();
}

}  // namespace
}  // namespace uinst::e2e
