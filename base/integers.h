#pragma once
// Integer parsing of texts from switches, scripts and INI files: optional leading spaces, an
// optional sign, then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits.
#include <cstdint>
#include <optional>

#include "base/string.h"

namespace uinst {

// Hexadecimal values up to FFFFFFFF are accepted and wrap into the negative range, as a
// 32-bit handle or colour written in hex does.
std::optional<int32_t> TryStrToInt(StringView text);
std::optional<int64_t> TryStrToInt64(StringView text);
int32_t StrToIntDef(StringView text, int32_t fallback);

}  // namespace uinst
