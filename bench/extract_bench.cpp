// Extraction against a plain writer of the same bytes, under Wine or Windows.
//
// A product of a few thousand files (about 200 MB, many small files and a few of several MB, in a
// folder tree) is packed in memory. Each round opens the package once (not timed), then times:
//   - the installer: an installer whose script lists every file as a component, running the
//     extraction action on its worker thread (Start(true)), as a run does, into a fresh folder;
//   - the plain writer: CreateDirectoryW for the tree, then CreateFileW/WriteFile/CloseHandle for
//     every file, from the same package content, to the same paths in a fresh folder.
// The two alternate (the order flips each round); medians and their ratio are printed. The written
// folders are removed between runs and at the end.
//
//   extract_bench.exe [--files N] [--megabytes M] [--rounds R] [--level L] [--registry 0|1]
//                     [--dest FOLDER] [--pause-ms MS] [--profile 0|1] [--warmup 0|1] [--journal 0|1]
//                     [--rollback 0|1]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/paths.h"
#include "base/string.h"
#include "engine/action_extract.h"
#include "engine/application_repository.h"
#include "engine/engine_routines.h"
#include "engine/engine_test_support.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/extract_helper.h"
#include "engine/run_journal.h"
#include "engine/uninstall_registration.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"

namespace {

using namespace uinst;

struct TOptions {
    int Files = 3000;
    int Megabytes = 200;
    int Rounds = 5;
    int Level = 0;
    // Without it the run is portable: everything but the one registry key of the uninstaller.
    bool Registry = false;
    // Where the destination folders go (the temporary folder by default).
    String Base;
    // Rest between runs, so that the file system's work on the previous run's files settles.
    int PauseMs = 2000;
    // After the rounds, time the parts of the installer's per-file work one by one.
    bool Profile = false;
    // A first round of each, not counted: the process's first installation and first plain write
    // pay one-time costs (code paged in, libraries initialised) that are not about extraction.
    bool Warmup = true;
    // The installer's run journal (on in a real run): off measures the extraction without it.
    bool Journal = true;
    // After the rounds, time the rollback of a failed update of the whole product.
    bool Rollback = false;
};

struct TBenchFile {
    String Relative;  // below the destination, also the name in the package
    size_t Size = 0;
};

struct TLayout {
    std::vector<String> Folders;    // relative, each after its parent
    std::vector<TBenchFile> Files;  // in script order (sorted by name, as the package tool stores them)
    uint64_t Total = 0;
};

// A small deterministic generator: the same product every run.
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
    // Log-uniform between the bounds: as many files of 1-2 KB as of 10-20 KB.
    double LogUniform(double low, double high) { return low * std::pow(high / low, Unit()); }

private:
    uint64_t FState;
};

String Str(const std::string& s) {
    return Utf8ToString(s);
}
std::string Utf8(const String& s) {
    return StringToUtf8(s);
}

String Number(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return Str(buffer);
}

TLayout MakeLayout(const TOptions& options) {
    TLayout layout;
    // A player's tree: top folders, sets below them, kinds of content below those.
    const char* top[] = {"Plugins", "Skins", "Langs", "Help", "Codecs", "Visualizations", "Data", "Resources"};
    const char* kinds[] = {"Images", "Sounds", "Scripts"};
    for (const char* t : top) {
        layout.Folders.push_back(Str(t));
        for (int set = 1; set <= 6; ++set) {
            const String setFolder = Str(t) + u"\\Set " + Number(set, 2);
            layout.Folders.push_back(setFolder);
            for (const char* kind : kinds) layout.Folders.push_back(setFolder + u"\\" + Str(kind));
        }
    }

    TRandom random(0x5EED0F0A11F11E5ull);
    std::vector<double> sizes;
    double rawTotal = 0;
    for (int i = 0; i < options.Files; ++i) {
        // 70 % small (texts, icons), 24 % medium (images, sounds), 5.3 % large, 0.7 % of several MB.
        const double r = random.Unit();
        const double size = r < 0.70    ? random.LogUniform(300, 24e3)
                            : r < 0.94  ? random.LogUniform(24e3, 400e3)
                            : r < 0.993 ? random.LogUniform(400e3, 2e6)
                                        : random.LogUniform(2e6, 12e6);
        sizes.push_back(size);
        rawTotal += size;
    }
    const double scale = double(options.Megabytes) * 1e6 / rawTotal;
    for (int i = 0; i < options.Files; ++i) {
        TBenchFile file;
        file.Size = static_cast<size_t>(sizes[size_t(i)] * scale);
        if (i % 1000 == 999) file.Size = 0;  // a few empty files, as products have
        const bool big = file.Size >= 2000000;
        const char* stem = big ? "Module_" : file.Size >= 400000 ? "Library_" : file.Size >= 24000 ? "Media_" : "Text_";
        const char* ext = big ? ".dll" : file.Size >= 400000 ? ".bin" : file.Size >= 24000 ? ".ogg" : ".xml";
        const String name = Str(stem) + Number(i, 5) + Str(ext);
        // Several-MB files sit in the root (program and libraries), the rest anywhere in the tree.
        file.Relative = big ? name : layout.Folders[size_t(random.Next() % layout.Folders.size())] + u"\\" + name;
        layout.Total += file.Size;
        layout.Files.push_back(std::move(file));
    }
    std::sort(layout.Files.begin(), layout.Files.end(),
              [](const TBenchFile& a, const TBenchFile& b) { return a.Relative < b.Relative; });
    return layout;
}

