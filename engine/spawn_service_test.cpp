#include "engine/spawn_service.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "platform/message_window.h"
#include "platform/seams.h"

namespace uinst {
namespace {

TEST(SpawnService, OwnWindowOpensCommandsThatCarryTheToken) {
    std::vector<TShellRequest> opened;
    TSeamOverride shell(Seams().ShellOpen, std::function<bool(const TShellRequest&)>([&](const TShellRequest& r) {
                            opened.push_back(r);
                            return true;
                        }));
    TInstallerSpawnService::Initialize(nullptr);
    EXPECT_TRUE(TInstallerSpawnService::Owned());
    EXPECT_THROW(TInstallerSpawnService::Initialize(nullptr), Exception);
    EXPECT_EQ(TInstallerSpawnService::Token(), RegisterWindowMessageW(L"SpawnToken"));

    const String command = u"C:\\Program Files\\ORVO\\ORVO.exe";
    COPYDATASTRUCT request = TInstallerSpawnService::MakeRequest(command, TInstallerSpawnService::Token());
    SendMessageW(TInstallerSpawnService::Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request));
    COPYDATASTRUCT other = TInstallerSpawnService::MakeRequest(u"calc.exe", TInstallerSpawnService::Token() + 1);
    SendMessageW(TInstallerSpawnService::Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&other));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].Verb, u"open");
    EXPECT_EQ(opened[0].File, command);  // the whole command is the thing to open
    EXPECT_EQ(opened[0].Parameters, u"");

    // The owner of the window starts programs itself, through explorer so they are not elevated.
    TInstallerSpawnService::Run(u"C:\\x.exe");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].File, u"explorer.exe");
    EXPECT_EQ(opened[1].Parameters, u"C:\\x.exe");
    TInstallerSpawnService::Finalize();
}

TEST(SpawnService, ChildSendsRequestsToTheParentWindow) {
    std::vector<String> received;
    const UINT token = RegisterWindowMessageW(L"SpawnToken");
    TMessageWindow parent(u"TestSpawnParent", [&](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        String command;
        if (message == WM_COPYDATA &&
            TInstallerSpawnService::ReadRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam), token, command))
            received.push_back(command);
        return std::nullopt;
    });
    TInstallerSpawnService::Initialize(parent.Handle());
    EXPECT_FALSE(TInstallerSpawnService::Owned());
    TInstallerSpawnService::Run(u"C:\\Player\\ORVO.exe");
    TInstallerSpawnService::Finalize();
    EXPECT_EQ(received, (std::vector<String>{u"C:\\Player\\ORVO.exe"}));
}

}  // namespace
}  // namespace uinst
