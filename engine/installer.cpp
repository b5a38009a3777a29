#include "engine/installer.h"

#include <windows.h>
#include <shlobj.h>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/command_line.h"
#include "engine/extract_helper.h"
#include "engine/installer_action.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "engine/run_journal.h"
#include "engine/run_log.h"
#include "engine/spawn_service.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/message_window.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace uinst {

TInstaller* Installer = nullptr;

void AddToLog(const String& text) {
    RunLogLine(u"Error: " + text);
    if (Installer) Installer->Log().Add(text);
}

TInstaller::TInstaller(const String& commandLine, std::unique_ptr<TInstallerResources> resources) {
    Installer = this;
    try {
        FSettings = std::make_unique<TORLIniFile>();
        FExtractHelper = std::make_unique<TInstallerExtractHelper>();
        if (!ProductInfoClass) throw EInstallerGeneralError(u"ProductInfoClass is nil");
        FProductInfo = ProductInfoClass();
        FResources = resources ? std::move(resources) : TInstallerResources::CreateFromModule();
        FWindow = std::make_unique<TMessageWindow>(
            u"TInstaller", [this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                if (message == WM_USER) {
                    Notify(static_cast<int>(wParam), static_cast<intptr_t>(lParam));
                    return 0;
                }
                if (message == WM_COPYDATA && FWindow && reinterpret_cast<HWND>(wParam) == FWindow->Handle()) {
                    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                    if (data && (data->lpData || data->cbData == 0)) {
                        try {
                            String text(static_cast<const Char*>(data->lpData), data->cbData / sizeof(Char));
                            Notify(static_cast<int>(data->dwData), reinterpret_cast<intptr_t>(&text));
                        } catch (...) {
                            // A listener's failure must not travel back into the worker's send.
                        }
                    }
                    return TRUE;
                }
                return std::nullopt;
            });
        ParseCommandLine(commandLine);
    } catch (...) {
        Installer = nullptr;
        throw;
    }
}

TInstaller::~TInstaller() {
    FreeThread();
    if (ActiveJournal() == FJournal.get()) SetActiveJournal(nullptr);
    FJournal.reset();
    FWindow.reset();
    FResources.reset();
    FProductInfo.reset();
    if (Installer == this) Installer = nullptr;
}

HWND TInstaller::Handle() const {
    return FWindow ? FWindow->Handle() : nullptr;
}

void TInstaller::ParseCommandLine(const String& commandLine) {
    using P = TORLCommandLineProcessor;
    if (FResources->ProductPackageContains(u"Uninstall.ini")) {
        FMode = imUninstall;
        FOptions = {};
        if (P::HasSwitch(commandLine, Switches::kAuto)) {
            FOptions.Include(ioAuto);
            if (P::HasSwitch(commandLine, Switches::kSilent)) FOptions.Include(ioSilent);
        }
        return;
    }
    String autoValue;
    if (P::HasSwitch(commandLine, Switches::kAuto, autoValue)) {
        FMode = imInstall;
        FOptions = {ioAuto};
        if (autoValue.empty()) autoValue = FProductInfo->GetDefaultPath();
        SetDestPath(autoValue);
        // A folder given on the command line that cannot be used ends the run before anything else.
        if (!FDestPathError.empty()) throw EInstallerInstallError(FDestPathError);
        if (P::HasSwitch(commandLine, Switches::kNoBackup)) FOptions.Include(ioNoBackup);
        if (P::HasSwitch(commandLine, Switches::kRun)) FOptions.Include(ioRun);
        if (P::HasSwitch(commandLine, Switches::kUpdate)) {
            if (!FProductInfo->CanUpdate())
                throw EInstallerUpdateError(
                    Format(u"Cannot install update on v%s", {FProductInfo->InstalledVersionText()}));
            return;
        }
        if (P::HasSwitch(commandLine, Switches::kPortable)) FOptions.Include(ioPortable);
        if (P::HasSwitch(commandLine, Switches::kSilent)) FOptions.Include(ioSilent);
        ValidateOptions();
        return;
    }
    FMode = imInstall;
    FOptions = {ioUpdate};
    SetDestPath(FProductInfo->GetDefaultPath());
}

namespace {

// Short names ("PROGRA~1") of folders that exist become their long names.
String ExpandShortNames(const String& folder) {
    if (folder.find(u'~') == String::npos) return folder;
    String buffer(32768, u'\0');
    const DWORD n = GetLongPathNameW(WidePtr(LongPathName(folder)), WidePtr(buffer), 32768);
    if (n == 0 || n >= 32768) return folder;
    buffer.resize(n);
    String result, badName;
    return NormalizeFolderPath(buffer, u"", result, badName) ? result : folder;
}

}  // namespace

