// The backup archive writer on an installation of realistic size, under Wine or Windows. Run by
// bench/backup-bench, which also times Info-ZIP's zip on the same files; by hand:
//
//   backup_bench.exe generate install|small FOLDER   a fresh tree in FOLDER (deleted first)
//   backup_bench.exe probe FOLDER                    the cost of the per-file calls a writer may make
//   backup_bench.exe write FOLDER ARCHIVE [--level L] [--threads T]
//                                                    lists FOLDER as the backup does and writes the
//                                                    archive (T threads compress, the caller among
//                                                    them); prints "list S write S total S bytes N"
//
// "install": about 100 MB in about 400 files, like a player's installation: an uninstaller that is
// mostly packed data behind its code, the program and its libraries (code taken from the system's
// own libraries, so that it compresses as machine code does), plug-ins, skins and pictures that are
// compressed already, language files and help pages, data files of records. Some names are not
// ASCII. "small": 3000 files of 300 bytes to 30 KB of the same kinds, in 60 folders.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/string.h"
#include "engine/file_list.h"
#include "platform/handles.h"
#include "product/backup_archive.h"

namespace {

using namespace uinst;

class TRandom {
public:
    explicit TRandom(uint64_t seed) : FState(seed | 1) {}
    uint64_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return FState;
    }
    double Unit() { return double(Next() >> 11) / double(uint64_t(1) << 53); }
    double LogUniform(double low, double high) { return low * std::pow(high / low, Unit()); }
    uint64_t Below(uint64_t n) { return Next() % n; }

private:
    uint64_t FState;
};

std::string Utf8(const String& s) {
    return StringToUtf8(s);
}

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency;
}

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "backup_bench: %s\n", text.c_str());
    std::exit(1);
}

// ---- content ----

enum class TContent { Code, Packed, Text, Help, Records, Setup };

