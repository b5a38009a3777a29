#pragma once
// 8-bit text in Windows code pages. On Windows the system converts; elsewhere iconv does, with
// code page 1252 standing for the system's ANSI code page.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/string.h"

namespace uinst {

inline constexpr uint32_t kCodePageUtf8 = 65001;

// The system's ANSI code page (GetACP on Windows, 1252 elsewhere).
uint32_t SystemAnsiCodePage();

// The library's process-wide ANSI code page setting: 0 means the system's ANSI code page. A
// language file's "ANSICP" sets it; every later conversion from 8-bit text uses it.
int32_t AnsiCodePageSetting();
void SetAnsiCodePageSetting(int32_t codePage);
// The code page the setting stands for.
uint32_t EffectiveAnsiCodePage();

// Converts bytes of the code page (0 = the system's ANSI code page). Strict conversion fails on
// bytes that are not valid in the code page; otherwise they become replacement characters.
std::optional<String> DecodeCodePage(const void* data, size_t size, uint32_t codePage, bool strict = false);
// Converts text into the code page; characters it lacks become "?".
std::string EncodeCodePage(StringView text, uint32_t codePage);

}  // namespace uinst
