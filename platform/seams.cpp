#include "platform/seams.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>

#include "platform/process.h"
#include "platform/shell_folders.h"

namespace uinst {

namespace {

TOSVersion RealOSVersion() {
    // GetVersionEx is subject to manifest compatibility shims; RtlGetVersion tells the truth.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (fn && fn(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    }
    return {6, 1, 0};
}

bool RealShellOpen(const TShellRequest& r) {
    const HINSTANCE result = ShellExecuteW(nullptr, r.Verb.empty() ? nullptr : WidePtr(r.Verb), WidePtr(r.File),
                                           r.Parameters.empty() ? nullptr : WidePtr(r.Parameters),
                                           r.Directory.empty() ? nullptr : WidePtr(r.Directory), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

std::atomic<bool> gSuppressed{false};

}  // namespace

TSeams& Seams() {
    static TSeams seams{
        RealOSVersion,
        [] { return IsUserAnAdmin() != FALSE; },
        [](HWND owner, const String& text, const String& caption, UINT flags) {
            return MessageBoxW(owner, WidePtr(text), WidePtr(caption), flags);
        },
        RealShellOpen,
        [](uint32_t ms) { ::Sleep(ms); },
        [] { return static_cast<uint64_t>(GetTickCount64()); },
        [](const String& commandLine) { return StartProcess(commandLine); },
        [](int csidl) { return GetSpecialFolder(csidl); },
    };
    return seams;
}

bool IsWindowsVistaOrLater() {
    return Seams().OSVersion().Major >= 6;
}

bool IsWindows8OrLater() {
    const TOSVersion v = Seams().OSVersion();
    return v.Major > 6 || (v.Major == 6 && v.Minor >= 2);
}

bool IsWindows10OrLater() {
    return Seams().OSVersion().Major >= 10;
}

void SuppressMessageBoxes(bool suppress) {
    gSuppressed = suppress;
}
bool MessageBoxesSuppressed() {
    return gSuppressed;
}

int SafeMessageBoxAnswer(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_RETRYCANCEL:
        case MB_YESNOCANCEL:
        case MB_CANCELTRYCONTINUE:
            return IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}

int ShowMessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
    if (MessageBoxesSuppressed()) return SafeMessageBoxAnswer(flags);
    return Seams().MessageBox(owner, text, caption, flags);
}

}  // namespace uinst
