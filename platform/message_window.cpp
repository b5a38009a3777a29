#include "platform/message_window.h"

#include <exception>
#include <memory>
#include <vector>

#include "platform/os_error.h"

namespace uinst {

TMessageWindow::TMessageWindow(const String& className, THandler handler) : FHandler(std::move(handler)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!GetClassInfoExW(instance, WidePtr(className), &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TMessageWindow::WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = WidePtr(className);
        if (!RegisterClassExW(&wc)) RaiseLastOSError(className);
    }
    FHandle = CreateWindowExW(0, WidePtr(className), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (!FHandle) RaiseLastOSError(className);
}

TMessageWindow::~TMessageWindow() {
    if (FHandle) {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

LRESULT CALLBACK TMessageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TMessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->FHandler) {
        if (auto result = self->FHandler(message, wParam, lParam)) return *result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DispatchSentMessages() {
    // Peeking delivers the messages other threads sent to this thread's windows.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

bool WaitWithMessages(HANDLE handle, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            wait = static_cast<DWORD>(timeoutMs - elapsed);
        }
        const DWORD count = handle ? 1 : 0;
        const DWORD r = MsgWaitForMultipleObjects(count, handle ? &handle : nullptr, FALSE, wait, QS_SENDMESSAGE);
        if (handle && r == WAIT_OBJECT_0) return true;
        if (r == WAIT_OBJECT_0 + count) {
            DispatchSentMessages();
            continue;
        }
        if (r == WAIT_TIMEOUT) return false;
        if (r == WAIT_FAILED) RaiseLastOSError(u"MsgWaitForMultipleObjects");
    }
}

void SleepWithMessages(DWORD milliseconds) {
    WaitWithMessages(nullptr, milliseconds);
}

namespace {

constexpr UINT kCallMessage = WM_APP + 1;
DWORD gMainThreadId = 0;
std::unique_ptr<TMessageWindow> gCallWindow;

struct TCall {
    const std::function<void()>* Function;
    std::exception_ptr Error;
};

}  // namespace

void InitializeMainThreadCalls() {
    if (gCallWindow) return;
    gMainThreadId = GetCurrentThreadId();
    gCallWindow = std::make_unique<TMessageWindow>(u"TInstallerSynchronizer",
                                                   [](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                                                       if (message != kCallMessage) return std::nullopt;
                                                       auto* call = reinterpret_cast<TCall*>(lParam);
                                                       try {
                                                           (*call->Function)();
                                                       } catch (...) {
                                                           call->Error = std::current_exception();
                                                       }
                                                       return 0;
                                                   });
}

bool IsMainThread() {
    return gMainThreadId == 0 || GetCurrentThreadId() == gMainThreadId;
}

void RunOnMainThread(const std::function<void()>& function) {
    if (!gCallWindow || GetCurrentThreadId() == gMainThreadId) {
        function();
        return;
    }
    TCall call{&function, nullptr};
    SendMessageW(gCallWindow->Handle(), kCallMessage, 0, reinterpret_cast<LPARAM>(&call));
    if (call.Error) std::rethrow_exception(call.Error);
}

namespace {
BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}
}  // namespace

void SendToProcessWindows(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> windows;
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (IsWindow(window)) SendMessageW(window, message, wParam, lParam);
}

}  // namespace uinst
