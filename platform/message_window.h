#pragma once
// Hidden message-only windows of the main thread, waits that keep serving sent messages, and the
// synchronised call that runs a function on the main thread for a worker.
#include <windows.h>

#include <functional>
#include <optional>

#include "base/string.h"

namespace uinst {

class TMessageWindow {
public:
    // Returns a result to handle the message, nothing to pass it to DefWindowProc.
    using THandler = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

    // Registers the class on first use and creates the window on the calling thread.
    TMessageWindow(const String& className, THandler handler);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    HWND Handle() const { return FHandle; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND FHandle = nullptr;
    THandler FHandler;
};

// Dispatches the messages sent to this thread's windows that are waiting.
void DispatchSentMessages();
// Waits for the handle (or the time-out) while dispatching sent messages; true when signalled.
bool WaitWithMessages(HANDLE handle, DWORD timeoutMs = INFINITE);
// Sleeps while dispatching sent messages.
void SleepWithMessages(DWORD milliseconds);

// Sends the message (both parameters 0 unless given) to the process's top-level windows, in the
// screen's window order. Collected first: a window that handles it may open or close others.
void SendToProcessWindows(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The synchronised call: the main thread creates the call window once; any thread may then run a
// function on the main thread and wait for it. Exceptions travel back to the caller.
void InitializeMainThreadCalls();
bool IsMainThread();
void RunOnMainThread(const std::function<void()>& function);

}  // namespace uinst
