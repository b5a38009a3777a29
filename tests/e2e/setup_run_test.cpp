// The setup program as users and deployment tools start it.
#include <gtest/gtest.h>

#include <vector>

#include "base/format.h"
#include "engine/spawn_service.h"
#include "platform/files.h"
#include "platform/message_window.h"
#include "platform/process.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

TEST(SetupRun, SilentAutomaticRunSucceedsWithALog) {
    TTempFolder dest(u"e2e silent run");
    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Mode: install"));
    EXPECT_TRUE(Contains(run.Log, u"Destination: " + dest.Path()));
    EXPECT_TRUE(Contains(run.Log, u"Action started: TInstallerActionCloseApplications"));
    EXPECT_TRUE(Contains(run.Log, u"The run succeeded"));
    EXPECT_TRUE(Contains(run.Log, u"Exit code 0"));
}

TEST(SetupRun, UpdateOfAnEmptyFolderFailsWithExitCodeOne) {
    TTempFolder dest(u"e2e empty update");
    const TRunResult run = RunSetup(u"/AUTO=\"" + dest.Path() + u"\" /UPDATE");
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(Contains(run.Log, u"Error box: Cannot install update on v0.00")) << StringToUtf8(run.Log);
}

TEST(SetupRun, AnAutomaticRunWithItsWindowInstallsAndClosesByItself) {
    TTempFolder dest(u"e2e automatic with window");
    ForgetInstallation();
    const TRunResult run = RunSetup(u"/AUTO=\"" + dest.Path() + u"\"");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(FileExists(dest.Path() + u"ORVO.exe"));
    EXPECT_TRUE(FileExists(dest.Path() + u"Uninstall.exe"));
    ForgetInstallation();
}

TEST(SetupRun, ElevatedCopyAsksTheParentWindowToStartTheRunEntries) {
    // An updatable installation in the folder: with AUTO and RUN the run entries default to on.
    TTempFolder dest(u"e2e spawn");
    const std::string config = "[System]\r\nVersion=5000\r\nUserMode=1\r\n";
    WriteFileBytes(dest.Path() + u"ORVO.ini", config.data(), config.size());

    std::vector<String> requests;
    const UINT token = RegisterWindowMessageW(L"SpawnToken");
    TMessageWindow parent(u"TestSpawnParent", [&](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        String command;
        if (message == WM_COPYDATA &&
            TInstallerSpawnService::ReadRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam), token, command))
            requests.push_back(command);
        return std::nullopt;
    });
    const String handle = Utf8ToString(std::to_string(reinterpret_cast<intptr_t>(parent.Handle())));
    const TRunResult run = RunSetup(u"/SKIPUAC=" + handle + u" /AUTO \"" + dest.Path() + u"\" /SILENT /RUN");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Options: ioAuto ioUpdate ioSilent ioRun")) << StringToUtf8(run.Log);
    EXPECT_EQ(requests, (std::vector<String>{dest.Path() + u"ORVO.exe", dest.Path() + u"Readme.txt"}));
}

TEST(SetupRun, FirstActionClosesARunningPlayer) {
    TTempFolder dest(u"e2e close player");
    const TUniqueHandle player = StartTestProgram(u"\"" + BinFolder() + u"ORVO.exe\"");
    ASSERT_TRUE(player.Valid());
    HWND window = nullptr;
    for (int i = 0; i < 600 && !window; ++i) {  // the first window of a new prefix takes long
        window = FindWindowW(L"TORVOMainForm", nullptr);
        if (!window) Sleep(50);
    }
    ASSERT_NE(window, nullptr) << "the stand-in player did not open its window";

    const TRunResult run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Closing ORVO (TORVOMainForm)")) << StringToUtf8(run.Log);
    EXPECT_EQ(WaitForSingleObject(player.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(FindWindowW(L"TORVOMainForm", nullptr), nullptr);
    TerminateProcess(player.Get(), 0);
}

}  // namespace
}  // namespace uinst::e2e
