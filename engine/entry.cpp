#include "engine/entry.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <utility>
#include <vector>

#include "base/format.h"
#include "base/integers.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/command_line.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/language_choice.h"
#include "engine/product_info.h"
#include "engine/run_log.h"
#include "engine/spawn_service.h"
#include "formats/localization.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"
#include "platform/os_error.h"
#include "platform/seams.h"

namespace uinst {

TWizardRunner WizardRunner;
TStartupIndicator StartupIndicator;

namespace {

constexpr char16_t kLogSwitch[] = u"LOG";
constexpr char16_t kSuppressSwitch[] = u"SUPPRESSMSGBOXES";
constexpr char16_t kHelpSwitch[] = u"HELP";
constexpr char16_t kQuestionSwitch[] = u"?";
// Only for a language file without the help text; the shipped files have it.
constexpr char16_t kHelpFallback[] =
    u"/AUTO [folder]  /SILENT  /UPDATE  /PORTABLE  /NOBACKUP  /RUN  /LOG=FILE  /SUPPRESSMSGBOXES  /?\r\n"
    u"Exit codes: 0, 1, 2";

void ShowErrorBox(const String& message) {
    RunLogLine(u"Error box: " + message);
    ShowMessageBox(nullptr, message, u"Setup", MB_OK | MB_ICONERROR);
}

String OptionsText(TInstallerOptions options) {
    static const char16_t* const names[] = {u"ioAuto",   u"ioPortable", u"ioUpdate",
                                            u"ioSilent", u"ioRun",      u"ioNoBackup"};
    String out;
    for (int i = 0; i < 6; ++i)
        if (options.Has(static_cast<TInstallerOption>(i))) out += (out.empty() ? u"" : u" ") + String(names[i]);
    return out.empty() ? u"(none)" : out;
}

// The switches and exit codes in the user's language, as a box and in the log. Nothing else runs:
// no elevation, no job.
int ShowHelp() {
    TInstaller installer{String()};
    TInstallerResources& resources = installer.Resources();
    resources.LoadLanguageFile(ChooseLanguage(resources, true));
    String text = resources.GetText(u"Common", u"Help");
    if (text.empty()) text = kHelpFallback;
    RunLogLine(u"Help: " + text);
    ShowMessageBox(nullptr, text, resources.GetText(u"Common", u"Caption"), MB_OK | MB_ICONINFORMATION);
    return kExitSuccess;
}

// The uninstaller in the installation folder waits for its copy in the temporary folder and
// returns the copy's result; the copy signals that result through one of three named events
// (one per exit code) and then, once the original has ended, removes the original's file.
constexpr wchar_t kOriginVariable[] = L"UINST_UNINSTALL_ORIGIN";
constexpr DWORD kOriginEndWaitMs = 30000;

String ResultEventName(DWORD originPid, int code) {
    return Format(u"uInstaller.UninstallResult.%d.%d", {static_cast<int64_t>(originPid), code});
}

// What the copy knows about the original that started it.
struct TUninstallOrigin {
    TUniqueHandle Process;
    String Folder;  // the installation folder, with a trailing backslash
    DWORD Pid = 0;
};
std::unique_ptr<TUninstallOrigin> gOrigin;

// In the copy: the original announced itself in the environment; open it now, while it waits.
void TakeUninstallOrigin(const String& folder) {
    wchar_t value[32] = {};
    const DWORD n = GetEnvironmentVariableW(kOriginVariable, value, 32);
    SetEnvironmentVariableW(kOriginVariable, nullptr);  // not for programs this copy starts
    if (n == 0 || n >= 32) return;
    const DWORD pid = static_cast<DWORD>(StrToIntDef(FromWide(value), 0));
    if (pid == 0) return;
    auto origin = std::make_unique<TUninstallOrigin>();
    origin->Process.Reset(OpenProcess(SYNCHRONIZE, FALSE, pid));
    origin->Folder = IncludeTrailingPathDelimiter(folder);
    origin->Pid = pid;
    gOrigin = std::move(origin);
}

// In the copy, at the very end: hand the result to the original, wait until it has ended, then
// remove its uninstaller file and the installation folder when nothing else is left in it.
void FinishForOrigin(int exitCode) {
    if (!gOrigin) return;
    const TUniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, WidePtr(ResultEventName(gOrigin->Pid, exitCode))));
    if (event) SetEvent(event.Get());
    if (gOrigin->Process) WaitWithMessages(gOrigin->Process.Get(), kOriginEndWaitMs);
    if (exitCode == kExitSuccess) {
        const String self = gOrigin->Folder + u"Uninstall.exe";
        if (FileExists(self) && !DeleteFileW(WidePtr(LongPathName(self)))) DeleteOrDefer(self);
        RemoveDirectoryW(WidePtr(LongPathName(ExcludeTrailingPathDelimiter(gOrigin->Folder))));
    }
    gOrigin.reset();
}

