#pragma once
// Starting the built setup program and reading what it left behind.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/string.h"
#include "platform/file_test_support.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace uinst::e2e {

struct TRunResult {
    DWORD ExitCode = 0;
    String Log;  // the /LOG file's text
};

// The folder of the test program, where the setup program and the demo's programs are built.
String BinFolder();
// Runs the program with the parameters (the log switch and /SUPPRESSMSGBOXES are added) and
// waits for it while serving sent messages; fails the test after the time limit.
// The program starts in the given current folder, or in this program's when it is empty.
// Starts a program of the test; a start that fails is a test failure naming the system's reason.
// A start under Wine once failed in a full run for no reason the test could see: it is tried three
// times, a quarter of a second apart, and a start that needed a retry says so in the output.
TUniqueHandle StartTestProgram(const String& commandLine, const TProcessOptions& options = {});

TRunResult RunProgram(const String& program, const String& parameters, DWORD timeoutMs = 120000,
                      const String& directory = String());
TRunResult RunSetup(const String& parameters, DWORD timeoutMs = 120000, const String& directory = String());
// Waits until no process of that file name runs (the uninstaller's copy in the temporary folder
// goes on after the first one ended); false after the time limit.
bool WaitUntilProgramsEnd(StringView fileName, DWORD timeoutMs = 120000);
String ReadTextFile(const String& path);
using test::TTempFolder;
// Removes a folder of the system (a profile, a start-menu folder) as the product does.
void RemoveTree(const String& folder);
// The source tree as the Windows program sees it (Wine's Z: drive), with a trailing backslash.
String SourceFolder();
// The demo product's entry in the list of installed programs, opened for reading.
std::optional<TRegistryKey> ProductEntry();
// Removes the demo product's entry from the list of installed programs and its shortcuts.
void ForgetInstallation();
bool Contains(const String& text, StringView part);
// Writes a file, creating its missing parent folders.
void WriteTextFile(const String& path, const std::string& text);
// Every file of the C: drive outside the Windows folder and the temporary folders, with its size
// and time: what an installation and its removal may not leave changed.
std::vector<String> DriveListing();
// Sets an environment variable of this process (inherited by the programs it starts) for the
// lifetime of the object, then gives it back its value from before.
class TEnvironmentOverride {
public:
    TEnvironmentOverride(const wchar_t* name, const wchar_t* value);
    ~TEnvironmentOverride();
    TEnvironmentOverride(const TEnvironmentOverride&) = delete;
    TEnvironmentOverride& operator=(const TEnvironmentOverride&) = delete;

private:
    const wchar_t* FName;
    std::optional<std::wstring> FSaved;
};

}  // namespace uinst::e2e
