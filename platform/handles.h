#pragma once
// Owners of Win32 resources: each handle type closes with its own function.
#include <windows.h>

#include <utility>

namespace uinst {

// Traits give the handle type, its invalid value and how to close it.
template <typename Traits>
class TUniqueResource {
    using T = typename Traits::Type;
    static T Invalid() { return Traits::Invalid(); }

public:
    TUniqueResource() = default;
    explicit TUniqueResource(T value) : FValue(value) {}
    ~TUniqueResource() { Reset(); }
    TUniqueResource(const TUniqueResource&) = delete;
    TUniqueResource& operator=(const TUniqueResource&) = delete;
    TUniqueResource(TUniqueResource&& other) noexcept : FValue(std::exchange(other.FValue, Invalid())) {}
    TUniqueResource& operator=(TUniqueResource&& other) noexcept {
        if (this != &other) {
            Reset();
            FValue = std::exchange(other.FValue, Invalid());
        }
        return *this;
    }

    T Get() const { return FValue; }
    bool Valid() const { return FValue != Invalid() && FValue != T(); }
    explicit operator bool() const { return Valid(); }
    T Release() { return std::exchange(FValue, Invalid()); }
    void Reset(T value = Traits::Invalid()) {
        if (Valid()) Traits::Close(FValue);
        FValue = value;
    }
    // For APIs that return the handle through an out pointer.
    T* Put() {
        Reset();
        return &FValue;
    }

private:
    T FValue = Traits::Invalid();
};

template <typename H, BOOL(WINAPI* CloseFn)(H), bool InvalidIsMinusOne>
struct THandleTraits {
    using Type = H;
    static H Invalid() { return InvalidIsMinusOne ? reinterpret_cast<H>(INVALID_HANDLE_VALUE) : nullptr; }
    static void Close(H h) { CloseFn(h); }
};
struct TKeyTraits {
    using Type = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY k) { ::RegCloseKey(k); }
};

// Kernel objects whose failure value is NULL (processes, threads, events).
using TUniqueHandle = TUniqueResource<THandleTraits<HANDLE, ::CloseHandle, false>>;
// Files, whose failure value is INVALID_HANDLE_VALUE.
using TUniqueFile = TUniqueResource<THandleTraits<HANDLE, ::CloseHandle, true>>;
using TUniqueFind = TUniqueResource<THandleTraits<HANDLE, ::FindClose, true>>;
using TUniqueKey = TUniqueResource<TKeyTraits>;
using TUniqueModule = TUniqueResource<THandleTraits<HMODULE, ::FreeLibrary, false>>;

}  // namespace uinst
