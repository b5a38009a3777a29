#include "ui/startup_window.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <thread>
#include <vector>

#include "base/string.h"
#include "platform/handles.h"
#include "ui/scale.h"

namespace uinst {

namespace {

constexpr DWORD kDelayMs = 500;
constexpr wchar_t kClass[] = L"uinst.TStartupWindow";

// The caption of the program from its version information ("ORVO Setup"): the language files
// are not open yet.
String ProgramCaption() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size) {
        std::vector<uint8_t> data(size);
        void* value = nullptr;
        UINT length = 0;
        if (GetFileVersionInfoW(path, 0, size, data.data()) &&
            VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileDescription", &value, &length) && length)
            return FromWide(static_cast<const wchar_t*>(value));
    }
    return u"Setup";
}

void RunWindow(HANDLE stop) {
    if (WaitForSingleObject(stop, kDelayMs) == WAIT_OBJECT_0) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_APPSTARTING));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);
    const String caption = ProgramCaption();
    HWND window = CreateWindowExW(WS_EX_TOPMOST, kClass, WidePtr(caption), WS_POPUP | WS_CAPTION, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (!window) return;
    const TScale scale(WindowDpi(window));
    SetClientSize(window, scale(300), scale(40));
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_MARQUEE, scale(12), scale(12),
                               scale(276), scale(16), window, nullptr, wc.hInstance, nullptr);
    SendMessageW(bar, PBM_SETMARQUEE, TRUE, 30);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    for (;;) {
        const DWORD r2 = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (r2 != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    DestroyWindow(window);
}

}  // namespace

std::function<void()> ShowStartupWindow() {
    auto stop = std::make_shared<TUniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto thread = std::make_shared<std::thread>([event = stop->Get()] { RunWindow(event); });
    return [stop, thread] {
        SetEvent(stop->Get());
        if (thread->joinable()) thread->join();
    };
}

}  // namespace uinst
