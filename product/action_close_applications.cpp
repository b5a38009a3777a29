#include "product/action_close_applications.h"

#include <windows.h>

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

void TInstallerActionCloseApplications::Execute() {
    SetStatus(GetCommonText(u"A8"));
    int passes = 0;
    for (;;) {
        const std::vector<String> found = ClosePass();
        Seams().Sleep(kPassPauseMs);
        if (found.empty()) return;
        if (++passes < kPassesBeforeAsking) continue;
        // Still open after about 30 seconds: the user may close it by hand and retry; a silent
        // run (or one without boxes) ends with an error that names what stayed open.
        const String message = Format(GetCommonText(u"E8"), {JoinLines(found)});
        bool retry = false;
        if (!Installer->Options().Has(ioSilent) && !MessageBoxesSuppressed()) {
            RunOnMainThread([&] {
                retry = ShowMessageBox(nullptr, message + u"\r\n\r\n" + GetCommonText(u"Q1"), GetCommonText(u"Caption"),
                                       MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
            });
        }
        if (!retry) throw EInstallerInstallError(message);
        passes = 0;
    }
}

}  // namespace uinst
