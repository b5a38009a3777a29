#include "product/shell_link.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <utility>

#include "base/paths.h"
#include "platform/files.h"

namespace uinst {

namespace {

// Owner of one COM interface pointer.
template <typename I>
class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() { Reset(); }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;

    I* operator->() const { return FPtr; }
    I* Get() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    void** PutVoid() {
        Reset();
        return reinterpret_cast<void**>(&FPtr);
    }
    void Reset() {
        if (FPtr) std::exchange(FPtr, nullptr)->Release();
    }

private:
    I* FPtr = nullptr;
};

// Once per thread, apartment model. Never undone: other code on the thread may rely on it, and
// the thread's end cleans up. A thread already in the multi-threaded apartment can still use
// the shell link object, which supports both.
void EnsureComInitialized() {
    thread_local bool initialized = false;
    if (initialized) return;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialized = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

bool CreateLinkObject(TComPtr<IShellLinkW>& link, TComPtr<IPersistFile>& file) {
    EnsureComInitialized();
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())))
        return false;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid()));
}

String ReadLinkTarget(const String& linkFile) {
    TComPtr<IShellLinkW> link;
    TComPtr<IPersistFile> file;
    if (!CreateLinkObject(link, file)) return String();
    if (FAILED(file->Load(WidePtr(linkFile), STGM_READ))) return String();
    String target(32767, u'\0');
    // Flags 0: the ordinary path, not the raw one with unexpanded variables.
    if (link->GetPath(reinterpret_cast<wchar_t*>(target.data()), static_cast<int>(target.size()), nullptr, 0) != S_OK)
        return String();
    target.resize(target.find(u'\0'));
    return target;
}

}  // namespace

bool CreateShellLink(const String& linkFile, const String& target) {
    if (!FileExists(target)) return false;
    TComPtr<IShellLinkW> link;
    TComPtr<IPersistFile> file;
    if (!CreateLinkObject(link, file)) return false;
    if (FAILED(link->SetPath(WidePtr(target)))) return false;
    // TRUE: the link file becomes the object's current file.
    return SUCCEEDED(file->Save(WidePtr(LongPathName(linkFile)), TRUE));
}

String GetShellLinkTarget(const String& linkFile) {
    if (linkFile.empty()) return String();
    return ReadLinkTarget(LongPathName(linkFile));
}

}  // namespace uinst