String TInstaller::CommonText(StringView key, StringView fallback) const {
    String text = FResources->GetText(u"Common", key);
    // Before a language is chosen (the switches are read first) English has the text.
    if (text.empty() && FResources->LanguageName().empty() && FResources->HasFile(u"English.lng")) {
        TORLIniFile english;
        english.LoadFromStream(*FResources->GetFile(u"English.lng"));
        text = FResources->ExpandVariables(english.ReadString(u"Common", key, u""));
    }
    return text.empty() ? String(fallback) : text;
}

void TInstaller::SetDestPath(const String& path) {
    if (path == FDestPath && FDestPathError.empty()) return;
    // Files, the uninstaller, the configuration and the registry entry all take their paths from
    // here: one full, normalised form, whatever way the folder was typed. A folder that cannot be
    // used leaves no destination (a page may be half way through typing it); starting says why.
    String full;
    FDestPathError.clear();
    if (!path.empty()) {
        String badName;
        if (NormalizeFolderPath(path, GetCurrentFolder(), full, badName)) {
            full = ExpandShortNames(full);
        } else if (badName.empty()) {
            FDestPathError = Format(
                CommonText(u"E11",
                           u"The folder \"%s\" cannot be used: it is not a full path of a drive or a network share."),
                {path});
        } else {
            FDestPathError = Format(CommonText(u"E10",
                                               u"The folder \"%s\" cannot be used: the name \"%s\" ends with a dot or "
                                               u"a blank, or holds a character that names cannot hold."),
                                    {path, badName});
        }
    }
    FDestPath = full;
    // A run into this folder that ended half way (the process killed, the machine switched off) is
    // undone before the folder is read: what is installed there decides the options. A run that is
    // still working there keeps its journal; starting says so.
    if (!FDestPath.empty() && TRunJournal::Exists(FDestPath)) {
        try {
            TRunJournal::RecoverInterrupted(FDestPath);
        } catch (const std::exception&) {
        }
    }
    FProductInfo->Load();
    FOptions.Set(ioUpdate, FProductInfo->CanUpdate());
    if (FOptions.Has(ioUpdate) && FProductInfo->IsPortable()) FOptions.Include(ioPortable);
    ValidateOptions();
}

bool TInstaller::IsInProgramFiles() const {
    auto startsWith = [this](const String& folder) {
        return !folder.empty() && FDestPath.size() >= folder.size() &&
               SameText(StringView(FDestPath).substr(0, folder.size()), folder);
    };
    return startsWith(FResources->ProgramFilesFolder()) || startsWith(FResources->ProgramFilesFolderNoX86());
}

void TInstaller::ValidateOptions() {
    if (!FProductInfo->CanUpdate()) FOptions.Exclude(ioUpdate);
    if (IsInProgramFiles()) FOptions.Exclude(ioPortable);
}

bool TInstaller::HasOption(int option) const {
    if (option < 0 || option > 7) return false;
    return (FOptions.Bits() >> option) & 1u;
}

void TInstaller::SetOption(TInstallerOption option, bool value) {
    TInstallerOptions options = FOptions;
    options.Set(option, value);
    SetOptions(options);
}

void TInstaller::SetOptions(TInstallerOptions options) {
    if (options == FOptions) return;
    if (options.Has(ioAuto) != FOptions.Has(ioAuto) || options.Has(ioSilent) != FOptions.Has(ioSilent))
        throw EInstallerMysteryError(u"Invalid Arguments");
    FOptions = options;
    ValidateOptions();
}

void TInstaller::Start(bool wait) {
    if (FState != isIdle) return;
    if (!FDestPathError.empty()) throw EInstallerInstallError(FDestPathError);
    if (FDestPath.empty()) throw EInstallerInstallError(u"DestPath is empty");
    // An installation here would be backed up from, and later removed from, a folder that is not
    // its own: refuse before anything is written.
    if (IsProtectedFolder(FDestPath)) {
        throw EInstallerInstallError(Format(
            CommonText(
                u"E9",
                u"The folder \"%s\" cannot be used: it belongs to Windows or to a user. Choose a folder of its own."),
            {FDestPath}));
    }
    ValidateOptions();
    // An earlier run that ended half way (the process killed, the machine switched off) is
    // undone before this one changes anything.
    TRunJournal::RecoverInterrupted(FDestPath);
    // What that rollback could not put back stays set aside under the journal; a new run would
    // begin its journal over it and lose it.
    if (TRunJournal::Exists(FDestPath)) {
        throw EInstallerInstallError(
            Format(u"An earlier run into \"%s\" could not be undone completely; what it had set aside is kept in "
                   u"\"%s\". Close the programs that use files of the folder and start Setup again.",
                   {FDestPath, TRunJournal::FolderFor(FDestPath)}));
    }
    if (FMode == imInstall && FJournaled) {
        FJournal = TRunJournal::Begin(FDestPath);
        SetActiveJournal(FJournal.get());
    }
    FState = isRunning;
    FThread = std::make_unique<TInstallerThread>();
    FThread->Resume();
    if (wait) WaitWithMessages(FThread->Handle());
}

