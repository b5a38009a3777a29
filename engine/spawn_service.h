#pragma once
// Starts programs with the user's ordinary rights. The unelevated first process keeps a hidden
// window; the elevated copy asks it by WM_COPYDATA (token "SpawnToken") to open a command.
#include <windows.h>

#include "base/string.h"

namespace uinst {

class TInstallerSpawnService {
public:
    // 0: create this process's own window; otherwise use the parent's window.
    static void Initialize(HWND handle);
    static void Run(const String& commandLine);
    // Program end: destroys the own window.
    static void Finalize();

    static HWND Handle();
    static bool Owned();
    static UINT Token();
    // The request record for a command: dwData = token, the characters without terminator.
    static COPYDATASTRUCT MakeRequest(const String& commandLine, UINT token);
    // Parses a WM_COPYDATA record; true with the command when it carries the token.
    static bool ReadRequest(const COPYDATASTRUCT* data, UINT token, String& command);
};

}  // namespace uinst
