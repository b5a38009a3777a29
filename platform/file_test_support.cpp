#include "platform/file_test_support.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "base/paths.h"
#include "base/text_case.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace uinst::test {

namespace {

// Removes what the folder (a full path ending with a backslash) holds, then the folder itself.
void RemoveTree(const String& folder) {
    {
        WIN32_FIND_DATAW data;
        TUniqueFind find(FindFirstFileW(WidePtr(LongPathName(folder + u"*")), &data));
        if (find) {
            do {
                const String name = FromWide(data.cFileName);
                if (name == u"." || name == u"..") continue;
                const String path = folder + name;
                const String longPath = LongPathName(path);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(WidePtr(longPath), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(WidePtr(longPath));
                else if (IsLink(data.dwFileAttributes))
                    RemoveDirectoryW(WidePtr(longPath));
                else
                    RemoveTree(path + u"\\");
            } while (FindNextFileW(find.Get(), &data));
        }
    }
    // A program that still has the folder open (as its current folder, say) keeps it for a moment.
    const String longFolder = LongPathName(folder);
    for (int i = 0; i < 20 && !RemoveDirectoryW(WidePtr(longFolder)) && GetLastError() == ERROR_SHARING_VIOLATION; ++i)
        Sleep(50);
}

}  // namespace

TTempFolder::TTempFolder(StringView name) {
    static std::atomic<int> counter{0};
    FPath = GetTempFolder() + u"uinst " + String(name) + u" " + Utf8ToString(std::to_string(GetCurrentProcessId())) +
            u"-" + Utf8ToString(std::to_string(++counter)) + u"\\";
    RemoveTempTree(FPath);  // a leftover of an earlier process of the same number
    CreateDirectoryW(WidePtr(FPath), nullptr);
}

TTempFolder::~TTempFolder() {
    RemoveTempTree(FPath);
}

bool RemoveTempTree(const String& folder) {
    // The full form resolves "..": a name that climbs out of the temporary folder is refused.
    const String full = IncludeTrailingPathDelimiter(GetFullPath(folder));
    const String temp = IncludeTrailingPathDelimiter(GetFullPath(GetTempFolder()));
    if (temp.size() < 4 || full.size() <= temp.size() || !SameText(StringView(full).substr(0, temp.size()), temp))
        return false;
    // The shell's folder deletion cannot take names past MAX_PATH and then goes on with the
    // current folder instead; long names have no such limit.
    const String longFolder = LongPathName(full);
    const DWORD attributes = GetFileAttributesW(WidePtr(longFolder));
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (IsLink(attributes))
        RemoveDirectoryW(WidePtr(longFolder));
    else
        RemoveTree(full);
    return GetFileAttributesW(WidePtr(longFolder)) == INVALID_FILE_ATTRIBUTES;
}

std::vector<String> ListFiles(const String& folder, StringView mask) {
    std::vector<String> found;
    WIN32_FIND_DATAW data;
    const TUniqueFind find(FindFirstFileW(WidePtr(folder + String(mask)), &data));
    if (!find) return found;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(folder + FromWide(data.cFileName));
    } while (FindNextFileW(find.Get(), &data));
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace uinst::test
