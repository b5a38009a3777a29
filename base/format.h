#pragma once
// Formatting of the language texts' patterns: "%s" takes a text, "%d" a number, "%%" is a
// percent sign, and "%N:s" names the argument by its index. Patterns come from language files,
// so a pattern that asks for more arguments than given keeps its marker instead of failing.
#include <cstdint>
#include <initializer_list>
#include <variant>

#include "base/string.h"

namespace uinst {

class FormatArg {
public:
    FormatArg(StringView text) : FValue(String(text)) {}
    FormatArg(const String& text) : FValue(text) {}
    FormatArg(const char16_t* text) : FValue(String(text)) {}
    FormatArg(int value) : FValue(static_cast<int64_t>(value)) {}
    FormatArg(long value) : FValue(static_cast<int64_t>(value)) {}
    FormatArg(long long value) : FValue(static_cast<int64_t>(value)) {}
    FormatArg(unsigned value) : FValue(static_cast<int64_t>(value)) {}
    FormatArg(unsigned long value) : FValue(static_cast<int64_t>(value)) {}
    FormatArg(unsigned long long value) : FValue(static_cast<int64_t>(value)) {}
    String AsText() const;

private:
    std::variant<String, int64_t> FValue;
};

String Format(StringView pattern, std::initializer_list<FormatArg> args);
String IntToStr(int64_t value);

}  // namespace uinst
