#include "engine/entry.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <utility>

#include "base/format.h"
#include "base/integers.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/command_line.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
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
        } else if (SameText(IncludeTrailingPathDelimiter(ExtractFilePath(ModuleFileName())), GetTempFolder())) {
            throw EInstallerMysteryError(u"Cannot Start the Uninstaller");
        } else {
            StartUninstallerFromTemp(params);
            RunLogLine(u"The uninstaller restarted from the temporary folder");
            return kExitSuccess;
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
    if (installer->HasErrors()) throw EInstallerInstallError(installer->Log().Text());
    installer->RunFinalActions();
    RunLogLine(u"The run succeeded");
    return kExitSuccess;
}

}  // namespace

int RunSetup() {
    SetLocalizationWindowNotifier([] { SendToProcessWindows(WM_ORL_LOCALIZATIONCHANGED); });
    const String params = TORLCommandLineProcessor::ParamsLine();
    String logFile;
    if (TORLCommandLineProcessor::HasSwitch(params, kLogSwitch, logFile) && !logFile.empty()) OpenRunLog(logFile);
    SuppressMessageBoxes(TORLCommandLineProcessor::HasSwitch(params, kSuppressSwitch));
    RunLogLine(u"Command line: " + params);

    int exitCode = kExitFailure;
    try {
        if (!ProductInfoClass) throw EInstallerGeneralError(u"ProductInfoClass is nil");
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

void StartUninstallerFromTemp(const String& parameters) {
    const String self = ModuleFileName();
    const String copy = CopyToTempFolder(self);
    CopyToTempFolder(ChangeFileExt(self, u".dat"));
    const String folder = ExtractFilePath(copy);
    SetCurrentDirectoryW(WidePtr(folder));
    Seams().ShellOpen({u"open", copy, BuildUninstallerRestartParams(ExtractFilePath(self), parameters), String()});
}

}  // namespace uinst
