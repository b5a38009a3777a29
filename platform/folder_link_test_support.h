#pragma once
// Test helper: folder links (symbolic links or junctions) for the tests that check that nothing
// walks through one.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/string.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/process.h"

namespace uinst::test {

inline bool IsLinkAt(const String& path) {
    return IsLink(GetFileAttributesW(WidePtr(path)));
}

// Wine keeps folder links as the host's symbolic links; it makes none through CreateSymbolicLinkW
// or a mount point, so the host's own tool makes one there.
using TWineUnixFileName = char*(CDECL*)(LPCWSTR);
inline TWineUnixFileName WineUnixFileName() {
    return reinterpret_cast<TWineUnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

inline std::string HostPath(const String& path) {
    char* name = WineUnixFileName()(WidePtr(ExcludeTrailingPathDelimiter(path)));
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a host program; its arguments are split by the Windows rules, so each is double-quoted.
inline void RunHostTool(const String& program, const std::vector<std::string>& arguments) {
    String line = program;
    for (const std::string& a : arguments) line += u" \"" + Utf8ToString(a) + u"\"";
    // Wine starts a host program without a process handle to wait on: the caller waits for the
    // link to appear or go instead.
    const TUniqueHandle process =
        StartProcess(line, {.Application = program, .InheritHandles = false, .Directory = {}});
    if (process) WaitForSingleObject(process.Get(), 10000);
}

inline bool WaitForLink(const String& link, bool present) {
    for (int i = 0; i < 100; ++i) {
        if (IsLinkAt(link) == present && (present || GetFileAttributesW(WidePtr(link)) == INVALID_FILE_ATTRIBUTES))
            return true;
        Sleep(20);
    }
    return false;
}

inline bool MakeJunction(const String& link, const String& target) {
    if (!CreateDirectoryW(WidePtr(link), nullptr)) return false;
    TUniqueFile folder(CreateFileW(WidePtr(link), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    bool made = false;
    if (folder) {
        const String substitute = u"\\??\\" + target;
        const size_t subBytes = substitute.size() * 2, printBytes = target.size() * 2;
        std::vector<uint8_t> buffer(16 + subBytes + 2 + printBytes + 2);
        const auto put16 = [&](size_t at, size_t v) {
            buffer[at] = static_cast<uint8_t>(v);
            buffer[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(buffer.data(), &tag, 4);
        put16(4, buffer.size() - 8);
        put16(10, subBytes);
        put16(12, subBytes + 2);
        put16(14, printBytes);
        std::memcpy(buffer.data() + 16, substitute.data(), subBytes);
        std::memcpy(buffer.data() + 16 + subBytes + 2, target.data(), printBytes);
        DWORD returned = 0;
        made = DeviceIoControl(folder.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                               nullptr, 0, &returned, nullptr);
    }
    folder.Reset();  // the folder cannot go while it is open
    if (!made) RemoveDirectoryW(WidePtr(link));
    return made && IsLinkAt(link);
}

// A link (no trailing backslash) to a folder, removed when the test ends.
class TFolderLink {
public:
    TFolderLink(String link, const String& target) : FLink(std::move(link)) {
        const String to = ExcludeTrailingPathDelimiter(target);
        if (CreateSymbolicLinkW(WidePtr(FLink), WidePtr(to),
                                SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
            IsLinkAt(FLink))
            FMade = true;
        else if (MakeJunction(FLink, to))
            FMade = true;
        else if (WineUnixFileName()) {
            RunHostTool(u"Z:\\bin\\ln", {"-s", HostPath(to), HostPath(FLink)});
            FMade = WaitForLink(FLink, true);
        }
    }
    ~TFolderLink() {
        // A link whose target is gone no longer shows as existing: remove it all the same.
        if (FMade && !RemoveDirectoryW(WidePtr(FLink)) && WineUnixFileName()) {
            RunHostTool(u"Z:\\bin\\rm", {"-f", HostPath(FLink)});
            WaitForLink(FLink, false);
        }
    }
    bool Made() const { return FMade; }

private:
    String FLink;
    bool FMade = false;
};

// Whether RemoveDirectoryW takes a folder link away on this system, tried on a link of its own in
// the scratch folder. Wine cannot: it sees the folder the link shows.
inline bool RemoveDirectoryTakesLinks(const String& scratchFolder, const String& target) {
    const String probe = scratchFolder + u"link probe";
    const TFolderLink link(probe, target);
    return link.Made() && RemoveDirectoryW(WidePtr(probe)) && !IsLinkAt(probe);
}

}  // namespace uinst::test
