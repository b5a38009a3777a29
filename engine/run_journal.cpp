#include "engine/run_journal.h"

#include <windows.h>

#include <string>

#include "base/errors.h"
#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/engine_routines.h"
#include "engine/run_log.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"
#include "platform/os_error.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/seams.h"

namespace uinst {

namespace {

constexpr char16_t kHeader[] = u"uInstaller journal 1";
constexpr char16_t kStagingName[] = u"staged\\";

TRunJournal* gActive = nullptr;

// --- the line format ----------------------------------------------------------------------------

String Escape(StringView field) {
    String out;
    out.reserve(field.size());
    for (const Char c : field) {
        switch (c) {
            case u'\\':
                out += u"\\\\";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\n':
                out += u"\\n";
                break;
            case u'\r':
                out += u"\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::vector<String> SplitLine(StringView line) {
    std::vector<String> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        const Char c = line[i];
        if (c == u'\t') {
            fields.emplace_back();
        } else if (c == u'\\' && i + 1 < line.size()) {
            const Char next = line[++i];
            fields.back().push_back(next == u't' ? u'\t' : next == u'n' ? u'\n' : next == u'r' ? u'\r' : next);
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// The complete lines of the journal; a last line without its line break was cut off.
std::vector<std::vector<String>> ReadRecords(const String& fileName) {
    std::vector<std::vector<String>> records;
    // Shared for writing: the running journal keeps its file open.
    TUniqueFile file(CreateFileW(WidePtr(LongPathName(fileName)), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return records;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), buffer, buffer + read);
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        const std::string line(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
        start = i + 1;
        if (!line.empty()) records.push_back(SplitLine(Utf8ToString(line)));
    }
    return records;
}

// --- small file-system helpers ------------------------------------------------------------------

DWORD Attributes(const String& path) {
    return GetFileAttributesW(WidePtr(LongPathName(ExcludeTrailingPathDelimiter(path))));
}
bool PathExists(const String& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}
bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates the folder's missing parents and the folder; the ones created are appended.
bool CreateFolders(const String& folder, std::vector<String>* created) {
    const String path = ExcludeTrailingPathDelimiter(folder);
    if (path.empty()) return false;
    if (IsFolder(Attributes(path))) return true;
    const String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(path));
    if (!parent.empty() && parent.size() < path.size() && !(parent.size() == 2 && parent[1] == u':'))
        if (!CreateFolders(parent, created)) return false;
    if (!CreateDirectoryW(WidePtr(LongPathName(path)), nullptr)) return IsFolder(Attributes(path));
    if (created) created->push_back(path);
    return true;
}

// Deletes a folder with everything in it; links are removed, never entered. False when anything
// is left.
bool DeleteTree(const String& folder) {
    const String path = ExcludeTrailingPathDelimiter(folder);
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!IsFolder(attributes)) {
        SetFileAttributesW(WidePtr(LongPathName(path)), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(WidePtr(LongPathName(path)))) return true;
        // A set-aside program that is still running: out of the way now, gone at the next restart.
        DeleteOrDefer(path);
        return !PathExists(path);
    }
    bool ok = true;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<String> names;
        WIN32_FIND_DATAW data;
        TUniqueFind find(FindFirstFileW(WidePtr(LongPathName(path + u"\\*")), &data));
        if (find) {
            do {
                const String name = FromWide(data.cFileName);
                if (name != u"." && name != u"..") names.push_back(name);
            } while (FindNextFileW(find.Get(), &data));
        }
        find.Reset();
        for (const String& name : names) ok = DeleteTree(path + u"\\" + name) && ok;
    }
    return RemoveDirectoryW(WidePtr(LongPathName(path))) && ok;
}

// Copies a file or a folder tree (links are not followed).
bool CopyTree(const String& from, const String& to) {
    const DWORD attributes = Attributes(from);
    if (!IsFolder(attributes)) return CopyFileW(WidePtr(LongPathName(from)), WidePtr(LongPathName(to)), FALSE) != 0;
    if (!CreateDirectoryW(WidePtr(LongPathName(to)), nullptr) && !IsFolder(Attributes(to))) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileW(WidePtr(LongPathName(from + u"\\*")), &data));
    if (!find) return true;
    bool ok = true;
    DWORD firstError = ERROR_SUCCESS;  // what the caller reads from GetLastError
    do {
        const String name = FromWide(data.cFileName);
        if (name != u"." && name != u".." && !CopyTree(from + u"\\" + name, to + u"\\" + name)) {
            if (ok) firstError = GetLastError();
            ok = false;
        }
    } while (FindNextFileW(find.Get(), &data));
    if (!ok) SetLastError(firstError);
    return ok;
}

// A move that the fault seam may fail.
bool Move(const String& from, const String& to, DWORD flags) {
    if (const DWORD fault = Seams().FileFault(TFileOperation::foMove)) {
        SetLastError(fault);
        return false;
    }
    return MoveFileExW(WidePtr(LongPathName(from)), WidePtr(LongPathName(to)), flags) != 0;
}

String ErrorText(DWORD error) {
    return SysErrorMessage(error);
}

// --- the registry -------------------------------------------------------------------------------

String HexOf(const std::vector<uint8_t>& bytes) {
    static const char16_t digits[] = u"0123456789abcdef";
    String out;
    for (const uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::vector<uint8_t> BytesOf(StringView hex) {
    std::vector<uint8_t> out;
    auto value = [](Char c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        return -1;
    };
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0) break;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

// The key's values and subkeys as groups of four fields: subkey (relative), value name, type (or
// "key" for a key of its own), data in hex.
void SnapshotKey(HKEY key, const String& relative, std::vector<String>& out) {
    out.insert(out.end(), {relative, String(), u"key", String()});
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(maxName + 2, L'\0');
        std::vector<uint8_t> data(maxData + 2);
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS)
            continue;
        data.resize(dataLength);
        out.insert(out.end(), {relative, FromWide(name.c_str(), nameLength), IntToStr(type), HexOf(data)});
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(maxSubkey + 2, L'\0');
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        const String child = FromWide(name.c_str(), nameLength);
        TUniqueKey sub;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, sub.Put()) == ERROR_SUCCESS)
            SnapshotKey(sub.Get(), relative.empty() ? child : relative + u"\\" + child, out);
    }
}

