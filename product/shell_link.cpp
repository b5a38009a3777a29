#include "product/shell_link.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "base/paths.h"
#include "platform/com.h"
#include "platform/files.h"

namespace uinst {

namespace {

bool CreateLinkObject(TComPtr<IShellLinkW>& link, TComPtr<IPersistFile>& file) {
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())))
        return false;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid()));
}

String ReadLinkTarget(const String& linkFile) {
    const TComInitialization com;
    if (!com.Usable()) return String();
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
    const TComInitialization com;
    if (!com.Usable()) return false;
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
