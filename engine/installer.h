#pragma once
// The one installer object of a run: mode, destination, options, settings, error log, the worker
// thread, and the delivery of the worker's reports to listeners on the main thread.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/string_list.h"
#include "engine/installer_types.h"

namespace uinst {

class TInstallerExtractHelper;
class TInstallerProductInfo;
class TInstallerResources;
class TInstallerThread;
class TMessageWindow;
class TORLIniFile;
class TRunJournal;

class TInstaller {
public:
    // Creates the resources (packages, script, languages) unless given, then reads the switches.
    explicit TInstaller(const String& commandLine, std::unique_ptr<TInstallerResources> resources = nullptr);
    ~TInstaller();
    TInstaller(const TInstaller&) = delete;
    TInstaller& operator=(const TInstaller&) = delete;

    // The folder made full and normalised, with one trailing backslash (an empty path stays
    // empty). A folder that cannot be used (a name the file system would store differently, a
    // relative path without a current folder) leaves the destination empty and DestPathError
    // saying why; Start raises that text.
    void SetDestPath(const String& path);
    const String& DestPath() const { return FDestPath; }
    const String& DestPathError() const { return FDestPathError; }
    bool HasOption(int option) const;
    void SetOption(TInstallerOption option, bool value);
    void SetOptions(TInstallerOptions options);
    TInstallerOptions Options() const { return FOptions; }
    // True when the destination lies in the program-files folder (with or without " (x86)").
    bool IsInProgramFiles() const;

    TInstallerMode Mode() const { return FMode; }
    TInstallerState State() const { return FState; }
    TORLIniFile& Settings() { return *FSettings; }
    TORLStringList& Log() { return FLog; }
    TInstallerProductInfo& ProductInfo() { return *FProductInfo; }
    TInstallerResources& Resources() { return *FResources; }
    TInstallerExtractHelper& ExtractHelper() { return *FExtractHelper; }
    // Folders no installation may use: a drive root, the Windows folder, the program-files
    // folder itself, the profiles, a user's profile, desktop, documents or application data.
    bool IsProtectedFolder(const String& folder) const;
    bool HasErrors() const { return !FLog.Empty(); }
    // True when the run ended because it was cancelled.
    bool Cancelled() const { return FCancelled; }
    HWND Handle() const;

    // Rolls back what an interrupted earlier run into the destination left, then starts the
    // worker; an installation run is journaled (see TRunJournal) unless switched off.
    void Start(bool wait);
    void SetJournaled(bool value) { FJournaled = value; }
    void FreeThread();
    void RunFinalActions();

    void AddListener(IInstallerNotify* listener);
    void RemoveListener(IInstallerNotify* listener);
    // Deliver a notification from any thread; return after the main thread has handled it.
    void Post(int code, intptr_t param);
    void PostText(int code, const String& text);

private:
    void ParseCommandLine(const String& commandLine);
    void ValidateOptions();
    void Notify(int code, intptr_t param);
    // A text of section "Common", from English while no language is loaded, else the fallback.
    String CommonText(StringView key, StringView fallback) const;

    std::unique_ptr<TORLIniFile> FSettings;
    String FDestPath;
    String FDestPathError;
    TORLStringList FLog;
    std::unique_ptr<TInstallerExtractHelper> FExtractHelper;
    std::unique_ptr<TMessageWindow> FWindow;
    std::vector<IInstallerNotify*> FListeners;
    std::recursive_mutex FLock;
    TInstallerMode FMode = imInstall;
    TInstallerOptions FOptions;
    std::unique_ptr<TInstallerProductInfo> FProductInfo;
    std::unique_ptr<TInstallerResources> FResources;
    TInstallerState FState = isIdle;
    std::unique_ptr<TInstallerThread> FThread;
    std::unique_ptr<TRunJournal> FJournal;
    bool FJournaled = true;
    bool FCancelled = false;
};

// The installer of the process; set while one exists.
extern TInstaller* Installer;

// Appends one item to the installer's error log (and to the run log when one is open).
void AddToLog(const String& text);

}  // namespace uinst
