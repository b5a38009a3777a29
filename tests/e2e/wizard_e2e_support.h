#pragma once
// The real setup program with its wizard, started from a test: the process, the language dialog
// and pictures of what the screen shows.
#include <windows.h>

#include <optional>
#include <vector>

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
    // "/SUPPRESSMSGBOXES" was given: the program answers its questions itself.
    bool SuppressesMessageBoxes() const { return FSuppressesMessageBoxes; }
    // The exit code once the process has ended; 259 (still running) after the time limit.
    DWORD Wait(DWORD timeoutMs = 30000) const;

private:
    bool FSuppressesMessageBoxes;
    TUniqueHandle FProcess;
};

// The language files of the demo in the order of the dialog's list, sorted by their names.
enum TDemoLanguage { dlGerman, dlEnglish, dlRussian };
// Answers the language dialog of the process with OK, checking that the expected language is
// preselected, after choosing another one when asked to. Under an English user interface
// English is preselected though German comes first: the choice follows the user interface.
void ChooseLanguage(const TSetupProcess& setup, TDemoLanguage preselected = dlEnglish,
                    std::optional<TDemoLanguage> choice = std::nullopt);
// Closes the wizard through its close question, answered with OK.
void CancelThroughTheCloseQuestion(const TSetupProcess& setup, HWND wizard);

// Keeps a registry value as it was (type and data; its key too when the object made it) and puts
// it back at the end of its lifetime; meanwhile the test sets it as a DWORD or deletes it.
class TRegistryValueGuard {
public:
    TRegistryValueGuard(HKEY root, const String& path, const String& name);
    ~TRegistryValueGuard();
    TRegistryValueGuard(const TRegistryValueGuard&) = delete;
    TRegistryValueGuard& operator=(const TRegistryValueGuard&) = delete;
    // The value as a DWORD; none deletes it.
    void Set(std::optional<uint32_t> value) const;

private:
    HKEY FRoot;
    String FPath;
    String FName;
    bool FKeyExisted = false;
    bool FValueExisted = false;
    DWORD FType = REG_NONE;
    std::vector<BYTE> FData;
};

// The PNG file of that name under the build tree's screenshots folder ("e2e_NAME.png"); the
// folder is created.
String ScreenshotFile(const char* name);
// Saves what the screen shows of the wizard there, once it has painted.
void Shot(const testing::TWizardDriver& d, const char* name);

}  // namespace uinst::e2e
