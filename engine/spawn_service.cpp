#include "engine/spawn_service.h"

#include <memory>

#include "base/errors.h"
#include "platform/message_window.h"
#include "platform/seams.h"

namespace uinst {

namespace {
HWND gWindow = nullptr;
bool gOwned = false;
UINT gToken = 0;
std::unique_ptr<TMessageWindow> gOwnWindow;

void OpenCommand(const String& command) {
    Seams().ShellOpen({u"open", command, String(), String()});
}
}  // namespace

void TInstallerSpawnService::Initialize(HWND handle) {
    if (gWindow) throw Exception(u"SpawnService is already initialized");
    if (handle) {
        gWindow = handle;
        gOwned = false;
    } else {
        gOwnWindow = std::make_unique<TMessageWindow>(
            u"TInstallerSpawnService", [](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                String command;
                if (message == WM_COPYDATA &&
                    ReadRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam), gToken, command))
                    OpenCommand(command);
                return std::nullopt;  // every message also reaches the default procedure
            });
        gWindow = gOwnWindow->Handle();
        gOwned = true;
    }
    gToken = RegisterWindowMessageW(L"SpawnToken");
}

void TInstallerSpawnService::Run(const String& commandLine) {
    if (!gWindow || gOwned) {
        if (IsWindowsVistaOrLater())
            Seams().ShellOpen({u"open", u"explorer.exe", commandLine, String()});  // not elevated
        else
            OpenCommand(commandLine);
        return;
    }
    COPYDATASTRUCT request = MakeRequest(commandLine, gToken);
    SendMessageW(gWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request));
}

void TInstallerSpawnService::Finalize() {
    gOwnWindow.reset();
    gWindow = nullptr;
    gOwned = false;
}

HWND TInstallerSpawnService::Handle() {
    return gWindow;
}
bool TInstallerSpawnService::Owned() {
    return gOwned;
}
UINT TInstallerSpawnService::Token() {
    return gToken;
}

COPYDATASTRUCT TInstallerSpawnService::MakeRequest(const String& commandLine, UINT token) {
    COPYDATASTRUCT data{};
    data.dwData = token;
    data.cbData = static_cast<DWORD>(commandLine.size() * sizeof(Char));
    data.lpData = const_cast<Char*>(commandLine.data());
    return data;
}

bool TInstallerSpawnService::ReadRequest(const COPYDATASTRUCT* data, UINT token, String& command) {
    if (!data || data->dwData != token) return false;
    if (data->cbData && !data->lpData) return false;
    command.assign(static_cast<const Char*>(data->lpData), data->cbData / sizeof(Char));
    return true;
}

}  // namespace uinst
