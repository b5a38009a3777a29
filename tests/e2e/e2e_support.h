#pragma once
// Starting the built setup program and reading what it left behind.
#include <windows.h>

#include <string>

#include "base/string.h"
#include "platform/file_test_support.h"

namespace uinst::e2e {

struct TRunResult {
    DWORD ExitCode = 0;
    String Log;  // the /LOG file's text
};

// The folder of the test program, where the setup program and the demo's programs are built.
String BinFolder();
// Runs the program with the parameters (the log switch and /SUPPRESSMSGBOXES are added) and
// waits for it while serving sent messages; fails the test after the time limit.
TRunResult RunProgram(const String& program, const String& parameters, DWORD timeoutMs = 120000);
TRunResult RunSetup(const String& parameters, DWORD timeoutMs = 120000);
String ReadTextFile(const String& path);
using test::TTempFolder;
// Removes a folder of the system (a profile, a start-menu folder) as the product does.
void RemoveTree(const String& folder);
// The source tree as the Windows program sees it (Wine's Z: drive), with a trailing backslash.
String SourceFolder();
// Removes the demo product's entry from the list of installed programs and its shortcuts.
void ForgetInstallation();
bool Contains(const String& text, StringView part);

}  // namespace uinst::e2e
