// Writes backup archives for tests/backup/check_backup_archive.py, which reads them with Info-ZIP's
// unzip and Python's zipfile, natively, as a user's tools would:
//
//   backup_sample make FOLDER             FOLDER\tree\ with names in several scripts, a read-only,
//                                         a hidden, an empty and a 3 MB file with known times, and
//                                         FOLDER\backup.zip of it (every name below "Program\")
//   backup_sample write TREE ARCHIVE      the archive of TREE; its error on stderr and exit code 1
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/string.h"
#include "engine/file_list.h"
#include "platform/handles.h"
#include "product/backup_archive.h"

namespace {

using namespace uinst;

struct TSampleFile {
    const char16_t* Name;
    size_t Size;
    bool Noise;  // else text
    DWORD Attributes;
    SYSTEMTIME Local;  // the last-write time, local: year, month, day of week (ignored), day, h, m, s
};

const TSampleFile kFiles[] = {
    {u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439\\\u0422\u0435\u0441\u0442.txt",
     2000,
     false,
     0,
     {2021, 6, 0, 15, 13, 45, 31, 0}},
    {u"\u65e5\u672c\u8a9e\\\u8a2d\u5b9a.ini", 700, false, 0, {2019, 12, 0, 24, 8, 0, 0, 0}},
    {u"Caf\u00e9\\R\u00e9sum\u00e9 \u00e9t\u00e9.txt", 5000, false, 0, {2022, 3, 0, 1, 17, 30, 10, 0}},
    {u"readonly.txt", 100, false, FILE_ATTRIBUTE_READONLY, {2020, 2, 0, 29, 12, 0, 0, 0}},
    {u"hidden.txt", 100, false, FILE_ATTRIBUTE_HIDDEN, {2020, 2, 0, 29, 12, 0, 2, 0}},
    {u"empty.txt", 0, false, 0, {2018, 7, 0, 4, 4, 4, 4, 0}},
    {u"Data\\big.bin", 3 << 20, true, 0, {2020, 1, 0, 3, 23, 59, 59, 0}},
};

std::string Content(size_t size, bool noise) {
    std::string bytes;
    uint64_t seed = 0x1234567;
    const char* words[] = {"player ", "skin ", "backup ", "\u00e9t\u00e9 ", "plug-in ", "\r\n"};
    while (bytes.size() < size) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        // The big file: text and noise in turns of 256 KB, so its pieces are of both kinds.
        if (noise && (bytes.size() >> 18) % 2) {
            bytes.append(reinterpret_cast<const char*>(&seed), 8);
        } else {
            bytes += words[seed % 6];
        }
    }
    bytes.resize(size);
    return bytes;
}

bool Make(const String& folder) {
    const String tree = IncludeTrailingPathDelimiter(folder) + u"tree\\";
    CreateDirectoryW(WidePtr(folder), nullptr);
    CreateDirectoryW(WidePtr(tree), nullptr);
    for (const TSampleFile& f : kFiles) {
        const String path = tree + f.Name;
        CreateDirectoryW(WidePtr(ExtractFilePath(path)), nullptr);
        const TUniqueFile file(CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return false;
        const std::string bytes = Content(f.Size, f.Noise);
        DWORD written = 0;
        SYSTEMTIME utc;
        FILETIME time;
        const bool ok =
            (bytes.empty() || WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr)) &&
            TzSpecificLocalTimeToSystemTime(nullptr, &f.Local, &utc) && SystemTimeToFileTime(&utc, &time) &&
            SetFileTime(file.Get(), nullptr, nullptr, &time);
        if (!ok || (f.Attributes && !SetFileAttributesW(WidePtr(path), f.Attributes))) return false;
    }
    TInstallerFileList list;
    list.AddFolder(tree, u"", u"Program\\");
    std::vector<TBackupArchiveEntry> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back({list.Items(i).FileName, list.Items(i).Name});
    WriteBackupArchive(IncludeTrailingPathDelimiter(folder) + u"backup.zip", entries, {});
    return true;
}

void WriteTree(const String& tree, const String& archive) {
    TInstallerFileList list;
    list.AddFolder(IncludeTrailingPathDelimiter(tree), u"", u"");
    std::vector<TBackupArchiveEntry> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back({list.Items(i).FileName, list.Items(i).Name});
    WriteBackupArchive(archive, entries, {});
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<String> args;
    for (int i = 1; i < argc; ++i) args.push_back(FromWide(argv[i]));
    LocalFree(argv);
    try {
        if (args.size() == 2 && args[0] == u"make") {
            if (Make(args[1])) return 0;
            std::fprintf(stderr, "backup_sample: cannot make the sample tree\n");
            return 2;
        }
        if (args.size() == 3 && args[0] == u"write") {
            WriteTree(args[1], args[2]);
            return 0;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: backup_sample make FOLDER | write TREE ARCHIVE\n");
    return 2;
}
