#pragma once
#include <cstdint>

#include "base/errors.h"

namespace uinst {

// Raises EOSError for the code (GetLastError() by default), prefixed with context when given.
[[noreturn]] void RaiseOSError(uint32_t code, StringView context = {});
[[noreturn]] void RaiseLastOSError(StringView context = {});

}  // namespace uinst
