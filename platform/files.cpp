#include "platform/files.h"

#include <windows.h>

#include <algorithm>

#include "base/paths.h"
#include "platform/handles.h"
#include "platform/os_error.h"

namespace uinst {

String GetTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) RaiseLastOSError(u"GetTempPath");
    return IncludeTrailingPathDelimiter(FromWide(buffer, n));
}

String GetFullPath(const String& path) {
    if (path.empty()) return String();
    DWORD size = MAX_PATH;
    for (int tries = 0; tries < 4; ++tries) {
        String buffer(size, u'\0');
        const DWORD n = GetFullPathNameW(WidePtr(path), size, WidePtr(buffer), nullptr);
        if (n == 0) return String();
        if (n < size) {
            buffer.resize(n);
            return buffer;
        }
        size = n;  // too small: n is the size needed, with the terminating zero
    }
    return String();
}

bool IsLink(uint32_t attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FileExists(StringView path) {
    const String p(path);
    const DWORD a = GetFileAttributesW(WidePtr(p));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(StringView path) {
    const String p(path);
    const DWORD a = GetFileAttributesW(WidePtr(p));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<uint8_t> ReadFileBytes(StringView path) {
    const String p(path);
    TUniqueFile file(CreateFileW(WidePtr(p), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError(p);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) RaiseLastOSError(p);
    std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < data.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        if (!ReadFile(file.Get(), data.data() + done, chunk, &read, nullptr)) RaiseLastOSError(p);
        if (read == 0) break;
        done += read;
    }
    data.resize(done);
    return data;
}

void WriteFileBytes(StringView path, const void* data, size_t size) {
    const String p(path);
    TUniqueFile file(CreateFileW(WidePtr(p), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError(p);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        if (!WriteFile(file.Get(), bytes + done, chunk, &written, nullptr)) RaiseLastOSError(p);
        done += written;
    }
}

}  // namespace uinst
