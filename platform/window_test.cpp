// Window base and drawing owners under Wine: messages reach the object, exceptions travel out of
// the message loop, a memory DC keeps what is drawn into it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/gdi.h"
#include "platform/window.h"

namespace uinst {
namespace {

class TProbeWindow : public TWindow {
public:
    TProbeWindow() { CreateHandle(L"uinst.TProbeWindow", 0, u"probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr); }
    int Created = 0;
    int Destroyed = 0;
    bool ThrowOnUser = false;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE) ++Created;
        if (message == WM_USER + 1) {
            if (ThrowOnUser) throw std::runtime_error("from the handler");
            return 42;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
    void HandleDestroyed() override { ++Destroyed; }
};

TEST(Window, MessagesReachTheObjectFromCreationToDestruction) {
    auto window = std::make_unique<TProbeWindow>();
    HWND handle = window->Handle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(window->Created, 1);
    EXPECT_EQ(TWindow::FromHandle(handle), window.get());
    EXPECT_EQ(SendMessageW(handle, WM_USER + 1, 0, 0), 42);
    wchar_t text[16] = {};
    GetWindowTextW(handle, text, 16);
    EXPECT_STREQ(text, L"probe");

    DestroyWindow(handle);
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(window->Destroyed, 1);
    EXPECT_EQ(TWindow::FromHandle(handle), nullptr);
    window.reset();  // no second DestroyWindow on a dead handle
}

TEST(Window, DestroyingTheObjectDestroysTheWindow) {
    HWND handle;
    {
        TProbeWindow window;
        handle = window.Handle();
        EXPECT_TRUE(IsWindow(handle));
    }
    EXPECT_FALSE(IsWindow(handle));
}

TEST(Window, AnExceptionOfAHandlerIsRethrownByTheLoopNotLost) {
    TProbeWindow window;
    window.ThrowOnUser = true;
    EXPECT_EQ(SendMessageW(window.Handle(), WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(HasWindowException());
    EXPECT_THROW(RethrowWindowException(), std::runtime_error);
    EXPECT_FALSE(HasWindowException());

    PostMessageW(window.Handle(), WM_USER + 1, 0, 0);
    PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_THROW(RunModalLoop(window.Handle()), std::runtime_error);
    DestroyWindow(window.Handle());
}

TEST(Gdi, MemoryDcKeepsWhatIsDrawnAndOwnersRelease) {
    TWindowDC screen(nullptr);
    TMemoryDC memory(screen.Get(), 20, 10);
    ASSERT_NE(memory.Get(), nullptr);
    TUniqueBrush brush(CreateSolidBrush(RGB(10, 20, 30)));
    RECT r{0, 0, 20, 10};
    FillRect(memory.Get(), &r, brush.Get());
    EXPECT_EQ(GetPixel(memory.Get(), 5, 5), RGB(10, 20, 30));
    {
        TUniquePen pen(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
        TSelectObject select(memory.Get(), pen.Get());
        EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_PEN), pen.Get());
    }
    EXPECT_NE(GetCurrentObject(memory.Get(), OBJ_PEN), nullptr);

    void* bits = nullptr;
    TUniqueBitmap dib = CreateDibSection(4, 3, &bits);
    ASSERT_TRUE(dib);
    ASSERT_NE(bits, nullptr);
    BITMAP info{};
    GetObjectW(dib.Get(), sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmBitsPixel, 32);
    HBITMAP raw = dib.Release();
    EXPECT_TRUE(DeleteObject(raw));
}

}  // namespace
}  // namespace uinst
