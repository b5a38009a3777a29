#include "product/setup_helper.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/errors.h"
#include "base/format.h"
#include "base/paths.h"
#include "platform/files.h"
#include "base/string_list.h"
#include "base/text_case.h"
#include "engine/installer_errors.h"
#include "engine/run_journal.h"
#include "platform/handles.h"
#include "product/user_accounts.h"

namespace uinst {

namespace {

struct TFolderEntry {
    String Name;
    DWORD Attributes;
};

bool IsFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A full path of a folder below a drive or share root ("C:\X", "\\server\share\X").
bool IsBelowRoot(StringView full) {
    if (full.size() >= 3 && full[1] == u':' && full[2] == u'\\') return full.size() > 3;
    if (full.compare(0, 2, u"\\\\") != 0) return false;
    int parts = 0;
    size_t i = 2;
    while (i < full.size()) {
        const size_t next = std::min(full.find(u'\\', i), full.size());
        if (next > i) ++parts;
        i = next + 1;
    }
    return parts >= 3;
}

// The entries of a folder (its path ends with a backslash) without "." and "..". All of them are
// read before any is changed. False when the folder cannot be listed.
bool ListFolder(const String& folder, std::vector<TFolderEntry>& entries) {
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileExW(WidePtr(LongPathName(folder + u"*")), FindExInfoBasic, &data,
                                      FindExSearchNameMatch, nullptr, 0));
    if (!find) return false;
    do {
        String name = FromWide(data.cFileName);
        if (name == u"." || name == u"..") continue;
        entries.push_back({std::move(name), data.dwFileAttributes});
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

bool DeleteFolderContent(const String& folder) {
    std::vector<TFolderEntry> entries;
    if (!ListFolder(folder, entries)) return false;
    for (const TFolderEntry& entry : entries) {
        const String path = folder + entry.Name;
        bool removed;
        if (IsFolder(entry.Attributes)) {
            // A link is removed as it stands; its target keeps its content.
            if (!IsLink(entry.Attributes)) DeleteFolderContent(path + u"\\");
            removed = RemoveDirectoryW(WidePtr(LongPathName(path)));
        } else {
            removed = DeleteFileW(WidePtr(LongPathName(path)));
        }
        if (!removed) return false;
    }
    return true;
}

// Creates the folder (no trailing backslash) and its missing parents, each journaled first.
bool ForceFolder(const String& folder) {
    uint32_t error = 0;
    return JournaledForceFolders(folder, error);
}

// Source and target end with a backslash. The excluded folder (the target when it lies inside
// the source) is not copied into itself.
// The entry a copy stopped at, with the system's reason.
struct TCopyFailure {
    String Path;
    DWORD Error = ERROR_SUCCESS;
};

bool CopyFolderContent(const String& source, const String& target, const String& excluded, TCopyFailure& failure) {
    const auto fail = [&failure](const String& path) {
        failure = {path, GetLastError()};
        return false;
    };
    std::vector<TFolderEntry> entries;
    if (!ListFolder(source, entries)) return fail(source);
    for (const TFolderEntry& entry : entries) {
        if (!ForceFolder(ExcludeTrailingPathDelimiter(target))) return fail(target);
        const String from = source + entry.Name;
        const String to = target + entry.Name;
        if (IsFolder(entry.Attributes)) {
            if (IsLink(entry.Attributes) || SameText(from + u"\\", excluded)) continue;
            if (!CopyFolderContent(from + u"\\", to + u"\\", excluded, failure)) return false;
            continue;
        }
        JournalReplacing(to);  // a file of the target that the copy replaces comes back on rollback
        if (!CopyFileW(WidePtr(LongPathName(from)), WidePtr(LongPathName(to)), FALSE)) {
            // A read-only file of an earlier copy is replaced like any other.
            SetFileAttributesW(WidePtr(LongPathName(to)), FILE_ATTRIBUTE_NORMAL);
            if (!CopyFileW(WidePtr(LongPathName(from)), WidePtr(LongPathName(to)), FALSE)) return fail(from);
        }
    }
    return true;
}

}  // namespace

void TSetupHelper::CopyFolder(const String& source, const String& target) {
    if (SameText(IncludeTrailingPathDelimiter(source), IncludeTrailingPathDelimiter(target))) return;
    const auto fail = [&] { return EInstallerInstallError(Format(u"Cannot copy \"%s\" to \"%s\"", {source, target})); };
    // A relative path would depend on the current folder.
    if (!IsAbsoluteFolderPath(source) || !IsAbsoluteFolderPath(target)) throw fail();
    const String from = IncludeTrailingPathDelimiter(GetFullPath(source));
    const String to = IncludeTrailingPathDelimiter(GetFullPath(target));
    if (from.size() < 2 || to.size() < 2) throw fail();
    if (SameText(from, to)) return;
    const DWORD attributes = GetFileAttributesW(WidePtr(LongPathName(from)));
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsFolder(attributes)) throw fail();
    TCopyFailure failure;
    if (!CopyFolderContent(from, to, to, failure))
        throw EInstallerInstallError(Format(u"Cannot copy \"%s\" to \"%s\": \"%s\": %s",
                                            {source, target, failure.Path, SysErrorMessage(failure.Error)}));
}

void TSetupHelper::RemoveEntriesUnder(TORLStringList& list, const String& folder) {
    if (folder.empty()) return;  // would match every entry
    const String prefix = IncludeTrailingPathDelimiter(folder);
    for (int i = list.Count() - 1; i >= 0; --i) {
        const StringView entry = list[i];
        if (entry.size() >= prefix.size() && SameText(entry.substr(0, prefix.size()), prefix)) list.Delete(i);
    }
}

bool DeleteFolderTree(const String& folder) {
    try {
        if (!IsAbsoluteFolderPath(folder)) return false;
        const String full = ExcludeTrailingPathDelimiter(GetFullPath(folder));
        if (!IsBelowRoot(full)) return false;
        const DWORD attributes = GetFileAttributesW(WidePtr(LongPathName(full)));
        if (attributes == INVALID_FILE_ATTRIBUTES || !IsFolder(attributes)) return false;
        if (!IsLink(attributes)) DeleteFolderContent(full + u"\\");
        return RemoveDirectoryW(WidePtr(LongPathName(full))) != 0;
    } catch (...) {
        return false;  // out of memory: the caller goes on as after any failed removal
    }
}

}  // namespace uinst
