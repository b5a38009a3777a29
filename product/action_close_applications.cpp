#include "product/action_close_applications.h"

#include <windows.h>

#include <algorithm>

#include "base/format.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/run_log.h"
#include "platform/message_window.h"
#include "platform/seams.h"

namespace uinst {

namespace {

String WindowDescription(HWND window, const char16_t* className) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    const String text = FromWide(title);
    return text.empty() ? String(className) : text + u" (" + className + u")";
}

String JoinLines(const std::vector<String>& items) {
    String out;
    for (const auto& item : items) out += (out.empty() ? u"" : u", ") + item;
    return out;
}

}  // namespace

std::vector<String> TInstallerActionCloseApplications::ClosePass() {
    std::vector<String> found;
    for (const char16_t* className : kWindowClasses) {
        if (FCancelled) break;
        HWND window = FindWindowW(reinterpret_cast<const wchar_t*>(className), nullptr);
        if (!window) continue;
        found.push_back(WindowDescription(window, className));
        RunLogLine(u"Closing " + found.back());
        // A sent message waits for the program; a program that does not answer cannot hang us.
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseMessageTimeoutMs, &result);
    }
    return found;
}

bool TInstallerActionCloseApplications::Pause() {
    for (uint32_t slept = 0; slept < kPassPauseMs; slept += kPauseSliceMs) {
        if (FCancelled) return false;
        Seams().Sleep(std::min(kPauseSliceMs, kPassPauseMs - slept));
    }
    return !FCancelled;
}

void TInstallerActionCloseApplications::Terminate() {
    FCancelled = true;
}

void TInstallerActionCloseApplications::Execute() {
    SetStatus(GetCommonText(u"A8"));
    int passes = 0;
    while (!FCancelled) {
        const std::vector<String> found = ClosePass();
        if (!Pause() || found.empty()) return;
        if (++passes < kPassesBeforeAsking) continue;
        // Still open after about 30 seconds: the user may close it by hand and retry; a silent
        // run (or one without boxes) ends with an error that names what stayed open.
        const String message = Format(GetCommonText(u"E8"), {JoinLines(found)});
        bool retry = false;
        if (!Installer->Options().Has(ioSilent) && !MessageBoxesSuppressed()) {
            RunOnMainThread([&] {
                // The user may have cancelled while this call waited for the main thread.
                if (FCancelled) return;
                retry = ShowMessageBox(nullptr, message + u"\r\n\r\n" + GetCommonText(u"Q1"), GetCommonText(u"Caption"),
                                       MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
            });
        }
        if (FCancelled) return;
        if (!retry) throw EInstallerInstallError(message);
        passes = 0;
    }
}

}  // namespace uinst
