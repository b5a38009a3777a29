#pragma once
// The real setup program with its wizard, started from a test: the process, the language dialog
// and pictures of what the screen shows.
#include <windows.h>

#include "base/string.h"
#include "platform/handles.h"
#include "ui/testing/wizard_driver.h"

namespace uinst::e2e {

// uInstaller.exe of the build with the parameters; ended by force if it still runs at the end.
class TSetupProcess {
public:
    explicit TSetupProcess(const String& parameters);
    ~TSetupProcess();
    DWORD Id() const;
    // The exit code once the process has ended; 259 (still running) after the time limit.
    DWORD Wait(DWORD timeoutMs = 30000) const;

private:
    TUniqueHandle FProcess;
};

// Answers the language dialog of the process with OK, checking that the expected language is
// offered as the choice.
void ChooseLanguage(const TSetupProcess& setup, const String& expected);

// The PNG file of that name under the build tree's screenshots folder ("e2e_NAME.png"); the
// folder is created.
String ScreenshotFile(const char* name);
// Saves what the screen shows of the wizard there, once it has painted.
void Shot(const testing::TWizardDriver& d, const char* name);

}  // namespace uinst::e2e