// The journal lies beside the installation, where whoever may write the folder may write it
// too: a rollback only ever runs or registers files of the installation folder itself, and only
// restores entries of the list of installed programs.
constexpr DWORD kHelperUndoWaitMs = 5 * 60 * 1000;

bool InsideFolder(const String& path, const String& folder) {
    const String full = GetFullPath(path);
    const String base = IncludeTrailingPathDelimiter(GetFullPath(folder));
    return !full.empty() && base.size() > 1 && full.size() > base.size() &&
           SameText(StringView(full).substr(0, base.size()), base);
}

// The program of a command line: its first word, quoted or not.
String ProgramOf(const String& commandLine) {
    if (!commandLine.empty() && commandLine[0] == u'"') {
        const size_t end = commandLine.find(u'"', 1);
        return end == String::npos ? String() : commandLine.substr(1, end - 1);
    }
    return commandLine.substr(0, commandLine.find(u' '));
}

bool IsUninstallEntryKey(const String& path) {
    constexpr StringView kPrefix = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    return path.size() > kPrefix.size() && SameText(StringView(path).substr(0, kPrefix.size()), kPrefix) &&
           path.find(u"..") == String::npos;
}

HKEY RootOf(StringView text) {
    const std::string utf8 = StringToUtf8(String(text));
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(std::strtoll(utf8.c_str(), nullptr, 10)));
}

String RootText(HKEY root) {
    return IntToStr(static_cast<int64_t>(reinterpret_cast<intptr_t>(root)));
}

