#pragma once
// The program's entry: decides install or removal, elevation, the uninstaller's move to the
// temporary folder, and runs the job silently or hands over to the wizard.
#include <functional>

#include "base/string.h"

namespace uinst {

// Exit codes for unattended deployment.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitCancelled = 2;

// The wizard of an interactive or automatic run with a window: shows it and returns the exit code
// when it closes. Set by the program's composition root; without it such runs are refused.
using TWizardRunner = std::function<int()>;
extern TWizardRunner WizardRunner;

// A small window that shows the program is busy while the packages open; started before the
// installer is created (not for silent runs) and stopped when the returned function is called.
using TStartupIndicator = std::function<std::function<void()>()>;
extern TStartupIndicator StartupIndicator;

// Runs the whole program for the process command line; returns the exit code.
int RunSetup();

// Starts this program elevated and waits for it; the child's exit code, or nothing when the
// user refused the elevation prompt.
bool RelaunchElevated(const String& parameters, int& exitCode);
// Copies the uninstaller and its data file to the temporary folder, starts the copy there for this
// installation folder and waits for its result; returns the copy's exit code.
int StartUninstallerFromTemp(const String& parameters);

}  // namespace uinst
