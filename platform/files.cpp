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

String GetCurrentFolder() {
    DWORD size = MAX_PATH + 1;
    for (int tries = 0; tries < 4; ++tries) {
        String buffer(size, u'\0');
        const DWORD n = GetCurrentDirectoryW(size, WidePtr(buffer));
        if (n == 0) return String();
        if (n < size) {
            buffer.resize(n);
            return buffer;
        }
        size = n;
    }
    return String();
}

bool ForceFolders(const String& folder, uint32_t& error, const std::function<void(const String&)>& beforeCreate) {
    error = ERROR_SUCCESS;
    const String path = ExcludeTrailingPathDelimiter(folder);
    if (path.empty() || DirectoryExists(path)) return true;
    const String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
    // Below a root ("C:", "\\server") nothing is made: the root exists, or the creation fails.
    const bool parentIsRoot =
        parent.size() <= 2 || (parent.compare(0, 2, u"\\\\") == 0 && parent.find(u'\\', 2) == String::npos);
    if (!parentIsRoot && parent.size() < path.size() && !ForceFolders(parent, error, beforeCreate)) return false;
    if (beforeCreate) beforeCreate(path);
    if (CreateDirectoryW(WidePtr(LongPathName(path)), nullptr)) return true;
    error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && DirectoryExists(path)) {
        error = ERROR_SUCCESS;
        return true;
    }
    return false;
}

String StartablePath(const String& path) {
    if (path.size() < MAX_PATH) return path;
    String buffer(32768, u'\0');
    const DWORD n = GetShortPathNameW(WidePtr(LongPathName(path)), WidePtr(buffer), 32768);
    if (n == 0 || n >= 32768) return path;
    buffer.resize(n);
    // The answer keeps the prefix of the question, which the loader does not take.
    if (buffer.compare(0, 8, u"\\\\?\\UNC\\") == 0)
        buffer = u"\\\\" + buffer.substr(8);
    else if (buffer.compare(0, 4, u"\\\\?\\") == 0)
        buffer.erase(0, 4);
    return buffer.size() < MAX_PATH ? buffer : path;
}

bool FileExists(StringView path) {
    const String p(path);
    const DWORD a = GetFileAttributesW(WidePtr(LongPathName(p)));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(StringView path) {
    const String p(path);
    const DWORD a = GetFileAttributesW(WidePtr(LongPathName(p)));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSizeOf(StringView path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(WidePtr(LongPathName(path)), GetFileExInfoStandard, &info)) return 0;
    return (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::vector<uint8_t> ReadFileBytes(StringView path) {
    const String p(path);
    TUniqueFile file(CreateFileW(WidePtr(LongPathName(p)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    TUniqueFile file(CreateFileW(WidePtr(LongPathName(p)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
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