// Runs of noise between repeats of earlier bytes. It packs well, so that decoding the package each
// round stays quick on a busy machine; the bytes written are what they are for the file system.
void FillContent(std::vector<uint8_t>& buffer, size_t size, uint64_t seed) {
    buffer.resize(size);
    TRandom random(seed);
    size_t done = 0;
    while (done < size) {
        const bool repeat = done >= 4096 && random.Unit() < 0.8;
        const size_t n = std::min<size_t>(size - done, repeat ? 256 + random.Next() % 3840 : 64 + random.Next() % 192);
        if (repeat) {
            // A copy of bytes met shortly before (copied forward, so overlapping is fine).
            const size_t distance = 1 + random.Next() % 4096;
            for (size_t i = 0; i < n; ++i) buffer[done + i] = buffer[done - distance + i];
        } else {
            for (size_t i = 0; i < n; i += 8) {
                const uint64_t v = random.Next();
                std::memcpy(&buffer[done + i], &v, std::min<size_t>(8, n - i));
            }
        }
        done += n;
    }
}

std::string Script(const TLayout& layout) {
    std::string xml = R"(<?xml version="1.0" encoding="utf-8"?>
<install>
  <product>
    <Settings>
      <Item name="ProductName" value="ORVOBench"/>
      <Item name="Publisher" value="Bench Works"/>
      <Item name="HomePage" value="https://example.invalid/"/>
      <Item name="ProductVersion" value="5.03"/>
      <Item name="ProductVersionId" value="5030"/>
      <Item name="ProductVersionNo" value="5.0.3"/>
    </Settings>
    <Components>
)";
    for (const TBenchFile& file : layout.Files)
        xml += "      <File name=\"$DEST\\" + Utf8(file.Relative) + "\">" + Utf8(file.Relative) + "</File>\n";
    xml += "    </Components>\n  </product>\n</install>\n";
    return xml;
}

constexpr char16_t kExtractingText[] = u"Copying the files";
constexpr char16_t kRegisteringText[] = u"Registering the uninstaller";

test::TFiles SetupFiles(const TLayout& layout) {
    test::TFiles files = test::DefaultSetupFiles();
    for (auto& [name, bytes] : files) {
        if (name == u"Install.xml") bytes = Script(layout);
        if (name == u"English.lng")
            bytes += "A4=" + Utf8(kExtractingText) + "\r\nA7=" + Utf8(kRegisteringText) + "\r\n";
    }
    return files;
}

// The product package, compressed and enciphered, kept in memory; each round decodes it anew.
std::unique_ptr<TMemoryStream> BuildPackage(const TLayout& layout, int level) {
    TSetupPackageBuilder builder(SetupPackageKey);
    std::vector<uint8_t> buffer;
    uint64_t seed = 1;
    for (const TBenchFile& file : layout.Files) {
        FillContent(buffer, file.Size, ++seed * 0x9E3779B97F4A7C15ull);
        TMemoryStream stream(std::move(buffer));
        builder.Add(stream, file.Relative);
        buffer = stream.TakeBytes();
    }
    auto package = std::make_unique<TMemoryStream>();
    builder.Commit(*package, level);
    return package;
}

