#pragma once
#include <cstdint>

#include "base/errors.h"

namespace uinst {

// The system's text for an error code, without the trailing line break.
String SysErrorMessage(uint32_t code);
// Raises EOSError for the code (GetLastError() by default), prefixed with context when given.
[[noreturn]] void RaiseOSError(uint32_t code, StringView context = {});
[[noreturn]] void RaiseLastOSError(StringView context = {});

}  // namespace uinst