// Puts the key back as the snapshot shows it: the key as it is now goes, the snapshot returns.
bool RestoreKey(HKEY root, REGSAM view, const String& path, bool existed, const std::vector<String>& fields,
                size_t first) {
    TRegistryKey::DeleteTree(root, path, view);
    if (!existed) return !TRegistryKey::Open(root, path, KEY_READ | view);
    bool ok = true;
    for (size_t i = first; i + 3 < fields.size(); i += 4) {
        const String keyPath = fields[i].empty() ? path : path + u"\\" + fields[i];
        TUniqueKey key;
        if (RegCreateKeyExW(root, WidePtr(keyPath), 0, nullptr, 0, KEY_WRITE | view, nullptr, key.Put(), nullptr) !=
            ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        if (fields[i + 2] == u"key") continue;
        const std::vector<uint8_t> data = BytesOf(fields[i + 3]);
        const DWORD type = static_cast<DWORD>(std::strtoul(StringToUtf8(fields[i + 2]).c_str(), nullptr, 10));
        ok = RegSetValueExW(key.Get(), WidePtr(fields[i + 1]), 0, type, data.empty() ? nullptr : data.data(),
                            static_cast<DWORD>(data.size())) == ERROR_SUCCESS &&
             ok;
    }
    return ok;
}

void RegisterLibrary(const String& library) {
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    TUniqueModule module(LoadLibraryW(WidePtr(library)));
    SetErrorMode(oldMode);
    if (!module) return;
    using TRegister = HRESULT(WINAPI*)();
    if (auto entry =
            reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllRegisterServer"))))
        entry();
}

}  // namespace

// --- the journal --------------------------------------------------------------------------------

String TRunJournal::FolderFor(const String& destPath) {
    return ExcludeTrailingPathDelimiter(destPath) + String(kFolderSuffix) + u"\\";
}

bool TRunJournal::Exists(const String& destPath) {
    return FileExists(FolderFor(destPath) + String(kFileName));
}

TRunJournal::TRunJournal(String destPath, String folder) : FDestPath(std::move(destPath)), FFolder(std::move(folder)) {}

TRunJournal::~TRunJournal() {
    if (gActive == this) gActive = nullptr;
}

std::unique_ptr<TRunJournal> TRunJournal::Begin(const String& destPath) {
    const String folder = FolderFor(destPath);
    std::vector<String> created;
    if (!CreateFolders(folder, &created)) RaiseLastOSError(folder);
    SetFileAttributesW(WidePtr(LongPathName(ExcludeTrailingPathDelimiter(folder))), FILE_ATTRIBUTE_HIDDEN);
    std::unique_ptr<TRunJournal> journal(new TRunJournal(destPath, folder));
    const String fileName = folder + String(kFileName);
    // Written through: a record is on the disk before the change it announces is made.
    journal->FFile.Reset(CreateFileW(WidePtr(LongPathName(fileName)), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!journal->FFile) RaiseLastOSError(fileName);
    journal->Append({kHeader, destPath});
    // The folders made for the journal itself (all but its own) go after the journal is gone.
    for (const String& made : created)
        if (!SameText(IncludeTrailingPathDelimiter(made), folder)) journal->Append({u"base", made});
    return journal;
}

void TRunJournal::Append(const std::vector<String>& fields) {
    String line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? u"\t" : u"") + Escape(fields[i]);
    const std::string bytes = StringToUtf8(line) + "\n";
    DWORD written = 0;
    if (!WriteFile(FFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        RaiseLastOSError(FFolder + String(kFileName));
    if (fields[0] != kHeader && fields[0] != u"base" && fields[0] != u"undone" && fields[0] != u"commit") ++FChanges;
}

String TRunJournal::NextStagedName() {
    return FFolder + kStagingName + IntToStr(++FStaged);
}

void TRunJournal::FolderCreated(const String& folder) {
    Append({u"mkdir", ExcludeTrailingPathDelimiter(folder)});
}

void TRunJournal::FileCreated(const String& file) {
    Append({u"create", file});
}

bool TRunJournal::Replacing(const String& file) {
    if (PathExists(file) && !SetAside(file)) return false;
    FileCreated(file);
    return true;
}

bool TRunJournal::SetAside(const String& path) {
    const String source = ExcludeTrailingPathDelimiter(path);
    const DWORD attributes = Attributes(source);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    CreateFolders(FFolder + kStagingName, nullptr);
    const String staged = NextStagedName();
    Append({u"stage", source, staged});
    if (IsFolder(attributes) ? MoveFileExW(WidePtr(LongPathName(source)), WidePtr(LongPathName(staged)), 0) != 0
                             : Move(source, staged, 0))
        return true;
    // Another volume, or a file that is in use: keep a copy, then remove it as before.
    if (!CopyTree(source, staged)) {
        const DWORD error = GetLastError();
        // A file that cannot even be read is in use: the callers leave it as it is. Anything else
        // (the journal's drive full, access denied) would let the change be made with nothing
        // kept to undo it: the run stops here instead.
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return false;
        DeleteTree(staged);
        throw EOSError(error, Format(u"\"%s\" cannot be kept to undo the run in \"%s\": %s",
                                     {source, FFolder, SysErrorMessage(error)}));
    }
    if (IsFolder(attributes)) return DeleteTree(source);
    DeleteOrDefer(source);
    return !PathExists(source);
}

void TRunJournal::Renamed(const String& from, const String& to) {
    Append({u"rename", from, to});
}

void TRunJournal::FolderRemoved(const String& folder) {
    Append({u"rmdir", ExcludeTrailingPathDelimiter(folder)});
}

void TRunJournal::RegistryKeyChanging(HKEY root, REGSAM view, const String& path) {
    std::vector<String> fields = {u"reg", RootText(root), IntToStr(static_cast<int64_t>(view)), path};
    TUniqueKey key;
    const bool existed = RegOpenKeyExW(root, WidePtr(path), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
    fields.push_back(existed ? u"1" : u"0");
    if (existed) SnapshotKey(key.Get(), String(), fields);
    Append(fields);
}

void TRunJournal::LibraryUnregistering(const String& library) {
    Append({u"dll", library});
}

void TRunJournal::HelperIntegrating(const String& undoCommandLine) {
    Append({u"helper", undoCommandLine});
}

void TRunJournal::Rollback() {
    const std::vector<std::vector<String>> records = ReadRecords(FFolder + String(kFileName));
    std::vector<bool> undone(records.size(), false);
    std::vector<String> bases;
    for (const auto& record : records) {
        if (record[0] == u"undone" && record.size() > 1) {
            const int64_t index = std::strtoll(StringToUtf8(record[1]).c_str(), nullptr, 10);
            if (index >= 0 && static_cast<size_t>(index) < undone.size()) undone[static_cast<size_t>(index)] = true;
        }
        if (record[0] == u"base" && record.size() > 1) bases.push_back(record[1]);
    }
    bool keepStaging = false;  // something failed: the journal stays for the next start
    for (size_t n = records.size(); n-- > 0;) {
        const auto& r = records[n];
        const String& kind = r[0];
        if (undone[n] || kind == kHeader || kind == u"base" || kind == u"undone" || kind == u"commit") continue;
        auto field = [&](size_t i) { return i < r.size() ? r[i] : String(); };
        String done;
        String failed;
        if (kind == u"create") {
            const String file = field(1);
            if (IsFolder(Attributes(file)) || !PathExists(file)) {
                done = u"nothing to remove at " + file;
            } else {
                SetFileAttributesW(WidePtr(LongPathName(file)), FILE_ATTRIBUTE_NORMAL);
                if (DeleteFileW(WidePtr(LongPathName(file))))
                    done = u"removed " + file;
                else
                    failed = u"cannot remove " + file + u": " + ErrorText(GetLastError());
            }
        } else if (kind == u"mkdir") {
            const String folder = field(1);
            if (!PathExists(folder) || RemoveDirectoryW(WidePtr(LongPathName(folder))))
                done = u"removed the folder " + folder;
            else
                done = u"kept the folder " + folder + u" (not empty)";
        } else if (kind == u"stage") {
            const String path = field(1), staged = field(2);
            if (!PathExists(staged)) {
                done = u"nothing set aside for " + path;
            } else {
                CreateFolders(ExtractFilePath(path), nullptr);
                if (!IsFolder(Attributes(path))) SetFileAttributesW(WidePtr(LongPathName(path)), FILE_ATTRIBUTE_NORMAL);
                // What was set aside from another drive (a shortcut, a system file) goes back by
                // copying: a file through the move itself, a folder that cannot be moved (another
                // drive, or one the run made again meanwhile) as a copied tree.
                const bool folder = IsFolder(Attributes(staged));
                bool restored = MoveFileExW(WidePtr(LongPathName(staged)), WidePtr(LongPathName(path)),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
                DWORD error = restored ? ERROR_SUCCESS : GetLastError();
                if (!restored && folder) {
                    restored = CopyTree(staged, path);
                    error = restored ? ERROR_SUCCESS : GetLastError();
                    if (restored) DeleteTree(staged);
                }
                if (restored)
                    done = u"restored " + path;
                else
                    failed = u"cannot restore " + path + u" from " + staged + u": " + ErrorText(error);
            }
        } else if (kind == u"rename") {
            const String from = field(1), to = field(2);
            if (!PathExists(to)) {
                done = u"nothing to rename back at " + to;
            } else if (PathExists(from)) {
                // The rename did not happen (the record goes first): what is at its target is not
                // the renamed file and must not replace the one that stayed.
                done = u"nothing to rename back: " + from + u" is still there";
            } else if (MoveFileExW(WidePtr(LongPathName(to)), WidePtr(LongPathName(from)), 0)) {
                done = u"renamed " + to + u" back to " + from;
            } else {
                failed = u"cannot rename " + to + u" back to " + from + u": " + ErrorText(GetLastError());
            }
        } else if (kind == u"rmdir") {
            if (CreateFolders(field(1), nullptr))
                done = u"created the folder " + field(1) + u" again";
            else
                failed = u"cannot create the folder " + field(1) + u": " + ErrorText(GetLastError());
        } else if (kind == u"reg") {
            const String path = field(3);
            const bool existed = field(4) == u"1";
            const REGSAM view = static_cast<REGSAM>(std::strtoul(StringToUtf8(field(2)).c_str(), nullptr, 10));
            const HKEY root = RootOf(field(1));
            if (!IsUninstallEntryKey(path) || (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER))
                failed = u"refused to restore the registry key " + path + u": not an entry of installed programs";
            else if (RestoreKey(root, view, path, existed, r, 5))
                done = (existed ? u"restored the registry key " : u"removed the registry key ") + path;
            else
                failed = u"cannot restore the registry key " + path;
        } else if (kind == u"dll") {
            if (!InsideFolder(field(1), FDestPath)) {
                failed = u"refused to register " + field(1) + u": not a file of the installation folder";
            } else {
                if (FileExists(field(1))) RegisterLibrary(field(1));
                done = u"registered " + field(1) + u" again";
            }
        } else if (kind == u"helper") {
            if (!InsideFolder(ProgramOf(field(1)), FDestPath)) {
                failed = u"refused to run " + field(1) + u": not a program of the installation folder";
            } else {
                const TUniqueHandle process = StartProcess(field(1));
                if (process) WaitWithMessages(process.Get(), kHelperUndoWaitMs);
                done = u"ran " + field(1);
            }
        } else {
            continue;  // a record of a later version: nothing this one can undo
        }
        if (!failed.empty()) keepStaging = true;
        RunLogLine(u"Rollback: " + (failed.empty() ? done : failed));
        // A step that failed stays open: a later rollback of this journal tries it again.
        if (!failed.empty()) continue;
        try {
            if (FFile) Append({u"undone", IntToStr(static_cast<int64_t>(n))});
        } catch (const std::exception&) {
            // The rollback goes on; a repeat of it would redo this step, which is harmless.
        }
    }
    FChanges = 0;
    if (keepStaging) {
        RunLogLine(u"Rollback: incomplete; the journal and the set-aside files stay in " + FFolder +
                   u" for the next start");
        return;
    }
    FFile.Reset();
    if (DeleteTree(FFolder))
        for (size_t i = bases.size(); i-- > 0;) RemoveDirectoryW(WidePtr(LongPathName(bases[i])));
}

void TRunJournal::Commit() {
    if (FFile) Append({u"commit"});
    std::vector<String> bases;
    for (const auto& record : ReadRecords(FFolder + String(kFileName)))
        if (record[0] == u"base" && record.size() > 1) bases.push_back(record[1]);
    FFile.Reset();
    FChanges = 0;
    // The staging area first: a commit cut short leaves the journal that says to finish it.
    DeleteTree(FFolder + kStagingName);
    if (DeleteTree(FFolder))
        for (size_t i = bases.size(); i-- > 0;) RemoveDirectoryW(WidePtr(LongPathName(bases[i])));
}

bool TRunJournal::RecoverInterrupted(const String& destPath) {
    const String folder = FolderFor(destPath);
    const String fileName = folder + String(kFileName);
    if (!FileExists(fileName)) {
        // A journal folder without its journal: one that was never written to.
        if (DirectoryExists(folder)) DeleteTree(folder);
        return false;
    }
    std::unique_ptr<TRunJournal> journal(new TRunJournal(destPath, folder));
    bool committed = false;
    for (const auto& record : ReadRecords(fileName)) committed = committed || record[0] == u"commit";
    journal->FFile.Reset(CreateFileW(WidePtr(LongPathName(fileName)), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    // A journal that another process holds open belongs to a run that is still working: undoing it
    // would pull the files from under that run.
    if (!journal->FFile && GetLastError() == ERROR_SHARING_VIOLATION)
        throw EOSError(ERROR_SHARING_VIOLATION,
                       Format(u"Another setup is working on the folder \"%s\". Start this one again when it has "
                              u"finished.",
                              {destPath}));
    if (committed) {
        RunLogLine(u"An earlier run had succeeded; its set-aside files are removed now");
        journal->Commit();
        return true;
    }
    RunLogLine(u"An earlier run into " + destPath + u" was interrupted; rolling it back");
    journal->Rollback();
    return true;
}

// --- the active journal -------------------------------------------------------------------------

TRunJournal* ActiveJournal() {
    return gActive;
}

void SetActiveJournal(TRunJournal* journal) {
    gActive = journal;
}

void JournaledDelete(const String& file) {
    if (gActive && FileExists(file) && gActive->SetAside(file)) return;
    DeleteOrDefer(file);
}

void JournalFolderCreated(const String& folder) {
    if (gActive) gActive->FolderCreated(folder);
}

bool JournaledForceFolders(const String& folder, uint32_t& error) {
    if (!gActive) return ForceFolders(folder, error);
    return ForceFolders(folder, error, [](const String& made) { gActive->FolderCreated(made); });
}

void JournalReplacing(const String& file) {
    if (gActive) gActive->Replacing(file);
}

void JournalRenamed(const String& from, const String& to) {
    if (gActive) gActive->Renamed(from, to);
}

}  // namespace uinst
