#include "product/action_close_applications.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/engine_test_support.h"
#include "platform/message_window.h"
#include "platform/seams.h"

namespace uinst {
namespace {

using namespace test;

std::atomic<int> gCloseRequests{0};

LRESULT CALLBACK StayOpenWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m != WM_CLOSE) return DefWindowProcW(h, m, w, l);
    ++gCloseRequests;
    return 0;
}

// A library window that refuses to close, on a thread of its own.
class TStayingOpenWindow {
public:
    TStayingOpenWindow() {
        FThread = std::thread([this] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = StayOpenWindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TORVOLibMainForm";
            RegisterClassW(&wc);
            HWND w = CreateWindowExW(0, L"TORVOLibMainForm", L"Library", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     wc.hInstance, nullptr);
            FReady = true;
            MSG msg;
            while (!FStop) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                Sleep(5);
            }
            DestroyWindow(w);
        });
        while (!FReady) Sleep(1);
    }
    ~TStayingOpenWindow() {
        FStop = true;
        FThread.join();
    }

private:
    std::thread FThread;
    std::atomic<bool> FReady{false}, FStop{false};
};

TEST(CloseApplications, ACancelledRunStopsInThePauseAndAsksNothing) {
    InitializeMainThreadCalls();
    gCloseRequests = 0;
    std::atomic<int> slices{0}, slicesAfterCancel{0};
    std::atomic<bool> cancelled{false};
    TSeamOverride sleep(Seams().Sleep, std::function<void(uint32_t)>([&](uint32_t ms) {
                            EXPECT_LE(ms, TInstallerActionCloseApplications::kPauseSliceMs);
                            ++slices;
                            if (cancelled) ++slicesAfterCancel;
                            Sleep(5);
                        }));
    int boxes = 0;
    TSeamOverride box(Seams().MessageBox, std::function<int(HWND, const String&, const String&, UINT)>(
                                              [&](HWND, const String&, const String&, UINT) {
                                                  ++boxes;
                                                  return IDRETRY;
                                              }));
    UseTestProduct([](TTestProduct& p) {
        p.Classes = {ActionClassOf<TInstallerActionCloseApplications>(u"TInstallerActionCloseApplications")};
    });
    TStayingOpenWindow window;
    auto installer = MakeInstaller(u"/AUTO=C:\\X");  // with a window: it would ask after ~30 s
    installer->Start(false);
    // Serve the worker's reports until it pauses after its first pass.
    while (slices < 3) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(1);
    }
    const int requests = gCloseRequests;
    cancelled = true;
    installer->FreeThread();

    EXPECT_LE(slicesAfterCancel.load(), 1);      // the slice under way, if any
    EXPECT_EQ(gCloseRequests.load(), requests);  // no further pass
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(installer->State(), isFinished);
    ASSERT_EQ(installer->Log().Count(), 1);  // only the cancellation
    EXPECT_EQ(installer->Log()[0], u"The installation was cancelled.");
}

}  // namespace
}  // namespace uinst
