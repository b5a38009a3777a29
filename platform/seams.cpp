#include "platform/seams.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <memory>

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

String gOkCaption;
String gCancelCaption;
thread_local HHOOK gCaptionHook = nullptr;

// Renames the buttons of the message box as it becomes active.
LRESULT CALLBACK CaptionHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t name[16] = {};
        GetClassNameW(box, name, 16);
        if (lstrcmpW(name, L"#32770") == 0) {
            if (HWND ok = GetDlgItem(box, IDOK); ok && !gOkCaption.empty()) SetWindowTextW(ok, WidePtr(gOkCaption));
            if (HWND cancel = GetDlgItem(box, IDCANCEL); cancel && !gCancelCaption.empty())
                SetWindowTextW(cancel, WidePtr(gCancelCaption));
        }
    }
    return CallNextHookEx(gCaptionHook, code, wParam, lParam);
}

int RealMessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
    // A box inside a box keeps the hook of the outer one.
    const bool hooked = !gCaptionHook && (!gOkCaption.empty() || !gCancelCaption.empty());
    if (hooked) gCaptionHook = SetWindowsHookExW(WH_CBT, CaptionHookProc, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(owner, WidePtr(text), WidePtr(caption), flags);
    if (hooked && gCaptionHook) {
        UnhookWindowsHookEx(gCaptionHook);
        gCaptionHook = nullptr;
    }
    return answer;
}

}  // namespace

TSeams& Seams() {
    static TSeams seams{
        RealOSVersion,
        [] { return IsUserAnAdmin() != FALSE; },
        RealMessageBox,
        RealShellOpen,
        [](uint32_t ms) { ::Sleep(ms); },
        [] { return static_cast<uint64_t>(GetTickCount64()); },
        [](const String& commandLine) { return StartProcess(commandLine); },
        [](int csidl) { return GetSpecialFolder(csidl); },
        [](TFileOperation) { return uint32_t{0}; },
        [](StringView) {},
    };
    return seams;
}

namespace {
String EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[256] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 256);
    return n > 0 && n < 256 ? FromWide(buffer, n) : String();
}
}  // namespace

void InstallFaultSeamsFromEnvironment() {
    const String fault = EnvironmentValue(L"UINST_TEST_FAULT");
    const size_t first = fault.find(u':'), second = fault.find(u':', first == String::npos ? 0 : first + 1);
    if (first != String::npos && second != String::npos) {
        const String name = fault.substr(0, first);
        const TFileOperation operation = name == u"create"   ? TFileOperation::foCreate
                                         : name == u"move"   ? TFileOperation::foMove
                                         : name == u"delete" ? TFileOperation::foDelete
                                                             : TFileOperation::foWrite;
        const long nth = std::wcstol(WidePtr(fault.substr(first + 1, second - first - 1)), nullptr, 10);
        const uint32_t error = static_cast<uint32_t>(std::wcstoul(WidePtr(fault.substr(second + 1)), nullptr, 10));
        auto count = std::make_shared<std::atomic<long>>(0);
        Seams().FileFault = [operation, nth, error, count](TFileOperation op) -> uint32_t {
            return op == operation && ++*count == nth ? error : 0;
        };
    }
    const String endAt = EnvironmentValue(L"UINST_TEST_END_AT");
    const String holdAt = EnvironmentValue(L"UINST_TEST_HOLD_AT");
    const size_t colon = holdAt.find(u':');
    const String holdStep = colon == String::npos ? String() : holdAt.substr(0, colon);
    const String holdFile = colon == String::npos ? String() : holdAt.substr(colon + 1);
    if (!endAt.empty() || !holdStep.empty())
        Seams().Checkpoint = [endAt, holdStep, holdFile](StringView step) {
            if (step == endAt) ExitProcess(kCheckpointExitCode);
            if (step != holdStep) return;
            const DWORD start = GetTickCount();
            while (GetFileAttributesW(WidePtr(holdFile)) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 60000)
                ::Sleep(20);
        };
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

void SetMessageBoxButtonCaptions(const String& ok, const String& cancel) {
    gOkCaption = ok;
    gCancelCaption = cancel;
}

}  // namespace uinst
