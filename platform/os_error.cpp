#include "platform/os_error.h"

#include <windows.h>

#include "base/format.h"

namespace uinst {

String SysErrorMessage(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    String text = n ? FromWide(buffer, n) : String();
    if (buffer) LocalFree(buffer);
    text = TrimRight(text);
    if (!text.empty() && text.back() == u'.') text.pop_back();
    if (text.empty()) text = Format(u"System error %d", {static_cast<int64_t>(code)});
    return text;
}

void RaiseOSError(uint32_t code, StringView context) {
    String message = SysErrorMessage(code);
    if (!context.empty()) message = String(context) + u": " + message;
    throw EOSError(code, std::move(message));
}

void RaiseLastOSError(StringView context) {
    RaiseOSError(GetLastError(), context);
}

}  // namespace uinst