// The job after the checks; returns the exit code.
int RunJob(const String& params) {
    // Elevation, only where the system has it.
    if (IsWindowsVistaOrLater()) {
        String handle;
        if (TORLCommandLineProcessor::HasSwitch(params, Switches::kSkipUAC, handle)) {
            TInstallerSpawnService::Initialize(reinterpret_cast<HWND>(static_cast<intptr_t>(StrToIntDef(handle, 0))));
        } else if (!Seams().IsUserAdmin()) {
            int childCode = kExitSuccess;
            if (!RelaunchElevated(params, childCode)) {
                RunLogLine(u"The elevation prompt was declined");
                return kExitCancelled;
            }
            RunLogLine(Format(u"The elevated copy ended with exit code %d", {childCode}));
            return childCode;
        }
    }
    if (!Seams().IsUserAdmin())
        throw EInstallerNoAdminRightsError(u"Administrator rights are required to process this operation.");

    std::function<void()> stopIndicator;
    if (StartupIndicator && !(TORLCommandLineProcessor::HasSwitch(params, Switches::kAuto) &&
                              TORLCommandLineProcessor::HasSwitch(params, Switches::kSilent)))
        stopIndicator = StartupIndicator();
    struct TStop {
        std::function<void()>& Stop;
        ~TStop() {
            if (Stop) std::exchange(Stop, nullptr)();
        }
    } stop{stopIndicator};
    auto installer = std::make_unique<TInstaller>(params);
    if (stopIndicator) std::exchange(stopIndicator, nullptr)();
    RunLogLine(String(u"Mode: ") + (installer->Mode() == imInstall ? u"install" : u"uninstall"));

    if (installer->Mode() == imUninstall) {
        String path;
        if (TORLCommandLineProcessor::HasSwitch(params, Switches::kPath, path) && !path.empty() &&
            DirectoryExists(path)) {
            installer->SetDestPath(path);
            TakeUninstallOrigin(installer->DestPath());
        } else if (SameText(IncludeTrailingPathDelimiter(ExtractFilePath(ModuleFileName())), GetTempFolder())) {
            throw EInstallerMysteryError(u"Cannot Start the Uninstaller");
        } else {
            RunLogLine(u"The uninstaller restarted from the temporary folder");
            const int code = StartUninstallerFromTemp(params);
            RunLogLine(Format(u"The uninstaller's copy ended with exit code %d", {code}));
            return code;
        }
    }
    RunLogLine(u"Options: " + OptionsText(installer->Options()));
    RunLogLine(u"Destination: " + installer->DestPath());

    InitializeMainThreadCalls();
    installer->Resources().LoadLanguage();
    RunLogLine(u"Language: " + installer->Resources().LanguageName());

    if (!installer->Options().Has(ioSilent)) {
        if (!WizardRunner) {
            ShowErrorBox(u"This build of the setup program has no wizard window. Run it with /AUTO /SILENT.");
            return kExitFailure;
        }
        const int code = WizardRunner();
        RunLogLine(code == kExitSuccess     ? u"The run succeeded"
                   : code == kExitCancelled ? u"The run was cancelled"
                                            : u"The run failed");
        for (int i = 0; i < installer->Log().Count(); ++i) RunLogLine(u"Error: " + installer->Log()[i]);
        return code;
    }
    installer->Start(true);
    if (installer->HasErrors()) {
        // A cancelled run (rolled back like a failed one) says so with its own exit code.
        if (installer->Cancelled()) {
            ShowErrorBox(installer->Log().Text());
            return kExitCancelled;
        }
        throw EInstallerInstallError(installer->Log().Text());
    }
    installer->RunFinalActions();
    RunLogLine(u"The run succeeded");
    return kExitSuccess;
}

}  // namespace