// Machine code: the bytes of the system's libraries (under Wine these are real PE files).
std::vector<uint8_t> LoadCodePool() {
    std::vector<uint8_t> pool;
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const String folder = IncludeTrailingPathDelimiter(FromWide(system));
    WIN32_FIND_DATAW data;
    const TUniqueFind find(FindFirstFileW(WidePtr(folder + u"*.dll"), &data));
    if (!find) Fail("no libraries in the system folder");
    do {
        if (data.nFileSizeLow < 65536 || data.nFileSizeHigh) continue;
        const TUniqueFile file(CreateFileW(WidePtr(folder + FromWide(data.cFileName)), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) continue;
        const size_t at = pool.size();
        pool.resize(at + data.nFileSizeLow);
        DWORD read = 0;
        if (!ReadFile(file.Get(), pool.data() + at, data.nFileSizeLow, &read, nullptr)) read = 0;
        pool.resize(at + read);
    } while (pool.size() < (96u << 20) && FindNextFileW(find.Get(), &data));
    if (pool.size() < (8u << 20)) Fail("too few library bytes in the system folder");
    return pool;
}

// Pseudo-words built from syllables: texts that compress as prose in some language does.
class TWords {
public:
    explicit TWords(TRandom& random) {
        const char* syllables[] = {"ka", "lo",  "mi", "ne", "ru",  "sta", "ver", "on", "de", "tri", "pla", "yer",
                                   "so", "und", "ma", "ti", "gen", "ar",  "bel", "co", "fi", "ze",  "qu",  "ion"};
        for (int i = 0; i < 3000; ++i) {
            std::string word;
            const size_t n = 1 + random.Below(4);
            for (size_t s = 0; s < n; ++s) word += syllables[random.Below(std::size(syllables))];
            FWords.push_back(word);
        }
    }
    // Frequent words are much more frequent (roughly Zipf).
    const std::string& Pick(TRandom& random) {
        const double u = random.Unit();
        return FWords[static_cast<size_t>(std::pow(u, 3.0) * double(FWords.size() - 1))];
    }
    std::string Sentence(TRandom& random) {
        std::string s;
        const size_t n = 3 + random.Below(12);
        for (size_t i = 0; i < n; ++i) {
            if (i) s += ' ';
            s += Pick(random);
        }
        s[0] = char(std::toupper(static_cast<unsigned char>(s[0])));
        return s + '.';
    }

private:
    std::vector<std::string> FWords;
};

struct TGenerator {
    TRandom Random{0xB0C4A7C11F5EEDull};
    std::vector<uint8_t> Code = LoadCodePool();
    TWords Words{Random};

    void AppendCode(std::vector<uint8_t>& out, size_t size) {
        while (size) {
            const size_t at = Random.Below(Code.size() / 4096) * 4096;
            const size_t n = std::min({size, Code.size() - at, size_t(1) << 20});
            out.insert(out.end(), Code.begin() + ptrdiff_t(at), Code.begin() + ptrdiff_t(at + n));
            size -= n;
        }
    }
    void AppendRandom(std::vector<uint8_t>& out, size_t size) {
        const size_t at = out.size();
        out.resize(at + size);
        for (size_t i = 0; i < size; i += 8) {
            const uint64_t v = Random.Next();
            std::memcpy(&out[at + i], &v, std::min<size_t>(8, size - i));
        }
    }
    void AppendText(std::vector<uint8_t>& out, size_t size, bool html) {
        std::string text;
        int key = 0;
        if (html)
            text = "<html><head><meta charset=\"utf-8\"><title>" + Words.Sentence(Random) + "</title></head><body>\r\n";
        while (text.size() < size) {
            if (html)
                text += (Random.Below(6) ? "<p>" : "<h2>") + Words.Sentence(Random) + " " + Words.Sentence(Random) +
                        "</p>\r\n";
            else
                text += (key % 40 == 0 ? "[Section" + std::to_string(key / 40) + "]\r\n" : std::string()) + "K" +
                        std::to_string(key) + "=" + Words.Sentence(Random) + "\r\n";
            ++key;
        }
        text.resize(size);
        out.insert(out.end(), text.begin(), text.end());
    }
    // Fixed-size records: counters, small numbers, flags, short names.
    void AppendRecords(std::vector<uint8_t>& out, size_t size) {
        uint32_t id = 1000;
        while (out.size() < size) {
            uint8_t record[48] = {};
            id += 1 + uint32_t(Random.Below(3));
            std::memcpy(record, &id, 4);
            const uint32_t length = uint32_t(Random.LogUniform(5e3, 6e5));
            std::memcpy(record + 4, &length, 4);
            record[8] = uint8_t(Random.Below(5));
            const std::string& word = Words.Pick(Random);
            std::memcpy(record + 12, word.data(), std::min<size_t>(word.size(), 20));
            const uint64_t stamp = 0x01D9000000000000ull + Random.Below(1ull << 40);
            std::memcpy(record + 36, &stamp, 8);
            out.insert(out.end(), record, record + sizeof record);
        }
        out.resize(size);
    }

    std::vector<uint8_t> Make(TContent content, size_t size) {
        std::vector<uint8_t> out;
        out.reserve(size);
        switch (content) {
            case TContent::Code:
                AppendCode(out, size);
                break;
            case TContent::Packed:
                AppendRandom(out, size);
                break;
            case TContent::Text:
                AppendText(out, size, false);
                break;
            case TContent::Help:
                AppendText(out, size, true);
                break;
            case TContent::Records:
                AppendRecords(out, size);
                break;
            case TContent::Setup:  // the setup program: its code, then its packed packages
                AppendCode(out, std::min<size_t>(size, 2u << 20));
                AppendRandom(out, size - out.size());
                break;
        }
        return out;
    }
};

void WriteWhole(const String& path, const std::vector<uint8_t>& bytes) {
    const TUniqueFile file(
        CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail("cannot create " + Utf8(path));
    DWORD written = 0;
    const bool ok = bytes.empty() || (WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                                      written == bytes.size());
    if (!ok) Fail("cannot write " + Utf8(path));
}

void ForceFolder(const String& folder) {
    const String path = ExcludeTrailingPathDelimiter(folder);
    if (path.size() <= 3 || GetFileAttributesW(WidePtr(path)) != INVALID_FILE_ATTRIBUTES) return;
    ForceFolder(ExtractFilePath(path));
    CreateDirectoryW(WidePtr(path), nullptr);
}

void DeleteTree(const String& folder) {
    const String base = IncludeTrailingPathDelimiter(folder);
    WIN32_FIND_DATAW data;
    const TUniqueFind find(FindFirstFileW(WidePtr(base + u"*"), &data));
    if (find) {
        do {
            const String name = FromWide(data.cFileName);
            if (name == u"." || name == u"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(base + name);
            else
                DeleteFileW(WidePtr(base + name));
        } while (FindNextFileW(find.Get(), &data));
    }
    RemoveDirectoryW(WidePtr(ExcludeTrailingPathDelimiter(base)));
}

struct TKind {
    const char* Folder;  // below the root, "" for the root; "*" spreads the files over 60 folders
    const char* Stem;
    const char* Ext;
    int Count;
    double MinKB, MaxKB;
    TContent Content;
};

// Language files of a player, with their own names.
const char16_t* const kLanguages[] = {u"English",
                                      u"Deutsch",
                                      u"Fran\u00e7ais",
                                      u"Espa\u00f1ol",
                                      u"Portugu\u00eas (Brasil)",
                                      u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439",
                                      u"\u0423\u043a\u0440\u0430\u0457\u043d\u0441\u044c\u043a\u0430",
                                      u"\u65e5\u672c\u8a9e",
                                      u"\u4e2d\u6587 (\u7b80\u4f53)",
                                      u"\ud55c\uad6d\uc5b4",
                                      u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac",
                                      u"T\u00fcrk\u00e7e",
                                      u"Polski",
                                      u"\u010ce\u0161tina",
                                      u"Magyar",
                                      u"Svenska",
                                      u"Nederlands",
                                      u"Italiano"};

int Generate(const String& which, const String& root) {
    std::vector<TKind> kinds;
    if (which == u"install") {
        kinds = {
            {"", "Uninstall", ".exe", 1, 32000, 32000, TContent::Setup},
            {"", "ORVO", ".exe", 1, 10000, 10000, TContent::Code},
            {"", "Elevator", ".exe", 1, 500, 500, TContent::Code},
            {"", "lib", ".dll", 8, 900, 3000, TContent::Code},
            {"Plugins", "plugin", ".dll", 45, 80, 900, TContent::Code},
            {"Plugins", "plugin", ".ini", 45, 1, 6, TContent::Text},
            {"Skins", "Skin", ".ocs4", 12, 400, 2000, TContent::Packed},
            {"Langs", "", ".lng", 45, 60, 200, TContent::Text},
            {"Help", "Page", ".html", 80, 5, 60, TContent::Help},
            {"Icons", "Icon", ".png", 100, 2, 60, TContent::Packed},
            {"System\\Data", "Library", ".db", 10, 100, 600, TContent::Records},
            {"System\\Encoders", "encoder", ".exe", 6, 500, 2000, TContent::Code},
            {"Sounds", "Sound", ".ogg", 20, 50, 400, TContent::Packed},
        };
    } else if (which == u"small") {
        kinds = {
            {"*", "Text", ".xml", 1500, 0.3, 30, TContent::Text},
            {"*", "Module", ".dll", 750, 0.3, 30, TContent::Code},
            {"*", "Picture", ".png", 750, 0.3, 30, TContent::Packed},
        };
    } else {
        Fail("the case is install or small");
    }
    TGenerator generator;
    DeleteTree(root);
    const String base = IncludeTrailingPathDelimiter(root);
    ForceFolder(base);
    uint64_t total = 0;
    int files = 0;
    for (const TKind& kind : kinds) {
        for (int i = 0; i < kind.Count; ++i) {
            String folder = Utf8ToString(kind.Folder);
            if (folder == u"*")
                folder = u"Set " + Utf8ToString(std::to_string(generator.Random.Below(6))) + u"\\Group " +
                         Utf8ToString(std::to_string(generator.Random.Below(10)));
            String name;
            if (String(Utf8ToString(kind.Stem)).empty())
                name = String(kLanguages[size_t(i) % std::size(kLanguages)]) +
                       (size_t(i) < std::size(kLanguages) ? u"" : u" " + Utf8ToString(std::to_string(i)));
            else
                name = Utf8ToString(kind.Stem) + (kind.Count > 1 ? Utf8ToString(std::to_string(i + 1)) : u"");
            name += Utf8ToString(kind.Ext);
            if (kind.Content == TContent::Help && i % 10 == 3) name = u"\u00dcber " + name;  // a few more non-ASCII
            const String dir = folder.empty() ? base : base + folder + u"\\";
            ForceFolder(dir);
            const size_t size = size_t(generator.Random.LogUniform(kind.MinKB, kind.MaxKB) * 1024);
            WriteWhole(dir + name, generator.Make(kind.Content, size));
            total += size;
            ++files;
        }
    }
    std::printf("files %d bytes %llu\n", files, static_cast<unsigned long long>(total));
    return 0;
}

// ---- writing ----

std::vector<TBackupArchiveEntry> List(const String& folder) {
    TInstallerFileList list;
    list.AddFolder(IncludeTrailingPathDelimiter(folder), u"", u"");
    std::vector<TBackupArchiveEntry> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back({list.Items(i).FileName, list.Items(i).Name});
    return entries;
}

uint64_t SizeOf(const String& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void WriteOnce(const String& folder, const String& archive, const TBackupArchiveOptions& options) {
    DeleteFileW(WidePtr(archive));
    const double t0 = Now();
    const auto entries = List(folder);
    const double t1 = Now();
    WriteBackupArchive(archive, entries, {}, options);
    const double t2 = Now();
    FILETIME creation, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
    std::printf("list %.3f write %.3f total %.3f cpu %.3f bytes %llu files %zu\n", t1 - t0, t2 - t1, t2 - t0,
                seconds(user) + seconds(kernel), static_cast<unsigned long long>(SizeOf(archive)), entries.size());
}

// The per-file calls a writer might make, each timed over every file of the tree (microseconds
// per file), so that the cheap ones can be chosen under Wine.
void Probe(const String& folder) {
    const auto entries = List(folder);
    const double n = double(entries.size());
    auto measure = [&](const char* what, auto&& call) {
        const double t0 = Now();
        for (const auto& e : entries) call(e.FileName);
        std::printf("%-58s %8.1f us\n", what, (Now() - t0) / n * 1e6);
    };
    auto open = [](const String& path) {
        return CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    };
    std::vector<uint8_t> buffer(1 << 20);
    measure("CreateFileW + CloseHandle", [&](const String& p) { CloseHandle(open(p)); });
    measure("GetFileAttributesExW", [&](const String& p) {
        WIN32_FILE_ATTRIBUTE_DATA d;
        GetFileAttributesExW(WidePtr(p), GetFileExInfoStandard, &d);
    });
    measure("open + GetFileInformationByHandle + close", [&](const String& p) {
        HANDLE h = open(p);
        BY_HANDLE_FILE_INFORMATION i;
        GetFileInformationByHandle(h, &i);
        CloseHandle(h);
    });
    measure("open + GetFileInformationByHandleEx(basic) + GetFileSizeEx + close", [&](const String& p) {
        HANDLE h = open(p);
        FILE_BASIC_INFO b;
        LARGE_INTEGER s;
        GetFileInformationByHandleEx(h, FileBasicInfo, &b, sizeof b);
        GetFileSizeEx(h, &s);
        CloseHandle(h);
    });
    measure("open + ReadFile (up to 1 MB) + close", [&](const String& p) {
        HANDLE h = open(p);
        DWORD read = 0;
        ReadFile(h, buffer.data(), DWORD(buffer.size()), &read, nullptr);
        CloseHandle(h);
    });
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    measure("FileTimeToSystemTime + SystemTimeToTzSpecificLocalTime", [&](const String&) {
        SYSTEMTIME u, l;
        FileTimeToSystemTime(&now, &u);
        SystemTimeToTzSpecificLocalTime(nullptr, &u, &l);
    });
    measure("FileTimeToLocalFileTime + FileTimeToDosDateTime", [&](const String&) {
        FILETIME l;
        WORD d, t;
        FileTimeToLocalFileTime(&now, &l);
        FileTimeToDosDateTime(&l, &d, &t);
    });
}

}  // namespace

int main() {
    // The arguments as the system has them: folder names need not be in the ANSI code page.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<String> args;
    for (int i = 1; i < argc; ++i) args.push_back(FromWide(argv[i]));
    LocalFree(argv);
    try {
        if (args.size() == 3 && args[0] == u"generate") return Generate(args[1], args[2]);
        if (args.size() == 2 && args[0] == u"probe") {
            Probe(args[1]);
            return 0;
        }
        if (args.size() >= 3 && args[0] == u"write") {
            TBackupArchiveOptions options;
            for (size_t i = 3; i + 1 < args.size(); i += 2) {
                const int value = std::atoi(Utf8(args[i + 1]).c_str());
                if (args[i] == u"--level")
                    options.Level = value;
                else if (args[i] == u"--threads")
                    options.Helpers = value - 1;
                else
                    Fail("unknown option " + Utf8(args[i]));
            }
            WriteOnce(args[1], args[2], options);
            return 0;
        }
    } catch (const Exception& e) {
        Fail(e.what());
    }
    Fail("usage: backup_bench generate install|small FOLDER | write FOLDER ARCHIVE");
}
