#include "engine/installer_action.h"

#include <optional>

#include "base/errors.h"
#include "engine/installer.h"
#include "engine/extract_helper.h"
#include "engine/installer_resources.h"
#include "engine/uninstall_registration.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "engine/run_log.h"
#include "platform/message_window.h"
#include "platform/os_error.h"

namespace uinst {

TInstallerProductInfo& TInstallerPersistent::ProductInfo() {
    return Installer->ProductInfo();
}
TInstallerResources& TInstallerPersistent::Resources() {
    return Installer->Resources();
}
TORLIniFile& TInstallerPersistent::Settings() {
    return Installer->Settings();
}
const TInstallerScript& TInstallerPersistent::Script() {
    return Installer->Resources().Script();
}

void TInstallerAction::BuildSummary(TInstallerSummaryBuilder&) {}
void TInstallerAction::Terminate() {}

void TInstallerAction::Run() {
    Execute();
    SetProgress(100);
}

void TInstallerAction::SetProgress(int value) {
    if (value == FProgress) return;
    FProgress = value;
    if (FOnProgress) FOnProgress(*this);
}

void TInstallerAction::SetStatus(const String& text) {
    Installer->PostText(kNotifyStatus, text);
}

String TInstallerAction::GetText(StringView section, StringView key) const {
    return Installer->Resources().GetText(section, key);
}

String TInstallerAction::GetCommonText(StringView key) const {
    return GetText(u"Common", key);
}

void TInstallerAction::ExtractFile(const TInstallerScriptFile& entry) {
    Installer->ExtractHelper().Extract(entry);
}

void TInstallerAction::ForceDirectories(const String& folder) {
    Installer->ExtractHelper().ForceDirectories(folder);
}

void TInstallerAction::RegisterUninstaller(const String& destPath,
                                           const std::vector<const TInstallerScriptFile*>& files) {
    uinst::RegisterUninstaller(destPath, files);
}

// ---------------------------------------------------------------------------------------------

void TInstallerActionList::Add(std::unique_ptr<TInstallerAction> action, String name) {
    FItems.push_back(std::move(action));
    FNames.push_back(std::move(name));
}

int TInstallerActionList::AverageProgress() const {
    if (FItems.empty()) return 0;
    int sum = 0;
    for (const auto& action : FItems) sum += action->Progress();
    return sum / static_cast<int>(FItems.size());
}

// ---------------------------------------------------------------------------------------------

String FormatErrorLogItem(StringView message, StringView callStack) {
    const String dashes(20, u'-');
    return String(message) + u"\r\n" + dashes + u"\r\n" + String(callStack) + u"\r\n" + dashes;
}

TInstallerThread::TInstallerThread() {
    FHandle.Reset(CreateThread(nullptr, 0, &TInstallerThread::ThreadProc, this, CREATE_SUSPENDED, nullptr));
    if (!FHandle) RaiseLastOSError(u"CreateThread");
}

TInstallerThread::~TInstallerThread() {
    Terminate();
    // Reports are sent to the main thread's window, so the wait keeps serving them. A failed wait
    // must not leave the destructor by an exception.
    try {
        if (FHandle) WaitWithMessages(FHandle.Get());
    } catch (const Exception&) {
    }
}

void TInstallerThread::Resume() {
    ResumeThread(FHandle.Get());
}

void TInstallerThread::Terminate() {
    if (FTerminated.exchange(true)) return;
    ResumeThread(FHandle.Get());  // a thread that never started must still run to its end
    std::lock_guard<std::mutex> lock(FLock);
    if (FCurrentAction) FCurrentAction->Terminate();
}

DWORD WINAPI TInstallerThread::ThreadProc(void* self) {
    static_cast<TInstallerThread*>(self)->Execute();
    return 0;
}

void TInstallerThread::PopulateActions() {
    Installer->ProductInfo().PopulateActions([this](const TInstallerActionClass& actionClass) {
        auto action = actionClass.Create();
        action->SetOnProgress([this](TInstallerAction&) { ProgressChanged(); });
        FActions.Add(std::move(action), actionClass.Name);
    });
}

void TInstallerThread::Execute() {
    std::optional<String> error;
    try {
        PopulateActions();
        for (int i = 0; i < FActions.Count(); ++i) {
            if (FTerminated) break;
            RunLogLine(u"Action started: " + FActions.Names(i));
            SetCurrentAction(&FActions.Items(i));
            FActions.Items(i).Run();
            RunLogLine(u"Action ended: " + FActions.Names(i));
        }
    } catch (const Exception& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        // Not one of ours (out of memory, a library's error): still one log item, never a crash.
        error = Utf8ToString(e.what());
    } catch (...) {
        error = u"Unknown error";
    }
    if (error) AddToLog(FormatErrorLogItem(error->empty() ? u"Unknown error" : *error));
    FinishJournal(error.has_value() || FTerminated);
    SetCurrentAction(nullptr);
    Installer->Post(kNotifyFinished, FTerminated ? 1 : 0);
}

void TInstallerThread::FinishJournal(bool failed) {
    TRunJournal* journal = ActiveJournal();
    if (!journal) return;
    try {
        if (failed && journal->HasChanges()) {
            RunLogLine(u"Rolling back the changes of this run");
            journal->Rollback();
        } else {
            journal->Commit();
        }
    } catch (const std::exception& e) {
        // The run's own result stands; what is left is cleaned up by the next start.
        RunLogLine(u"Rollback: " + Utf8ToString(e.what()));
    }
    SetActiveJournal(nullptr);
}

void TInstallerThread::SetCurrentAction(TInstallerAction* action) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FCurrentAction = action;
    }
    // Reports go out after the lock is left: the main thread takes it in Terminate.
    if (action) ProgressChanged();
}

void TInstallerThread::ProgressChanged() {
    int current;
    {
        std::lock_guard<std::mutex> lock(FLock);
        current = FCurrentAction ? FCurrentAction->Progress() : 0;
    }
    Installer->Post(kNotifyProgress, (static_cast<intptr_t>(FActions.AverageProgress()) << 16) | (current & 0xFFFF));
    Installer->Post(kNotifyRepaint, 0);
}

}  // namespace uinst
