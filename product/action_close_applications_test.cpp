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

// Top-level windows of one class on a thread of their own, as another program has them.
// DefWindowProcW closes on WM_CLOSE; StayOpenWindowProc refuses.
class TOtherProgramWindows {
public:
    TOtherProgramWindows(const wchar_t* className, const wchar_t* title, int count, WNDPROC procedure) {
        FThread = std::thread([=, this] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = className;
            RegisterClassW(&wc);
            std::vector<HWND> windows;
            for (int i = 0; i < count; ++i)
                windows.push_back(CreateWindowExW(0, className, title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                                  wc.hInstance, nullptr));
            FReady = true;
            MSG msg;
            while (!FStop) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                Sleep(5);
            }
            for (HWND window : windows)
                if (IsWindow(window)) DestroyWindow(window);
        });
        while (!FReady) Sleep(1);
    }
    ~TOtherProgramWindows() {
        FStop = true;
        FThread.join();
    }

private:
    std::thread FThread;
    std::atomic<bool> FReady{false}, FStop{false};
};

void UseCloseApplicationsOnly() {
    UseTestProduct([](TTestProduct& p) {
        p.Classes = {ActionClassOf<TInstallerActionCloseApplications>(u"TInstallerActionCloseApplications")};
    });
}

TEST(CloseApplications, ClosesOneWindowOfEachClassPerPass) {
    uint32_t slept = 0;  // the pause between passes is 2 s, slept in slices
    TSeamOverride sleep(Seams().Sleep, std::function<void(uint32_t)>([&](uint32_t ms) { slept += ms; }));
    UseCloseApplicationsOnly();
    {
        auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
        installer->Start(true);
        EXPECT_FALSE(installer->HasErrors());
        EXPECT_EQ(slept, 2000u);  // nothing runs: one pass
    }
    slept = 0;
    TOtherProgramWindows players(L"TORVOMainForm", L"ORVO", 2, DefWindowProcW);
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    installer->Start(true);
    EXPECT_FALSE(installer->HasErrors());
    EXPECT_EQ(slept, 6000u);  // one window per pass, then a pass that finds none
    EXPECT_EQ(FindWindowW(L"TORVOMainForm", nullptr), nullptr);
}

TEST(CloseApplications, ASilentRunGivesUpOnAProgramThatStaysOpen) {
    TSeamOverride sleep(Seams().Sleep, std::function<void(uint32_t)>([](uint32_t) {}));
    UseCloseApplicationsOnly();
    TOtherProgramWindows library(L"TORVOLibMainForm", L"Library", 1, StayOpenWindowProc);
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    installer->Start(true);
    ASSERT_EQ(installer->Log().Count(), 1);
    EXPECT_EQ(installer->Log()[0].rfind(u"Still running: Library (TORVOLibMainForm)\r\n", 0), 0u);
}

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
    UseCloseApplicationsOnly();
    TOtherProgramWindows library(L"TORVOLibMainForm", L"Library", 1, StayOpenWindowProc);
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
