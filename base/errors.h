#pragma once
// Exceptions carry a user-readable message and nothing else.
#include <cstdint>
#include <exception>
#include <string>

#include "base/string.h"

namespace uinst {

class Exception : public std::exception {
public:
    explicit Exception(String message) : FMessage(std::move(message)), FUtf8(StringToUtf8(FMessage)) {}
    const String& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    String FMessage;
    std::string FUtf8;
};

// An operating-system error with the system's own text.
class EOSError : public Exception {
public:
    EOSError(uint32_t code, String message) : Exception(std::move(message)), FErrorCode(code) {}
    uint32_t ErrorCode() const { return FErrorCode; }

private:
    uint32_t FErrorCode;
};

// The system's text for an error code (a Windows error code; errno elsewhere), without the
// trailing full stop and line break.
String SysErrorMessage(uint32_t code);

}  // namespace uinst
