#include "ui/testing/wizard_driver.h"

#include "platform/window.h"
#include "ui/form.h"
#include "ui/image.h"

namespace uinst::testing {

namespace {

struct TFind {
    DWORD ProcessId;
    const wchar_t* ClassName;
    HWND Found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<TFind*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (lstrcmpW(name, find->ClassName) == 0 && (!find->ProcessId || process == find->ProcessId) &&
        IsWindowVisible(window)) {
        find->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForTopLevel(DWORD processId, const wchar_t* className, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        TFind find{processId, className};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&find));
        if (find.Found) return find.Found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        TWizardDriver::Pump(20);
    }
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool IsClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, className) == 0;
}

}  // namespace

HWND TWizardDriver::FindWizard(DWORD processId, DWORD timeoutMs) {
    return WaitForTopLevel(processId, L"uinst.TInstallerForm", timeoutMs);
}

HWND TWizardDriver::FindLanguageDialog(DWORD processId, DWORD timeoutMs) {
    return WaitForTopLevel(processId, L"uinst.TInstallerLanguageDialog", timeoutMs);
}

HWND TWizardDriver::FindMessageBox(DWORD processId, DWORD timeoutMs) {
    return WaitForTopLevel(processId, L"#32770", timeoutMs);
}

String TWizardDriver::MessageBoxText(HWND box) {
    String text;
    for (HWND child : ChildrenOf(box))
        if (IsClass(child, L"Static")) text += Text(child);
    return text;
}

HWND TWizardDriver::ActivePage() const {
    for (HWND child : ChildrenOf(FWizard))
        if (IsClass(child, L"uinst.TInstallerPage") && Visible(child)) return child;
    return nullptr;
}

String TWizardDriver::ActivePageName() const {
    HWND page = ActivePage();
    return page ? Text(page) : String();
}

bool TWizardDriver::WaitForPage(StringView name, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (ActivePageName() != name) {
        if (GetTickCount() - start > timeoutMs || !Alive()) return false;
        Pump(10);
    }
    return true;
}

bool TWizardDriver::WaitUntilClosed(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (Alive()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Pump(10);
    }
    return true;
}

HWND TWizardDriver::NextButton() const {
    return GetDlgItem(FWizard, TInstallerForm::kNextId);
}

HWND TWizardDriver::BackButton() const {
    return GetDlgItem(FWizard, TInstallerForm::kBackId);
}

std::vector<HWND> TWizardDriver::Controls() const {
    HWND page = ActivePage();
    return page ? ChildrenOf(page) : std::vector<HWND>();
}

HWND TWizardDriver::Control(StringView caption) const {
    for (HWND child : Controls())
        if (Text(child) == caption) return child;
    return nullptr;
}

HWND TWizardDriver::ControlOfClass(const wchar_t* className, int index) const {
    for (HWND child : Controls())
        if (IsClass(child, className) && index-- == 0) return child;
    return nullptr;
}

String TWizardDriver::Text(HWND window) {
    wchar_t text[4096] = {};
    // WM_GETTEXT rather than GetWindowText: it reaches controls of other processes too.
    SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return FromWide(text);
}

bool TWizardDriver::Visible(HWND window) {
    return window && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool TWizardDriver::Enabled(HWND window) {
    return window && IsWindowEnabled(window);
}

bool TWizardDriver::Checked(HWND box) {
    return box && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TWizardDriver::Click(HWND button) {
    // A click that opens a message box returns only when the box is closed; the caller gets
    // control back after a while to find and answer it.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &ignored);
    Pump();
}

void TWizardDriver::Type(HWND edit, StringView text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (char16_t c : text) {
        // Not forever: a message box that the keystroke opens would hold the call.
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutW(edit, WM_CHAR, static_cast<WPARAM>(c), 1, SMTO_NORMAL, 10000, &ignored)) return;
        Pump();
    }
}

void TWizardDriver::PressKey(HWND window, WORD key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    Pump(20);
}

void TWizardDriver::Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (!root || !DialogMessage(root, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        RethrowWindowException();
        if (milliseconds) Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

void TWizardDriver::Screenshot(const String& fileName) const {
    RedrawWindow(FWizard, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveWindowPng(FWizard, fileName);
}

void TWizardDriver::ScreenCapture(const String& fileName) const {
    // Painting now sends WM_PAINT to the windows, of another process too, and returns when they
    // have painted.
    RedrawWindow(FWizard, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(50);
    TScreenPicture(FWizard).Save(fileName);
}

TScreenPicture::TScreenPicture(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    void* bits = nullptr;
    FBitmap = CaptureScreen(window, &bits);
    FBits = static_cast<const DWORD*>(bits);
    FWidth = client.right;
    FHeight = client.bottom;
}

COLORREF TScreenPicture::Pixel(int x, int y) const {
    if (!FBits || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return CLR_INVALID;
    const DWORD bgra = FBits[static_cast<size_t>(y) * static_cast<size_t>(FWidth) + static_cast<size_t>(x)];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

void TScreenPicture::Save(const String& fileName) const {
    SaveBitmapPng(FBitmap.Get(), fileName);
}

}  // namespace uinst::testing
