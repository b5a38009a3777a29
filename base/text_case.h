#pragma once
// Case rules of the user's default locale: every case-insensitive comparison of the program
// (switches, package names, INI sections and keys, language lists) goes through these.
#include "base/string.h"

namespace uinst {

// Equal length and equal with case ignored.
bool SameText(StringView a, StringView b);
String UpperCase(StringView text);
String LowerCase(StringView text);
// Ordering with case ignored: negative, zero or positive.
int CompareText(StringView a, StringView b);
// The logical order of file lists: runs of digits compare by their value, other characters
// without regard to case ("File2" before "file10").
int CompareLogical(StringView a, StringView b);

}  // namespace uinst
