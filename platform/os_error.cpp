#include "platform/os_error.h"

#include <windows.h>

namespace uinst {

void RaiseOSError(uint32_t code, StringView context) {
    String message = SysErrorMessage(code);
    if (!context.empty()) message = String(context) + u": " + message;
    throw EOSError(code, std::move(message));
}

void RaiseLastOSError(StringView context) {
    RaiseOSError(GetLastError(), context);
}

}  // namespace uinst
