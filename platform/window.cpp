#include "platform/window.h"

#include <utility>

#include "platform/os_error.h"

namespace uinst {

namespace {

thread_local std::exception_ptr PendingError;
constexpr wchar_t kObjectProperty[] = L"uinst.TWindow";

}  // namespace

TWindow::~TWindow() {
    if (FHandle) {
        HWND handle = FHandle;
        // The object is going: the remaining messages of the window go to DefWindowProc.
        RemovePropW(handle, kObjectProperty);
        FHandle = nullptr;
        DestroyWindow(handle);
    }
}

TWindow* TWindow::FromHandle(HWND window) {
    return window ? static_cast<TWindow*>(GetPropW(window, kObjectProperty)) : nullptr;
}

void TWindow::CreateHandle(const wchar_t* className, DWORD exStyle, const String& caption, DWORD style, int x, int y,
                           int width, int height, HWND parent, HMENU menu) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, className, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) RaiseLastOSError(FromWide(className));
    }
    HWND handle =
        CreateWindowExW(exStyle, className, WidePtr(caption), style, x, y, width, height, parent, menu, instance, this);
    RethrowWindowException();
    if (!handle) RaiseLastOSError(FromWide(className));
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FHandle = hwnd;
        SetPropW(hwnd, kObjectProperty, self);
    } else {
        self = FromHandle(hwnd);
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        if (!PendingError) PendingError = std::current_exception();
        result = message == WM_NCCREATE ? FALSE : 0;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kObjectProperty);
        self->FHandle = nullptr;
        self->HandleDestroyed();
    }
    return result;
}

void RethrowWindowException() {
    if (PendingError) std::rethrow_exception(std::exchange(PendingError, nullptr));
}

bool HasWindowException() {
    return PendingError != nullptr;
}

void KeepWindowException(std::exception_ptr error) {
    if (!PendingError) PendingError = std::move(error);
}

namespace {

bool IsReadOnlyViewer(HWND control) {
    if ((GetWindowLongW(control, GWL_STYLE) & (ES_READONLY | ES_MULTILINE)) != (ES_READONLY | ES_MULTILINE))
        return false;
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return lstrcmpiW(name, L"Edit") == 0 || lstrcmpiW(name, L"RichEdit20W") == 0;
}

}  // namespace

bool DialogMessage(HWND window, MSG* msg) {
    // Read-only text viewers ask for every key, and in a dialog they answer Escape by closing their
    // parent (a page, not the window) and Enter by looking for a default button among their
    // siblings: Tab, Escape and Enter stay the window's keys there.
    if (msg->message == WM_KEYDOWN && msg->hwnd && IsChild(window, msg->hwnd) && IsReadOnlyViewer(msg->hwnd)) {
        switch (msg->wParam) {
            case VK_TAB:
                if (HWND next = GetNextDlgTabItem(window, msg->hwnd, GetKeyState(VK_SHIFT) < 0)) SetFocus(next);
                return true;
            case VK_ESCAPE:
                SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
                return true;
            case VK_RETURN: {
                const LRESULT defaultId = SendMessageW(window, DM_GETDEFID, 0, 0);
                HWND button = HIWORD(defaultId) == DC_HASDEFID ? GetDlgItem(window, LOWORD(defaultId)) : nullptr;
                if (button && IsWindowEnabled(button))
                    SendMessageW(window, WM_COMMAND, MAKEWPARAM(LOWORD(defaultId), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
                return true;
            }
        }
    }
    return IsDialogMessageW(window, msg) != FALSE;
}

void RunModalLoop(HWND window) {
    MSG msg;
    while (IsWindow(window)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsWindow(window) || !DialogMessage(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        RethrowWindowException();
    }
    RethrowWindowException();
}

}  // namespace uinst
