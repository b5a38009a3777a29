#pragma once
// UTF-16 strings, as the stored formats count them, and the conversions at byte boundaries.
#include <string>
#include <string_view>

namespace uinst {

using String = std::u16string;
using StringView = std::u16string_view;
using Char = char16_t;

// Invalid UTF-8 sequences become U+FFFD; unpaired surrogates on the way back become U+FFFD too.
String Utf8ToString(std::string_view utf8);
std::string StringToUtf8(StringView text);

// A literal ASCII text as a String, for names and formats the program writes itself.
inline String Ascii(std::string_view text) {
    return String(text.begin(), text.end());
}

// Removes characters with code below 33 at both ends (the trimming rule of the whole program).
String Trim(StringView text);
String TrimLeft(StringView text);
String TrimRight(StringView text);

#ifdef _WIN32
// char16_t and wchar_t are the same 16 bits on Windows: the one place that reinterprets them.
inline const wchar_t* WidePtr(const String& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* WidePtr(String& text) {
    return reinterpret_cast<wchar_t*>(text.data());
}
inline String FromWide(const wchar_t* text) {
    return text ? String(reinterpret_cast<const char16_t*>(text)) : String();
}
inline String FromWide(const wchar_t* text, size_t length) {
    return String(reinterpret_cast<const char16_t*>(text), length);
}
#endif

}  // namespace uinst
