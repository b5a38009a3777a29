#pragma once
// The base of this program's own windows: registers the window class, ties the HWND to the C++
// object from WM_NCCREATE on, and owns the window. An exception thrown by a message handler
// never unwinds through the system's code: it is kept and rethrown by the message loop.
#include <windows.h>

#include <exception>

#include "base/string.h"

namespace uinst {

class TWindow {
public:
    TWindow() = default;
    // Destroys the window if it still exists.
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return FHandle; }
    // The object behind a window of this program, or none.
    static TWindow* FromHandle(HWND window);

protected:
    // Registers the class once per process (the background brush stays null: windows paint
    // themselves) and creates the window; raises the system's error on failure.
    void CreateHandle(const wchar_t* className, DWORD exStyle, const String& caption, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu = nullptr);
    // Messages of the window; the default hands them to DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called once the window is gone (WM_NCDESTROY); the handle is already cleared.
    virtual void HandleDestroyed() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND FHandle = nullptr;
};

// An exception kept from a message handler, rethrown here (the message loops call it after every
// dispatched message); nothing when there is none.
void RethrowWindowException();
bool HasWindowException();
// Keeps an exception for the message loop; used by callbacks that the system calls.
void KeepWindowException(std::exception_ptr error);

// IsDialogMessage for the window, with one addition: in read-only text viewers, which keep every
// key for themselves otherwise, Tab moves on, Escape cancels and Enter presses the default button.
bool DialogMessage(HWND window, MSG* msg);

// Runs the message loop until the window is destroyed (or WM_QUIT arrives), with the keyboard
// handling of dialogs (Tab, Enter, Escape) for the given window.
void RunModalLoop(HWND window);

}  // namespace uinst
