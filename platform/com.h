#pragma once
// Owners for COM: the initialisation of the calling thread and one interface pointer.
#include <windows.h>

#include <objbase.h>

#include <utility>

namespace uinst {

// Joins the calling thread to a COM apartment for the object's lifetime. A thread that is in the
// other apartment model already stays there and can still use objects that support both; the
// object then undoes nothing, because it did nothing.
class TComInitialization {
public:
    explicit TComInitialization(DWORD model = COINIT_APARTMENTTHREADED) {
        const HRESULT hr = CoInitializeEx(nullptr, model);
        FInitialized = SUCCEEDED(hr);  // S_FALSE too: it counts and must be balanced
        FUsable = FInitialized || hr == RPC_E_CHANGED_MODE;
    }
    ~TComInitialization() {
        if (FInitialized) CoUninitialize();
    }
    TComInitialization(const TComInitialization&) = delete;
    TComInitialization& operator=(const TComInitialization&) = delete;

    // True when COM can be used on this thread.
    bool Usable() const { return FUsable; }

private:
    bool FInitialized = false;
    bool FUsable = false;
};

// Owner of one COM interface pointer.
template <typename I>
class TComPtr {
public:
    TComPtr() = default;
    // Takes over a reference that a function returned.
    explicit TComPtr(I* adopted) : FPtr(adopted) {}
    ~TComPtr() { Reset(); }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            FPtr = std::exchange(other.FPtr, nullptr);
        }
        return *this;
    }

    I* operator->() const { return FPtr; }
    I* Get() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    // For CoCreateInstance and QueryInterface, which return the pointer through a void**.
    void** PutVoid() {
        Reset();
        return reinterpret_cast<void**>(&FPtr);
    }
    I** Put() {
        Reset();
        return &FPtr;
    }
    void Reset() {
        if (FPtr) std::exchange(FPtr, nullptr)->Release();
    }

private:
    I* FPtr = nullptr;
};

}  // namespace uinst