void TInstaller::FreeThread() {
    FThread.reset();
}

bool TInstaller::IsProtectedFolder(const String& folder) const {
    // Compare the folder as the system resolves it: a doubled backslash or "." still names the drive root.
    String path = GetFullPath(folder);
    if (path.empty()) path = folder;
    for (size_t i = 2; i < path.size();) {
        if (path[i] == u'\\' && path[i - 1] == u'\\')
            path.erase(i, 1);
        else
            ++i;
    }
    path = IncludeTrailingPathDelimiter(path);
    // "C:\" or "\\server\share\"
    if (path.size() == 3 && path[1] == u':') return true;
    if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\') {
        const size_t share = path.find(u'\\', 2);
        if (share == String::npos || path.find(u'\\', share + 1) == path.size() - 1) return true;
    }
    std::vector<String> protectedFolders = {FResources->ProgramFilesFolder(), FResources->ProgramFilesFolderNoX86(),
                                            FResources->DesktopFolder(), FResources->StartMenuFolder()};
    for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                      CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
                      CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU})
        protectedFolders.push_back(GetSpecialFolder(csidl));
    // Every user's profile and the folder that holds them.
    const String profile = GetSpecialFolder(CSIDL_PROFILE);
    if (!profile.empty()) protectedFolders.push_back(ExtractFilePath(ExcludeTrailingPathDelimiter(profile)));
    if (auto list =
            TRegistryKey::Open(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList")) {
        for (const String& sid : list->SubKeyNames()) {
            if (auto key = TRegistryKey::Open(list->Handle(), sid))
                if (auto image = key->ReadString(u"ProfileImagePath")) {
                    wchar_t expanded[MAX_PATH + 1] = {};
                    if (ExpandEnvironmentStringsW(WidePtr(*image), expanded, MAX_PATH + 1))
                        protectedFolders.push_back(FromWide(expanded));
                }
        }
    }
    for (const String& candidate : protectedFolders)
        if (!candidate.empty() && SameText(IncludeTrailingPathDelimiter(candidate), path)) return true;
    return false;
}

void TInstaller::RunFinalActions() {
    if (!FLog.Empty() || FMode != imInstall) return;
    const bool byDefault = FOptions.Has(ioAuto) && FOptions.Has(ioUpdate) && FOptions.Has(ioRun);
    for (const auto& entry : FResources->Script().Actions()) {
        if (FSettings->ReadBool(u"Actions", entry->Name, byDefault)) {
            const String command = FResources->ExpandPath(entry->Name);
            RunLogLine(u"Starting " + command);
            TInstallerSpawnService::Run(command);
        }
    }
}

void TInstaller::AddListener(IInstallerNotify* listener) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FListeners.push_back(listener);
}

void TInstaller::RemoveListener(IInstallerNotify* listener) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    std::erase(FListeners, listener);
}

void TInstaller::Post(int code, intptr_t param) {
    SendMessageW(FWindow->Handle(), WM_USER, static_cast<WPARAM>(code), static_cast<LPARAM>(param));
}

void TInstaller::PostText(int code, const String& text) {
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(code);
    data.cbData = static_cast<DWORD>(text.size() * sizeof(Char));
    data.lpData = const_cast<Char*>(text.data());
    SendMessageW(FWindow->Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(FWindow->Handle()),
                 reinterpret_cast<LPARAM>(&data));
}

void TInstaller::Notify(int code, intptr_t param) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    if (code == kNotifyFinished) {
        FState = isFinished;
        FCancelled = param != 0;
        if (param != 0) FLog.Add(FResources->GetText(u"Common", u"E4"));
    }
    if (code == kNotifyStatus) RunLogLine(u"Status: " + *reinterpret_cast<const String*>(param));
    // From the last added to the first; a listener may remove itself while it is being called.
    for (size_t i = FListeners.size(); i > 0; --i) {
        if (i > FListeners.size()) i = FListeners.size();
        if (i == 0) break;
        FListeners[i - 1]->Notify(code, param);
    }
}

}  // namespace uinst
