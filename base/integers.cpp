#include "base/integers.h"

#include <limits>

namespace uinst {

namespace {

// Parses into a magnitude of at most `limit`; returns nothing on syntax errors or overflow.
std::optional<uint64_t> ParseMagnitude(StringView s, size_t& i, bool& hex, uint64_t limit) {
    hex = false;
    if (i < s.size() && s[i] == u'$') {
        hex = true, ++i;
    } else if (i < s.size() && (s[i] == u'x' || s[i] == u'X')) {
        hex = true, ++i;
    } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        hex = true, i += 2;
    }
    if (i >= s.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const Char c = s[i];
        unsigned digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        const uint64_t base = hex ? 16 : 10;
        if (value > (limit - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

template <typename T, typename U>
std::optional<T> Parse(StringView s) {
    using Limits = std::numeric_limits<T>;
    size_t i = 0;
    while (i < s.size() && s[i] == u' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    bool hex = false;
    // Hex may use the whole unsigned range; decimal stops at the signed limit.
    auto magnitude = ParseMagnitude(s, i, hex, std::numeric_limits<U>::max());
    if (!magnitude) return std::nullopt;
    if (!hex) {
        const uint64_t max = negative ? uint64_t(Limits::max()) + 1 : uint64_t(Limits::max());
        if (*magnitude > max) return std::nullopt;
    }
    const U bits = static_cast<U>(*magnitude);
    return static_cast<T>(negative ? static_cast<U>(0) - bits : bits);
}

}  // namespace

std::optional<int32_t> TryStrToInt(StringView text) {
    return Parse<int32_t, uint32_t>(text);
}
std::optional<int64_t> TryStrToInt64(StringView text) {
    return Parse<int64_t, uint64_t>(text);
}

int32_t StrToIntDef(StringView text, int32_t fallback) {
    return TryStrToInt(text).value_or(fallback);
}

}  // namespace uinst
