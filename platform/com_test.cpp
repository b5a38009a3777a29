#include "platform/com.h"

#include <gtest/gtest.h>

#include <thread>

namespace uinst {
namespace {

// Runs the check on a thread of its own, which starts outside any COM apartment.
template <typename F>
void OnFreshThread(F check) {
    std::thread(check).join();
}

TEST(ComInitialization, LeavesTheThreadAsItFoundIt) {
    OnFreshThread([] {
        {
            const TComInitialization com;
            EXPECT_TRUE(com.Usable());
        }
        // Had the apartment stayed, this would be refused as a change of model.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK);
        if (SUCCEEDED(hr)) CoUninitialize();
    });
}

TEST(ComInitialization, WorksInAThreadOfTheOtherModelAndKeepsIt) {
    OnFreshThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            const TComInitialization com(COINIT_APARTMENTTHREADED);
            EXPECT_TRUE(com.Usable());
        }
        // Still initialised once, in the multi-threaded model: joining it again only counts.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    });
}

class TCountedObject : public IUnknown {
public:
    ULONG References = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override { return --References; }
};

TEST(ComPtr, ReleasesOnceWhenResetMovedOrDestroyed) {
    TCountedObject object;
    {
        TComPtr<IUnknown> first;
        *first.Put() = &object;
        TComPtr<IUnknown> second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), &object);
        EXPECT_EQ(object.References, 1u);
    }
    EXPECT_EQ(object.References, 0u);

    object.References = 1;
    TComPtr<IUnknown> pointer(&object);  // adopts the reference it was handed
    pointer.PutVoid();                   // a fresh out parameter gives up what was held
    EXPECT_EQ(object.References, 0u);
    EXPECT_FALSE(pointer);
}

}  // namespace
}  // namespace uinst
