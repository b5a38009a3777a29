#include "base/errors.h"

#include <iterator>

#include "base/format.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

namespace uinst {

String SysErrorMessage(uint32_t code) {
#ifdef _WIN32
    // A buffer of our own: the system's texts are short, and nothing has to be freed afterwards.
    wchar_t buffer[1024];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                   static_cast<DWORD>(std::size(buffer)), nullptr);
    String text = TrimRight(FromWide(buffer, n));
#else
    String text = TrimRight(Utf8ToString(std::strerror(static_cast<int>(code))));
#endif
    if (!text.empty() && text.back() == u'.') text.pop_back();
    if (text.empty()) text = Format(u"System error %d", {static_cast<int64_t>(code)});
    return text;
}

}  // namespace uinst
