#include "base/code_page.h"

#include <atomic>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace uinst {

namespace {
std::atomic<int32_t> gAnsiCodePage{0};
}

uint32_t SystemAnsiCodePage() {
#ifdef _WIN32
    return GetACP();
#else
    return 1252;
#endif
}

int32_t AnsiCodePageSetting() {
    return gAnsiCodePage.load(std::memory_order_relaxed);
}
void SetAnsiCodePageSetting(int32_t codePage) {
    gAnsiCodePage.store(codePage, std::memory_order_relaxed);
}

uint32_t EffectiveAnsiCodePage() {
    const int32_t cp = AnsiCodePageSetting();
    return cp > 0 ? static_cast<uint32_t>(cp) : SystemAnsiCodePage();
}

#ifdef _WIN32

std::optional<String> DecodeCodePage(const void* data, size_t size, uint32_t codePage, bool strict) {
    if (size == 0) return String();
    if (codePage == 0) codePage = SystemAnsiCodePage();
    const auto* bytes = static_cast<const char*>(data);
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int n = MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), nullptr, 0);
    if (n <= 0) return std::nullopt;
    String out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), reinterpret_cast<LPWSTR>(out.data()), n);
    return out;
}

std::string EncodeCodePage(StringView text, uint32_t codePage) {
    if (text.empty()) return std::string();
    if (codePage == 0) codePage = SystemAnsiCodePage();
    const auto* wide = reinterpret_cast<LPCWSTR>(text.data());
    const int n = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

#else

namespace {

std::string IconvName(uint32_t codePage) {
    if (codePage == 0) codePage = SystemAnsiCodePage();
    switch (codePage) {
        case kCodePageUtf8:
            return "UTF-8";
        case 1200:
            return "UTF-16LE";
        case 1201:
            return "UTF-16BE";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        default:
            return "CP" + std::to_string(codePage);
    }
}

class TIconv {
public:
    TIconv(const std::string& to, const std::string& from) : FHandle(iconv_open(to.c_str(), from.c_str())) {}
    ~TIconv() {
        if (Valid()) iconv_close(FHandle);
    }
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

}  // namespace

std::optional<String> DecodeCodePage(const void* data, size_t size, uint32_t codePage, bool strict) {
    if (size == 0) return String();
    TIconv cd("UTF-16LE", IconvName(codePage));
    if (!cd.Valid()) return std::nullopt;
    std::vector<char> out(size * 4 + 8);
    char* in = const_cast<char*>(static_cast<const char*>(data));
    size_t inLeft = size;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    String result;
    while (inLeft > 0) {
        const size_t r = iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) return std::nullopt;  // cannot happen with four units per byte
        if (strict) return std::nullopt;
        // An invalid or truncated sequence: one replacement character for the byte, then go on.
        if (outLeft < 2) return std::nullopt;
        *outPtr++ = static_cast<char>(0xFD);
        *outPtr++ = static_cast<char>(0xFF);
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    const size_t bytes = out.size() - outLeft;
    result.resize(bytes / 2);
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<Char>(static_cast<uint8_t>(out[2 * i]) | (static_cast<uint8_t>(out[2 * i + 1]) << 8));
    return result;
}

std::string EncodeCodePage(StringView text, uint32_t codePage) {
    if (text.empty()) return std::string();
    TIconv cd(IconvName(codePage), "UTF-16LE");
    if (!cd.Valid()) return std::string();
    std::string in(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        in[2 * i] = static_cast<char>(text[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::string out(text.size() * 4 + 8, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        if (outLeft < 1) break;
        *outPtr++ = '?';
        --outLeft;
        // Skip the unconvertible unit, and its low surrogate with it.
        const bool high = inLeft >= 4 && (static_cast<uint8_t>(inPtr[1]) & 0xFC) == 0xD8;
        const size_t skip = high ? 4 : 2;
        inPtr += skip > inLeft ? inLeft : skip;
        inLeft -= skip > inLeft ? inLeft : skip;
    }
    out.resize(out.size() - outLeft);
    return out;
}

#endif

}  // namespace uinst