int RunSetup() {
    SetLocalizationWindowNotifier([] { SendToProcessWindows(WM_ORL_LOCALIZATIONCHANGED); });
    const String params = TORLCommandLineProcessor::ParamsLine();
    SuppressMessageBoxes(TORLCommandLineProcessor::HasSwitch(params, kSuppressSwitch));
    InstallFaultSeamsFromEnvironment();
    String logFile;
    if (TORLCommandLineProcessor::HasSwitch(params, kLogSwitch, logFile) && !logFile.empty()) {
        // Asked for a log that cannot be written: an unattended run would leave no trace at all.
        String reason;
        if (!OpenRunLog(logFile, reason)) {
            ShowErrorBox(Format(u"Cannot write the log file \"%s\": %s", {logFile, reason}));
            return kExitFailure;
        }
    }
    RunLogLine(u"Command line: " + params);

    int exitCode = kExitFailure;
    try {
        if (!ProductInfoClass) throw EInstallerGeneralError(u"ProductInfoClass is nil");
        if (TORLCommandLineProcessor::HasSwitch(params, kQuestionSwitch) ||
            TORLCommandLineProcessor::HasSwitch(params, kHelpSwitch))
            exitCode = ShowHelp();
        else
            exitCode = RunJob(params);
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
        exitCode = kExitFailure;
    } catch (const std::exception& e) {
        ShowErrorBox(Utf8ToString(e.what()));
        exitCode = kExitFailure;
    }
    TInstallerSpawnService::Finalize();
    RunLogLine(Format(u"Exit code %d", {exitCode}));
    try {
        FinishForOrigin(exitCode);
    } catch (const std::exception&) {
        // The result is already handed over; what is left behind is only the original's file.
    }
    CloseRunLog();
    return exitCode;
}

bool RelaunchElevated(const String& parameters, int& exitCode) {
    TInstallerSpawnService::Initialize(nullptr);
    const String newParams =
        BuildElevationParams(reinterpret_cast<intptr_t>(TInstallerSpawnService::Handle()), parameters);
    const String self = ModuleFileName();
    wchar_t directory[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, directory);

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    info.lpVerb = L"runas";
    info.lpFile = WidePtr(self);
    info.lpParameters = WidePtr(newParams);
    info.lpDirectory = directory;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED) return false;
        RaiseOSError(error, self);
    }
    TUniqueHandle process(info.hProcess);
    // The child talks to the spawn window by SendMessage: keep serving it while waiting.
    WaitWithMessages(process.Get());
    DWORD code = kExitFailure;
    GetExitCodeProcess(process.Get(), &code);
    exitCode = static_cast<int>(code);
    return true;
}

int StartUninstallerFromTemp(const String& parameters) {
    const String self = ModuleFileName();
    const String copy = CopyToTempFolder(self);
    CopyToTempFolder(ChangeFileExt(self, u".dat"));
    const String folder = ExtractFilePath(copy);
    SetCurrentDirectoryW(WidePtr(folder));

    // One event per exit code: the copy sets the one of its result when the work is done, before
    // it waits for this process to end.
    const DWORD pid = GetCurrentProcessId();
    std::vector<TUniqueHandle> results;
    for (int code : {kExitSuccess, kExitFailure, kExitCancelled}) {
        results.emplace_back(CreateEventW(nullptr, TRUE, FALSE, WidePtr(ResultEventName(pid, code))));
        if (!results.back()) RaiseLastOSError(ResultEventName(pid, code));
    }
    SetEnvironmentVariableW(kOriginVariable, WidePtr(IntToStr(static_cast<int64_t>(pid))));
    const String newParams = BuildUninstallerRestartParams(ExtractFilePath(self), parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = WidePtr(copy);
    info.lpParameters = WidePtr(newParams);
    info.lpDirectory = WidePtr(folder);
    info.nShow = SW_SHOWNORMAL;
    const BOOL started = ShellExecuteExW(&info);
    const DWORD startError = GetLastError();
    SetEnvironmentVariableW(kOriginVariable, nullptr);
    if (!started) RaiseOSError(startError, copy);
    TUniqueHandle process(info.hProcess);
    if (!process) return kExitFailure;

    // Until the copy reports (or ends without reporting, having failed before its work began).
    for (;;) {
        for (size_t i = 0; i < results.size(); ++i)
            if (WaitForSingleObject(results[i].Get(), 0) == WAIT_OBJECT_0) return static_cast<int>(i);
        if (WaitWithMessages(process.Get(), 100)) {
            for (size_t i = 0; i < results.size(); ++i)
                if (WaitForSingleObject(results[i].Get(), 0) == WAIT_OBJECT_0) return static_cast<int>(i);
            DWORD code = kExitFailure;
            GetExitCodeProcess(process.Get(), &code);
            return static_cast<int>(code);
        }
    }
}

}  // namespace uinst
