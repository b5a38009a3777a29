#include "base/text_case.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <clocale>
#include <cwctype>
#include <locale.h>
#endif

namespace uinst {

namespace {

bool IsAscii(StringView s) {
    for (Char c : s)
        if (c >= 0x80) return false;
    return true;
}

Char AsciiUpper(Char c) {
    return (c >= u'a' && c <= u'z') ? static_cast<Char>(c - 32) : c;
}
Char AsciiLower(Char c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<Char>(c + 32) : c;
}

#ifndef _WIN32
// The portable fallback: Unicode simple case mapping of glibc's C.UTF-8 locale, applied per
// code unit (surrogates map to themselves).
locale_t UnicodeLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}

Char UnitUpper(Char c) {
    if (c < 0x80) return AsciiUpper(c);
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    locale_t loc = UnicodeLocale();
    if (!loc) return c;
    wint_t u = towupper_l(static_cast<wint_t>(c), loc);
    return u <= 0xFFFF ? static_cast<Char>(u) : c;
}

Char UnitLower(Char c) {
    if (c < 0x80) return AsciiLower(c);
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    locale_t loc = UnicodeLocale();
    if (!loc) return c;
    wint_t u = towlower_l(static_cast<wint_t>(c), loc);
    return u <= 0xFFFF ? static_cast<Char>(u) : c;
}
#endif

String MapCase(StringView text, bool upper) {
    String out(text);
    if (IsAscii(text)) {
        for (Char& c : out) c = upper ? AsciiUpper(c) : AsciiLower(c);
        return out;
    }
#ifdef _WIN32
    if (!out.empty()) {
        const DWORD flags = upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE;
        const int n = LCMapStringW(LOCALE_USER_DEFAULT, flags, reinterpret_cast<LPCWSTR>(text.data()),
                                   static_cast<int>(text.size()), nullptr, 0);
        if (n > 0) {
            out.assign(static_cast<size_t>(n), u'\0');
            LCMapStringW(LOCALE_USER_DEFAULT, flags, reinterpret_cast<LPCWSTR>(text.data()),
                         static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(out.data()), n);
        }
    }
#else
    for (Char& c : out) c = upper ? UnitUpper(c) : UnitLower(c);
#endif
    return out;
}

}  // namespace

String UpperCase(StringView text) {
    return MapCase(text, true);
}
String LowerCase(StringView text) {
    return MapCase(text, false);
}

int CompareText(StringView a, StringView b) {
#ifdef _WIN32
    if (!IsAscii(a) || !IsAscii(b)) {
        const int r =
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<LPCWSTR>(a.data()),
                           static_cast<int>(a.size()), reinterpret_cast<LPCWSTR>(b.data()), static_cast<int>(b.size()));
        if (r != 0) return r - CSTR_EQUAL;
    }
#endif
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
#ifdef _WIN32
        const Char x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
#else
        const Char x = UnitUpper(a[i]), y = UnitUpper(b[i]);
#endif
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(StringView a, StringView b) {
    if (a.size() != b.size()) return false;
    if (IsAscii(a) && IsAscii(b)) {
        for (size_t i = 0; i < a.size(); ++i)
            if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
        return true;
    }
    return CompareText(a, b) == 0;
}

int CompareLogical(StringView a, StringView b) {
    auto digit = [](Char c) { return c >= u'0' && c <= u'9'; };
    size_t i = 0, j = 0;
    int zerosTieBreak = 0;  // fewer leading zeros first when the values are equal
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t si = i, sj = j;
            while (si < a.size() && a[si] == u'0') ++si;
            while (sj < b.size() && b[sj] == u'0') ++sj;
            size_t ei = si, ej = sj;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (size_t k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
            if (zerosTieBreak == 0 && (si - i) != (sj - j)) zerosTieBreak = (si - i) < (sj - j) ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        // Compare the non-digit runs as text, case ignored.
        size_t ei = i, ej = j;
        while (ei < a.size() && !digit(a[ei])) ++ei;
        while (ej < b.size() && !digit(b[ej])) ++ej;
        const size_t n = (ei - i) < (ej - j) ? (ei - i) : (ej - j);
        if (const int r = CompareText(a.substr(i, n), b.substr(j, n)); r != 0) return r;
        if ((ei - i) != (ej - j)) {
            // One run is a prefix of the other: the shorter run is followed by a digit or the end.
            return (ei - i) < (ej - j) ? -1 : 1;
        }
        i = ei;
        j = ej;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return zerosTieBreak;
}

}  // namespace uinst