double Seconds(int64_t ticks) {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return double(ticks) / double(frequency);
}

int64_t Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// User plus kernel time of this process (not of the Wine server), in seconds.
double ProcessCpu() {
    FILETIME creation, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &ended, &kernel, &user);
    auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return double(value(kernel) + value(user)) / 1e7;
}

// Under Wine, file and folder creation also costs CPU in the Wine server, a process of its own.
// Its CPU time is read from the host's /proc (through the Z: drive); -1 elsewhere.
std::string ReadWholeFile(const char* path) {
    std::string text;
    const TUniqueFile file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

std::string PrefixOf(const std::string& variables) {
    for (size_t at = 0; at < variables.size(); at = variables.find('\0', at) + 1) {
        if (variables.compare(at, 11, "WINEPREFIX=") == 0) return variables.substr(at, variables.find('\0', at) - at);
        if (variables.find('\0', at) == std::string::npos) break;
    }
    return {};
}

double ServerCpu() {
    static const std::string statPath = [] {
        const std::string prefix = PrefixOf(ReadWholeFile("Z:\\proc\\self\\environ"));
        WIN32_FIND_DATAA data;
        const TUniqueFind find(FindFirstFileA("Z:\\proc\\*", &data));
        std::string found;
        if (prefix.empty() || !find) return found;
        do {
            const std::string pid = data.cFileName;
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string dir = "Z:\\proc\\" + pid + "\\";
            if (ReadWholeFile((dir + "comm").c_str()).rfind("wineserver", 0) != 0) continue;
            if (PrefixOf(ReadWholeFile((dir + "environ").c_str())) == prefix) found = dir + "stat";
        } while (found.empty() && FindNextFileA(find.Get(), &data));
        return found;
    }();
    if (statPath.empty()) return -1;
    const std::string stat = ReadWholeFile(statPath.c_str());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    // The fields after the name, from the state (3rd field of the line): utime and stime are the 14th and 15th.
    std::vector<std::string> fields;
    for (size_t at = close + 2; at < stat.size() && fields.size() < 13;) {
        const size_t end = std::min(stat.find(' ', at), stat.size());
        fields.push_back(stat.substr(at, end - at));
        at = end + 1;
    }
    if (fields.size() < 13) return -1;
    const double ticks = std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
    return ticks / 100.0;  // the host's clock ticks (USER_HZ)
}

void DeleteTree(const String& folder) {
    const String base = folder.back() == u'\\' ? folder : folder + u"\\";
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileW(WidePtr(base + u"*"), &data));
    if (find) {
        do {
            const String name = FromWide(data.cFileName);
            if (name == u"." || name == u"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(base + name);
            else {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(WidePtr(base + name), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(WidePtr(base + name));
            }
        } while (FindNextFileW(find.Get(), &data));
        find.Reset();
    }
    RemoveDirectoryW(WidePtr(base.substr(0, base.size() - 1)));
}

struct TSample {
    double Wall = 0;
    double Cpu = 0;
    double Server = 0;  // the Wine server's CPU meanwhile (shared with other programs of the prefix)
    double Files = 0;   // installer: up to the "registering" status; plain writer: everything
};

// Listens on the main thread for the status that starts the uninstaller's registration.
class TPhaseClock : public IInstallerNotify {
public:
    int64_t First = 0;
    int64_t Registering = 0;
    int Notifications = 0;  // each one a synchronous call from the worker to this thread
    void Notify(int code, intptr_t param) override {
        if (!Notifications++) First = Now();
        if (code == kNotifyStatus && *reinterpret_cast<const String*>(param) == kRegisteringText) Registering = Now();
    }
};

int gLastNotifications = 0;
double gLastStartup = 0;  // from Start to the worker's first report

TSample RunInstaller(TInstaller& installer) {
    TPhaseClock clock;
    installer.AddListener(&clock);
    const double cpu = ProcessCpu(), server = ServerCpu();
    const int64_t start = Now();
    installer.Start(true);
    const int64_t end = Now();
    TSample sample{Seconds(end - start), ProcessCpu() - cpu, ServerCpu() - server, Seconds(clock.Registering - start)};
    installer.RemoveListener(&clock);
    gLastNotifications = clock.Notifications;
    gLastStartup = Seconds(clock.First - start);
    if (installer.HasErrors()) throw Exception(u"The installation failed: " + installer.Log().Text());
    if (!clock.Registering) throw Exception(u"The registration status was not seen");
    return sample;
}

struct TPlainFile {
    String Path;
    const uint8_t* Data;
    size_t Size;
};

TSample RunPlain(const String& dest, const std::vector<String>& folders, const std::vector<TPlainFile>& files) {
    const double cpu = ProcessCpu(), server = ServerCpu();
    const int64_t start = Now();
    if (!CreateDirectoryW(WidePtr(dest), nullptr)) throw Exception(u"Cannot create " + dest);
    for (const String& folder : folders)
        if (!CreateDirectoryW(WidePtr(folder), nullptr)) throw Exception(u"Cannot create " + folder);
    for (const TPlainFile& file : files) {
        TUniqueFile handle(
            CreateFileW(WidePtr(file.Path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) throw Exception(u"Cannot write " + file.Path);
        DWORD written = 0;
        const bool ok = file.Size == 0 || (WriteFile(handle.Get(), file.Data, DWORD(file.Size), &written, nullptr) &&
                                           written == file.Size);
        handle.Reset();  // the close is part of the plain writer's cost
        if (!ok) throw Exception(u"Cannot write " + file.Path);
    }
    const int64_t end = Now();
    return {Seconds(end - start), ProcessCpu() - cpu, ServerCpu() - server, Seconds(end - start)};
}

// The tree on disk holds the files with the package's bytes (every size, and the content of a sample).
void Verify(const std::vector<TPlainFile>& files, const String& who) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < files.size(); ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(WidePtr(files[i].Path), GetFileExInfoStandard, &data) ||
            ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) != files[i].Size)
            throw Exception(who + u": wrong or missing " + files[i].Path);
        if (i % 97 == 0 || files[i].Size > 2000000) {
            bytes = ReadFileBytes(files[i].Path);
            if (bytes.size() != files[i].Size ||
                (files[i].Size && std::memcmp(bytes.data(), files[i].Data, files[i].Size)))
                throw Exception(who + u": other content in " + files[i].Path);
        }
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Wall, process and server time of one piece of work.
template <typename F>
void Measure(const char* name, F work) {
    const double cpu = ProcessCpu(), server = ServerCpu();
    const int64_t start = Now();
    work();
    std::printf("  %-52s %.3f s; CPU: process %.3f s, Wine server %.2f s\n", name, Seconds(Now() - start),
                ProcessCpu() - cpu, ServerCpu() - server);
    std::fflush(stdout);
}

// The installer's work taken apart, on the main thread and without the worker.
void Profile(TInstaller& installer, const String& dest, const std::vector<String>& folders,
             const std::vector<TPlainFile>& files, int pauseMs) {
    TInstallerResources& resources = installer.Resources();
    const TInstallerScriptGroup& components = resources.Script().Components();
    size_t sink = 0;
    Measure("Start's check of the destination (IsProtectedFolder)", [&] { sink += installer.IsProtectedFolder(dest); });
    Measure("ExpandPath of every target", [&] {
        for (const auto& entry : components) sink += resources.ExpandPath(entry->Name).size();
    });
    Measure("OpenFile of every source (file table lookups)", [&] {
        for (const auto& entry : components) sink += size_t(resources.OpenFile(entry->SourceName())->Size());
    });

    // The worker's reports: each is a message sent to the main thread, and the worker waits until
    // the main thread has handled it. Ten batches of a run's 205, each call timed on the worker.
    constexpr int kCalls = 205, kBatches = 10;
    struct TSender {
        TInstaller* Target;
        std::vector<double> Latency;
        static DWORD WINAPI Proc(void* self) {
            auto* sender = static_cast<TSender*>(self);
            for (int i = 0; i < kCalls; ++i) {
                const int64_t start = Now();
                sender->Target->Post(kNotifyRepaint, 0);
                sender->Latency.push_back(Seconds(Now() - start));
            }
            return 0;
        }
    } sender{&installer, {}};
    std::vector<double> batches;
    Measure("10 x 205 reports sent from a worker thread", [&] {
        for (int b = 0; b < kBatches; ++b) {
            const int64_t start = Now();
            const TUniqueHandle thread(CreateThread(nullptr, 0, &TSender::Proc, &sender, 0, nullptr));
            WaitWithMessages(thread.Get());
            batches.push_back(Seconds(Now() - start));
        }
    });
    std::sort(batches.begin(), batches.end());
    std::sort(sender.Latency.begin(), sender.Latency.end());
    const auto& l = sender.Latency;
    std::printf(
        "    per batch of 205: fastest %.3f s, median %.3f s, slowest %.3f s; per report: median %.3f ms, "
        "99th percentile %.2f ms, slowest %.1f ms\n",
        batches.front(), Median(batches), batches.back(), l[l.size() / 2] * 1e3, l[l.size() * 99 / 100] * 1e3,
        l.back() * 1e3);

    DeleteTree(dest);
    Sleep(DWORD(pauseMs));
    Measure("plain writer", [&] { RunPlain(dest, folders, files); });
    DeleteTree(dest);
    Sleep(DWORD(pauseMs));
    std::vector<const TInstallerScriptFile*> entries;
    Measure("Extract of every file (main thread, no reports)", [&] {
        for (const auto& entry : components) {
            installer.ExtractHelper().Extract(*entry);
            entries.push_back(entry.get());
        }
    });
    Measure("RegisterUninstaller", [&] { RegisterUninstaller(installer.DestPath(), entries); });
    Measure("  of which: the Uninstall section (AddUninstallEntry)", [&] {
        TORLIniFile ini;
        for (const TInstallerScriptFile* entry : entries) AddUninstallEntry(ini, entry->Name);
        sink += size_t(ini.ReadInteger(u"Uninstall", u"Count", 0));
    });
    DeleteTree(dest);

    // The same steps as Extract, each one's time summed over the files; then the plain writer's.
    Sleep(DWORD(pauseMs));
    double steps[6] = {};
    const char* names[6] = {"ExpandPath", "ForceDirectories", "OpenFile", "CreateTargetStream", "write", "close"};
    TInstallerExtractHelper helper;  // a fresh one: the installer's remembers the folder it made last
    int64_t mark = Now();
    auto lap = [&](int step) {
        const int64_t now = Now();
        steps[step] += Seconds(now - mark);
        mark = now;
    };
    for (const auto& entry : components) {
        mark = Now();
        const String target = resources.ExpandPath(entry->Name);
        lap(0);
        helper.ForceDirectories(ExtractFilePath(target));
        lap(1);
        std::unique_ptr<TReadOnlyMemoryStream> source = resources.OpenFile(entry->SourceName());
        lap(2);
        std::unique_ptr<TStream> stream = helper.CreateTargetStream(target, *source);
        lap(3);
        const uint8_t* data = source->Memory();
        for (size_t done = 0, size = static_cast<size_t>(source->Size()); done < size;) {
            const size_t n = std::min<size_t>(size - done, 1 << 20);
            stream->WriteBuffer(data + done, n);
            done += n;
        }
        lap(4);
        stream.reset();
        lap(5);
    }
    std::printf("  Extract's steps summed:");
    for (int i = 0; i < 6; ++i) std::printf(" %s %.3f s%s", names[i], steps[i], i < 5 ? "," : "\n");
    // How often the target folder changes from one file to the next, and what checking a folder costs.
    int changes = 0;
    String last;
    for (const TPlainFile& file : files) {
        const String folder = ExtractFilePath(file.Path);
        changes += folder != last;
        last = folder;
    }
    Measure("DirectoryExists of every folder, 3 times", [&] {
        for (int i = 0; i < 3; ++i)
            for (const String& folder : folders) sink += DirectoryExists(folder);
    });
    std::printf("    the target folder changes %d times in %zu files (%zu folders)\n", changes, files.size(),
                folders.size() + 1);
    DeleteTree(dest);
    Sleep(DWORD(pauseMs));
    double plain[4] = {};
    const int64_t folderStart = Now();
    if (!CreateDirectoryW(WidePtr(dest), nullptr)) throw Exception(u"Cannot create " + dest);
    for (const String& folder : folders) CreateDirectoryW(WidePtr(folder), nullptr);
    plain[0] = Seconds(Now() - folderStart);
    for (const TPlainFile& file : files) {
        int64_t start = Now();
        TUniqueFile handle(
            CreateFileW(WidePtr(file.Path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) throw Exception(u"Cannot write " + file.Path);
        int64_t now = Now();
        plain[1] += Seconds(now - start);
        DWORD written = 0;
        if (file.Size) WriteFile(handle.Get(), file.Data, DWORD(file.Size), &written, nullptr);
        start = Now();
        plain[2] += Seconds(start - now);
        handle.Reset();
        plain[3] += Seconds(Now() - start);
    }
    std::printf("  plain writer's steps summed: folders %.3f s, CreateFileW %.3f s, write %.3f s, close %.3f s\n",
                plain[0], plain[1], plain[2], plain[3]);
    DeleteTree(dest);

    // Uninstall.exe is a byte copy of the setup program, which carries the compressed product; this
    // program is small, so a run here copies far less than a real one. What 100 MB more would cost:
    CreateDirectoryW(WidePtr(dest), nullptr);
    {
        std::vector<uint8_t> big(100'000'000);
        FillContent(big, big.size(), 7);
        WriteFileBytes(dest + u"Setup.exe", big.data(), big.size());
    }
    Sleep(DWORD(pauseMs));
    Measure("copy of a 100 MB setup program (CopyFileOrRaise)",
            [&] { CopyFileOrRaise(dest + u"Setup.exe", dest + u"Uninstall.exe"); });
    DeleteTree(dest);
    if (sink == 0) std::printf("\n");  // uses the results, so that the timed calls stay in
}

// A failed update of the whole product: an installed copy, then every file set aside and written
// anew under a journal (on the main thread, without reports), then the journal played backwards.
void TimeRollback(TInstaller& installer, const String& dest, const TLayout& layout, int pauseMs) {
    DeleteTree(dest);
    RunInstaller(installer);  // the installed copy (journaled and committed)
    Sleep(DWORD(pauseMs));
    auto journal = TRunJournal::Begin(dest);
    SetActiveJournal(journal.get());
    const TInstallerScriptGroup& components = installer.Resources().Script().Components();
    Measure("update of every file under the journal (set aside, written anew)", [&] {
        for (const auto& entry : components) installer.ExtractHelper().Extract(*entry);
    });
    Sleep(DWORD(pauseMs));
    Measure("rollback of that update", [&] { journal->Rollback(); });
    SetActiveJournal(nullptr);
    std::printf("    %zu files, %.1f MB; journal folder left: %s\n", layout.Files.size(), double(layout.Total) / 1e6,
                DirectoryExists(TRunJournal::FolderFor(dest)) ? "yes" : "no");
    DeleteTree(dest);
}

void PrintRow(const char* name, const std::vector<TSample>& samples) {
    std::vector<double> wall, cpu, server, files;
    std::string all;
    for (const TSample& s : samples) {
        wall.push_back(s.Wall);
        cpu.push_back(s.Cpu);
        server.push_back(s.Server);
        files.push_back(s.Files);
        char item[32];
        std::snprintf(item, sizeof item, " %.3f", s.Wall);
        all += item;
    }
    std::printf("%-18s median %.3f s (files %.3f s); CPU: process %.3f s, Wine server %.2f s; runs:%s\n", name,
                Median(wall), Median(files), Median(cpu), Median(server), all.c_str());
}

int Run(const TOptions& options) {
    const TLayout layout = MakeLayout(options);
    std::printf("Product: %zu files, %.1f MB (%llu bytes) in %zu folders; largest %.1f MB\n", layout.Files.size(),
                double(layout.Total) / 1e6, static_cast<unsigned long long>(layout.Total), layout.Folders.size() + 1,
                double(std::max_element(layout.Files.begin(), layout.Files.end(),
                                        [](const TBenchFile& a, const TBenchFile& b) { return a.Size < b.Size; })
                           ->Size) /
                    1e6);
    int buckets[4] = {};
    uint64_t bucketBytes[4] = {};
    for (const TBenchFile& file : layout.Files) {
        const int b = file.Size < 16384 ? 0 : file.Size < 262144 ? 1 : file.Size < 1048576 ? 2 : 3;
        ++buckets[b];
        bucketBytes[b] += file.Size;
    }
    std::printf(
        "         under 16 KB: %d files (%.1f MB); 16-256 KB: %d (%.1f MB); 256 KB-1 MB: %d (%.1f MB); "
        "1 MB and more: %d (%.1f MB)\n",
        buckets[0], double(bucketBytes[0]) / 1e6, buckets[1], double(bucketBytes[1]) / 1e6, buckets[2],
        double(bucketBytes[2]) / 1e6, buckets[3], double(bucketBytes[3]) / 1e6);
    std::fflush(stdout);

    int64_t t = Now();
    std::unique_ptr<TMemoryStream> package = BuildPackage(layout, options.Level);
    std::printf("Package: %.1f MB at level %d, built in %.1f s\n", double(package->Size()) / 1e6, options.Level,
                Seconds(Now() - t));
    const test::TFiles setupFiles = SetupFiles(layout);

    String base = options.Base.empty() ? GetTempFolder() : options.Base;
    if (base.back() != u'\\') base += u"\\";
    base += u"uinst extract bench " + IntToStr(int(GetCurrentProcessId())) + u"\\";
    const String dest = base + u"ORVO Bench\\";
    CreateDirectoryW(WidePtr(base), nullptr);
    const String commandLine = u"/AUTO=\"" + dest + u"\" /SILENT" + (options.Registry ? u"" : u" /PORTABLE");
    std::printf("Destination: %s\nInstaller command line: %s\nRun journal: %s\n\n", Utf8(dest).c_str(),
                Utf8(commandLine).c_str(), options.Journal ? "on" : "off");
    std::fflush(stdout);

    test::UseTestProduct(
        [](test::TTestProduct& p) { p.Classes = {ActionClassOf<TInstallerActionExtract>(u"Extract")}; });
    std::vector<TSample> installerSamples, plainSamples;
    int result = 0;
    try {
        const int first = options.Warmup ? -1 : 0;
        for (int round = first; round < options.Rounds; ++round) {
            // Opening the packages and reading the script: not timed.
            t = Now();
            package->SetPosition(0);
            auto resources = std::make_unique<TInstallerResources>(test::MakePackage(setupFiles),
                                                                   std::make_unique<TSetupPackageReader>(*package));
            auto installer = std::make_unique<TInstaller>(commandLine, std::move(resources));
            installer->Resources().LoadLanguageFile(u"English.lng");
            installer->SetJournaled(options.Journal);
            const double openSeconds = Seconds(Now() - t);

            // The plain writer's list: full paths and the same bytes of the same package content.
            std::vector<String> folders;
            for (const String& folder : layout.Folders) folders.push_back(dest + folder);
            std::vector<TPlainFile> files;
            const TSetupPackageReader& reader = installer->Resources().ProductPackage();
            for (const TBenchFile& file : layout.Files) {
                const TSetupPackageFileTableItem* item = nullptr;
                if (!reader.FileTable().Find(file.Relative, item)) throw Exception(u"Not packed: " + file.Relative);
                files.push_back({dest + file.Relative, reader.Content().data() + item->Offset, size_t(item->Size)});
            }

            DeleteTree(dest);
            auto installerRun = [&] {
                DeleteTree(dest);
                Sleep(DWORD(options.PauseMs));
                installerSamples.push_back(RunInstaller(*installer));
                if (round == first) {
                    Verify(files, u"installer");
                    if (!FileExists(dest + u"Uninstall.exe") || !FileExists(dest + u"Uninstall.dat"))
                        throw Exception(u"The uninstaller is missing");
                }
                DeleteTree(dest);
            };
            auto plainRun = [&] {
                DeleteTree(dest);
                Sleep(DWORD(options.PauseMs));
                plainSamples.push_back(RunPlain(dest, folders, files));
                if (round == first) Verify(files, u"plain writer");
                DeleteTree(dest);
            };
            if (round % 2 == 0 || round < 0) {
                installerRun();
                plainRun();
            } else {
                plainRun();
                installerRun();
            }
            const std::string label = round < 0 ? "warm-up (not counted)" : "round " + std::to_string(round + 1);
            std::printf(
                "%s (%s first, package opened in %.2f s): installer %.3f s (start %.3f s, files %.3f s, "
                "%d reports), plain %.3f s\n",
                label.c_str(), round % 2 == 0 || round < 0 ? "installer" : "plain", openSeconds,
                installerSamples.back().Wall, gLastStartup, installerSamples.back().Files, gLastNotifications,
                plainSamples.back().Wall);
            std::fflush(stdout);
            if (round < 0) {
                installerSamples.clear();
                plainSamples.clear();
            }
            if (options.Profile && round == options.Rounds - 1) {
                installer.reset();
                package->SetPosition(0);
                auto fresh = std::make_unique<TInstallerResources>(test::MakePackage(setupFiles),
                                                                   std::make_unique<TSetupPackageReader>(*package));
                installer = std::make_unique<TInstaller>(commandLine, std::move(fresh));
                installer->Resources().LoadLanguageFile(u"English.lng");
                std::printf("profile:\n");
                Profile(*installer, dest, folders, files, options.PauseMs);
            }
            if (options.Rollback && round == options.Rounds - 1) {
                installer.reset();
                package->SetPosition(0);
                auto fresh = std::make_unique<TInstallerResources>(test::MakePackage(setupFiles),
                                                                   std::make_unique<TSetupPackageReader>(*package));
                installer = std::make_unique<TInstaller>(commandLine, std::move(fresh));
                installer->Resources().LoadLanguageFile(u"English.lng");
                TimeRollback(*installer, dest, layout, options.PauseMs);
            }
            installer.reset();
            if (options.Registry) TInstallerApplicationRepository::Unregister(u"ORVOBench");
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "error: %s\n", Utf8(e.Message()).c_str());
        result = 1;
    }
    DeleteTree(base);
    if (result) return result;

    std::printf("\n");
    PrintRow("installer (Start)", installerSamples);
    PrintRow("plain writer", plainSamples);
    std::vector<double> installerWall, installerFiles, plainWall, paired;
    for (const TSample& s : installerSamples) installerWall.push_back(s.Wall), installerFiles.push_back(s.Files);
    for (const TSample& s : plainSamples) plainWall.push_back(s.Wall);
    // Each round's two runs are back to back: their ratio is less disturbed by a load that drifts.
    for (size_t i = 0; i < installerWall.size(); ++i) paired.push_back(installerWall[i] / plainWall[i]);
    const double ratio = Median(installerWall) / Median(plainWall);
    std::printf(
        "ratio of medians installer / plain: %.2f (files phase alone: %.2f); median of the rounds' ratios: "
        "%.2f; goal at most 1.30: %s\n",
        ratio, Median(installerFiles) / Median(plainWall), Median(paired), ratio <= 1.3 ? "met" : "missed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (name == "--dest") {
            options.Base = Utf8ToString(argv[i + 1]);
            continue;
        }
        if (name == "--files")
            options.Files = std::max(1, value);
        else if (name == "--megabytes")
            options.Megabytes = std::max(1, value);
        else if (name == "--rounds")
            options.Rounds = std::max(1, value);
        else if (name == "--level")
            options.Level = std::clamp(value, 0, 9);
        else if (name == "--registry")
            options.Registry = value != 0;
        else if (name == "--pause-ms")
            options.PauseMs = std::max(0, value);
        else if (name == "--profile")
            options.Profile = value != 0;
        else if (name == "--warmup")
            options.Warmup = value != 0;
        else if (name == "--journal")
            options.Journal = value != 0;
        else if (name == "--rollback")
            options.Rollback = value != 0;
        else {
            std::fprintf(stderr,
                         "usage: extract_bench [--files N] [--megabytes M] [--rounds R] [--level L] [--registry 0|1]\n"
                         "                     [--dest FOLDER] [--pause-ms MS] [--profile 0|1] [--warmup 0|1]\n"
                         "                     [--journal 0|1] [--rollback 0|1]\n");
            return 2;
        }
    }
    try {
        return Run(options);
    } catch (const Exception& e) {
        std::fprintf(stderr, "error: %s\n", Utf8(e.Message()).c_str());
        return 1;
    }
}
