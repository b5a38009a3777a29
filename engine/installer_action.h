#pragma once
// Actions, the list that owns them and the worker thread that runs them one after another.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/string.h"
#include "platform/handles.h"

namespace uinst {

class TInstallerProductInfo;
class TInstallerResources;
class TInstallerScript;
class TInstallerScriptFile;
class TInstallerSummaryBuilder;
class TORLIniFile;

// Base of actions and update tasks: access to the run's state through the global installer.
class TInstallerPersistent {
public:
    virtual ~TInstallerPersistent() = default;
    static TInstallerProductInfo& ProductInfo();
    static TInstallerResources& Resources();
    static TORLIniFile& Settings();
    static const TInstallerScript& Script();
};

class TInstallerAction : public TInstallerPersistent {
public:
    using TProgressEvent = std::function<void(TInstallerAction&)>;

    virtual void Execute() = 0;
    virtual void BuildSummary(TInstallerSummaryBuilder& builder);
    // Called on the main thread when the run is cancelled while this action is current.
    virtual void Terminate();

    // Execute, then 100 %.
    void Run();
    void SetProgress(int value);
    int Progress() const { return FProgress; }
    void SetOnProgress(TProgressEvent handler) { FOnProgress = std::move(handler); }
    void SetStatus(const String& text);
    String GetText(StringView section, StringView key) const;
    String GetCommonText(StringView key) const;
    void ExtractFile(const TInstallerScriptFile& entry);
    void ForceDirectories(const String& folder);
    void RegisterUninstaller(const String& destPath, const std::vector<const TInstallerScriptFile*>& files);

private:
    int FProgress = 0;
    TProgressEvent FOnProgress;
};

// What the product description hands over for each action: a name for the log and a way to
// create the action without arguments.
struct TInstallerActionClass {
    String Name;
    std::function<std::unique_ptr<TInstallerAction>()> Create;
};

template <typename T>
TInstallerActionClass ActionClassOf(StringView name) {
    return {String(name), [] { return std::unique_ptr<TInstallerAction>(std::make_unique<T>()); }};
}

using TInstallerActionClassProc = std::function<void(const TInstallerActionClass&)>;

class TInstallerActionList {
public:
    void Add(std::unique_ptr<TInstallerAction> action, String name);
    int Count() const { return static_cast<int>(FItems.size()); }
    TInstallerAction& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
    const String& Names(int index) const { return FNames.at(static_cast<size_t>(index)); }
    // Mean progress of all actions, rounded toward zero; 0 for an empty list.
    int AverageProgress() const;

private:
    std::vector<std::unique_ptr<TInstallerAction>> FItems;
    std::vector<String> FNames;
};

// The worker: populates its actions from the product description and runs them in order. The
// first exception ends the run as one log item; a cancellation is seen between two actions.
class TInstallerThread {
public:
    TInstallerThread();
    // Asks the thread to end and waits for it.
    virtual ~TInstallerThread();
    TInstallerThread(const TInstallerThread&) = delete;
    TInstallerThread& operator=(const TInstallerThread&) = delete;

    void Resume();
    // Main thread: sets the terminated flag and tells the current action.
    virtual void Terminate();
    bool Terminated() const { return FTerminated; }
    HANDLE Handle() const { return FHandle.Get(); }
    const TInstallerActionList& Actions() const { return FActions; }

protected:
    virtual void Execute();
    virtual void PopulateActions();

private:
    static DWORD WINAPI ThreadProc(void* self);
    void SetCurrentAction(TInstallerAction* action);
    // A failed or cancelled run is rolled back; a successful one is committed.
    void FinishJournal(bool failed);
    void ProgressChanged();

    TInstallerActionList FActions;
    TInstallerAction* FCurrentAction = nullptr;
    std::mutex FLock;
    TUniqueHandle FHandle;
    std::atomic<bool> FTerminated{false};
};

// The log item of an error: the message, then the call-stack text between two lines of dashes.
String FormatErrorLogItem(StringView message, StringView callStack = {});

}  // namespace uinst
