#include "tools/ipk/ipk.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <utility>

#include "base/file_replacement.h"
#include "base/format.h"
#include "base/integers.h"
#include "base/stream.h"
#include "base/text_case.h"
#include "formats/xml_convert.h"
#include "package/setup_package.h"

namespace uinst::ipk {

namespace fs = std::filesystem;

namespace {

constexpr int kDefaultLevel = 4;

// A command-line mistake: exit status 2 and a pointer to the help.
class EUsageError : public EIpkError {
public:
    using EIpkError::EIpkError;
};

String Quoted(StringView text) {
    String quoted;
    quoted.reserve(text.size() + 2);
    return quoted.append(1, u'"').append(text).append(1, u'"');
}

String MiB(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / 1048576.0);
    return Ascii(text);
}

bool IsOption(StringView arg) {
    return arg.size() > 1 && arg[0] == u'-';
}

// "--level N" or "--level=N": the value, taking the next argument when needed.
bool TakeOption(const std::vector<String>& args, size_t& at, StringView name, String& value) {
    const String& arg = args[at];
    if (arg == name) {
        if (at + 1 >= args.size()) throw EUsageError(Format(u"option %s needs a value", {String(name)}));
        value = args[++at];
        return true;
    }
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == u'=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

// Writes an output file whole: a failure leaves an older file as it was, and the error names the
// file with the system's reason.
void WriteOutput(const fs::path& path, const std::function<void(TStream&)>& write) {
    try {
        WriteFileReplacing(FromPath(path), write);
    } catch (const EStreamError& e) {
        throw EIpkError(Format(u"cannot write %s: %s", {Quoted(FromPath(path)), e.Message()}));
    }
}

// Reads the package file and shows how much of it has been decoded.
class TProgressReader : public TStream {
public:
    TProgressReader(TStream& inner, TProgressLine& progress) : FInner(inner), FProgress(progress) {
        FTotal = inner.Size();
    }
    size_t Read(void* buffer, size_t count) override {
        const size_t n = FInner.Read(buffer, count);
        FDone += int64_t(n);
        FProgress.Update(u"opening", FDone, FTotal);
        return n;
    }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FInner.Seek(offset, origin); }
    void SetSize(int64_t) override { throw EWriteError(); }

private:
    TStream& FInner;
    TProgressLine& FProgress;
    int64_t FTotal = 0, FDone = 0;
};

std::unique_ptr<TSetupPackageReader> OpenPackage(const fs::path& path, TProgressLine& progress) {
    try {
        TORLFileStream file(FromPath(path), TORLFileStream::TMode::fmOpenRead);
        TProgressReader reader(file, progress);
        auto package = std::make_unique<TSetupPackageReader>(reader);
        progress.Finish();
        return package;
    } catch (const EFOpenError&) {
        throw;  // its message names the file already
    } catch (const Exception& e) {
        throw EIpkError(FromPath(path) + u": " + e.Message());
    }
}

// Names as Windows compares paths: either separator, case ignored. Finds two names that would be
// one file, and a name that is a file where another needs a folder.
class TPathClashes {
public:
    // The parts to write, each folder spelt as the first name that needed it (so the result is the
    // same on every system), or EIpkError for a clash with a name added before.
    std::vector<String> Add(StringView name, std::vector<String> parts) {
        String key;
        for (size_t n = 0; n < parts.size(); ++n) {
            key += (n > 0 ? u"\\" : u"") + UpperCase(parts[n]);
            if (n + 1 < parts.size()) {
                if (const auto file = FFiles.find(key); file != FFiles.end()) throw Clash(file->second, name);
                parts[n] = FFolders.emplace(key, TFolder{parts[n], String(name)}).first->second.Spelling;
            } else {
                if (const auto folder = FFolders.find(key); folder != FFolders.end())
                    throw Clash(name, folder->second.Name);
                if (const auto [file, added] = FFiles.emplace(key, String(name)); !added)
                    throw EIpkError(
                        Format(u"%s and %s would be written to the same file", {Quoted(file->second), Quoted(name)}));
            }
        }
        return parts;
    }

private:
    static EIpkError Clash(StringView file, StringView other) {
        return EIpkError(Format(u"%s would be a file and also a folder holding %s", {Quoted(file), Quoted(other)}));
    }

    struct TFolder {
        String Spelling;
        String Name;
    };
    std::map<String, TFolder> FFolders;  // by upper-case path
    std::map<String, String> FFiles;     // by upper-case path
};

// ---------------------------------------------------------------------------------------------
// Commands. Each takes the arguments after its name and returns the exit status.

const char16_t* const kPackHelp =
    u"usage: ipk pack [--level N] OUTPUT INPUT... [--name NAME=FILE]...\n"
    u"Builds the package OUTPUT. A file INPUT is stored under its file name; a folder INPUT adds\n"
    u"every file below it under its path relative to the folder, with \"\\\" between the parts.\n"
    u"  --level N         compression level 0-9 (default 4)\n"
    u"  --name NAME=FILE  stores FILE under the name NAME\n";
const char16_t* const kListHelp =
    u"usage: ipk list PACKAGE\n"
    u"Prints one line per entry in table order: name, size and offset, separated by tabs. Control\n"
    u"characters and \"<\" in names are shown as <U+XXXX>.\n";
const char16_t* const kExtractHelp =
    u"usage: ipk extract PACKAGE [NAME...] [-C FOLDER]\n"
    u"Writes all files, or the named ones (case ignored), below FOLDER (default: the current\n"
    u"folder); a \"\\\" in a stored name makes a sub-folder. Names that would leave the folder, that\n"
    u"Windows takes for devices, or that clash with each other or with what is on disk are\n"
    u"refused before anything is written.\n";
const char16_t* const kVerifyHelp =
    u"usage: ipk verify PACKAGE\n"
    u"Opens the package (checksum included) and checks that every entry lies inside its content.\n";
const char16_t* const kKeyHelp = u"usage: ipk key\nPrints the package key as eight hexadecimal digits.\n";
const char16_t* const kXmlHelp =
    u"usage: ipk xml INPUT OUTPUT --to text|sxml\n"
    u"Converts a document (text, SXML or BXML) into the text form (indented UTF-8) or SXML. The\n"
    u"result is read back and compared first: a document the target form cannot hold unchanged is\n"
    u"refused and nothing is written.\n";

bool WantsHelp(const std::vector<String>& args) {
    for (const auto& arg : args) {
        if (arg == u"--") return false;
        if (arg == u"--help" || arg == u"-h") return true;
    }
    return false;
}

int RunPack(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kPackHelp);
        return 0;
    }
    int level = kDefaultLevel;
    String output;
    bool haveOutput = false, optionsEnded = false;
    std::vector<TPackInput> inputs;
    int inputCount = 0;
    for (size_t at = 0; at < args.size(); ++at) {
        const String& arg = args[at];
        String value;
        if (!optionsEnded && arg == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && TakeOption(args, at, u"--level", value)) {
            if (value.size() != 1 || value[0] < u'0' || value[0] > u'9')
                throw EUsageError(Format(u"--level takes a number from 0 to 9, not %s", {Quoted(value)}));
            level = value[0] - u'0';
        } else if (!optionsEnded && TakeOption(args, at, u"--name", value)) {
            const size_t eq = value.find(u'=');
            if (eq == String::npos || eq == 0 || eq + 1 == value.size())
                throw EUsageError(Format(u"--name takes NAME=FILE, not %s", {Quoted(value)}));
            const fs::path path = ToPath(value.substr(eq + 1));
            if (!fs::is_regular_file(path))
                throw EIpkError(Format(u"%s is not a file", {Quoted(value.substr(eq + 1))}));
            inputs.push_back({value.substr(0, eq), path});
            ++inputCount;
        } else if (!optionsEnded && IsOption(arg)) {
            throw EUsageError(Format(u"unknown option %s for pack", {Quoted(arg)}));
        } else if (!haveOutput) {
            output = arg;
            haveOutput = true;
        } else {
            AddInputPath(ToPath(arg), inputs);
            ++inputCount;
        }
    }
    // An empty folder makes an empty package; no inputs at all is a mistake.
    if (!haveOutput || inputCount == 0) throw EUsageError(u"pack needs an output file and at least one input");
    PackFiles(ToPath(output), inputs, level, console);
    return 0;
}

int RunList(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kListHelp);
        return 0;
    }
    std::vector<String> positional;
    for (const auto& arg : args)
        if (arg != u"--") positional.push_back(arg);
    if (positional.size() != 1) throw EUsageError(u"list takes exactly one package");
    TProgressLine progress(console);
    const auto package = OpenPackage(ToPath(positional[0]), progress);
    String text;
    const auto& table = package->FileTable();
    for (int n = 0; n < table.Count(); ++n) {
        const auto& item = table.Items(n);
        text += Printable(item.Name) + u"\t" + IntToStr(item.Size) + u"\t" + IntToStr(item.Offset) + u"\n";
        if (text.size() > 65536) console.Out(std::exchange(text, String()));
    }
    console.Out(text);
    return 0;
}

int RunExtract(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kExtractHelp);
        return 0;
    }
    String folder = u".", packageName;
    bool havePackage = false, optionsEnded = false;
    std::vector<String> names;
    for (size_t at = 0; at < args.size(); ++at) {
        String value;
        if (!optionsEnded && args[at] == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && TakeOption(args, at, u"-C", value)) {
            folder = value;
        } else if (!optionsEnded && IsOption(args[at])) {
            throw EUsageError(Format(u"unknown option %s for extract", {Quoted(args[at])}));
        } else if (!havePackage) {
            packageName = args[at];
            havePackage = true;
        } else {
            names.push_back(args[at]);
        }
    }
    if (!havePackage) throw EUsageError(u"extract needs a package");
    ExtractFiles(ToPath(packageName), names, ToPath(folder), console);
    return 0;
}

int RunVerify(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kVerifyHelp);
        return 0;
    }
    std::vector<String> positional;
    for (const auto& arg : args)
        if (arg != u"--") positional.push_back(arg);
    if (positional.size() != 1) throw EUsageError(u"verify takes exactly one package");
    TProgressLine progress(console);
    const auto package = OpenPackage(ToPath(positional[0]), progress);
    const auto& table = package->FileTable();
    int bad = 0;
    for (int n = 0; n < table.Count(); ++n) {
        const auto& item = table.Items(n);
        if (package->ItemInContent(item)) continue;
        console.Err(Format(u"ipk: entry %s (offset %d, size %d) lies outside the content\n",
                           {Printable(Quoted(item.Name)), item.Offset, item.Size}));
        ++bad;
    }
    if (bad > 0) return 1;
    console.Out(Format(u"%s: %d files, %d bytes of content, ok\n",
                       {Printable(positional[0]), table.Count(), int64_t(package->Content().size())}));
    return 0;
}

int RunKey(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kKeyHelp);
        return 0;
    }
    if (!args.empty()) throw EUsageError(u"key takes no arguments");
    char text[16];
    std::snprintf(text, sizeof text, "%08X\n", unsigned(SetupPackageKey));
    console.Out(Ascii(text));
    return 0;
}

int RunXml(const std::vector<String>& args, TConsole& console) {
    if (WantsHelp(args)) {
        console.Out(kXmlHelp);
        return 0;
    }
    std::vector<String> positional;
    String form;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == u"--to") {
            if (i + 1 >= args.size()) throw EUsageError(u"--to needs text or sxml");
            form = args[++i];
        } else if (args[i] != u"--") {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) throw EUsageError(u"xml takes an input and an output file");
    TXMLTargetForm target;
    if (form == u"text")
        target = TXMLTargetForm::xtText;
    else if (form == u"sxml")
        target = TXMLTargetForm::xtSXML;
    else
        throw EUsageError(u"--to must be text or sxml");
    TMemoryStream input;
    input.LoadFromFile(positional[0]);
    TMemoryStream output;
    ConvertXmlDocument(input, output, target);
    // The input is in memory by now, so the output may be the input file itself.
    WriteOutput(ToPath(positional[1]), [&](TStream& file) { output.SaveToStream(file); });
    console.Out(Format(u"%s: %d bytes written\n", {Printable(positional[1]), output.Size()}));
    return 0;
}

struct TCommand {
    const char16_t* Name;
    const char16_t* Synopsis;
    const char16_t* Summary;
    int (*Run)(const std::vector<String>& args, TConsole& console);
};

// The subcommands, in the order the help lists them. A new subcommand is one more line here and
// one Run function above.
const TCommand kCommands[] = {
    {u"pack", u"pack [--level N] OUTPUT INPUT... [--name NAME=FILE]...", u"build a package", RunPack},
    {u"list", u"list PACKAGE", u"list the entries: name, size, offset", RunList},
    {u"extract", u"extract PACKAGE [NAME...] [-C FOLDER]", u"write the files below a folder", RunExtract},
    {u"verify", u"verify PACKAGE", u"check a package and its table", RunVerify},
    {u"key", u"key", u"print the package key", RunKey},
    {u"xml", u"xml INPUT OUTPUT --to text|sxml", u"convert a document between its forms", RunXml},
};

String Usage() {
    String text = u"usage: ipk COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const auto& command : kCommands) {
        String line = u"  ipk " + String(command.Synopsis);
        line.append(line.size() < 62 ? 62 - line.size() : 1, u' ');
        text += line + command.Summary + u"\n";
    }
    text += u"\n\"ipk COMMAND --help\" describes one command.\n";
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

fs::path ToPath(StringView text) {
    return fs::path(String(text));
}

String FromPath(const fs::path& path) {
    return path.u16string();
}

TProgressLine::TProgressLine(TConsole& console) : FConsole(console), FStart(Clock::now()), FLast(FStart) {}

void TProgressLine::Update(StringView phase, int64_t done, int64_t total) {
    if (!FConsole.Interactive()) return;
    const auto now = Clock::now();
    if (now - FStart < std::chrono::milliseconds(500) || (FWidth > 0 && now - FLast < std::chrono::milliseconds(100)))
        return;
    FLast = now;
    String text = String(phase) + u": ";
    if (total > 0)
        text += IntToStr(std::clamp<int64_t>(done * 100 / total, 0, 100)) + u"% of " + MiB(total);
    else
        text += MiB(done);
    const size_t width = text.size();
    if (text.size() < FWidth) text.append(FWidth - text.size(), u' ');
    FWidth = width;
    FConsole.Err(u"\r" + text);
}

void TProgressLine::Finish() {
    if (FWidth == 0) return;
    String blank(1, u'\r');
    blank.append(FWidth, u' ').append(1, u'\r');
    FConsole.Err(blank);
    FWidth = 0;
}

bool IsDeviceName(StringView part) {
    // Windows opens the device whatever extension follows and ignores blanks before it.
    const String base = TrimRight(part.substr(0, part.find(u'.')));
    static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
    for (const char16_t* device : kDevices)
        if (SameText(base, device)) return true;
    if (base.size() != 4 || !(SameText(base.substr(0, 3), u"COM") || SameText(base.substr(0, 3), u"LPT"))) return false;
    // The superscript digits one to three count as digits here.
    const Char digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

String Printable(StringView text) {
    const auto escape = [](Char c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == u'<' || c == 0x061C || c == 0x200E || c == 0x200F ||
               (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
    };
    String out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.append(text.substr(i, 2));
            ++i;
        } else if (escape(c) || (c >= 0xD800 && c <= 0xDFFF)) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", unsigned(c));
            out += Ascii(code);
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<String> SafeNameParts(StringView name) {
    auto refuse = [&](const char16_t* why) -> void {
        throw EIpkError(Format(u"unsafe name %s: %s", {Quoted(name), why}));
    };
    if (name.empty()) refuse(u"it is empty");
    std::vector<String> parts;
    size_t start = 0;
    for (size_t at = 0; at <= name.size(); ++at) {
        if (at < name.size() && name[at] != u'\\' && name[at] != u'/') continue;
        parts.emplace_back(name.substr(start, at - start));
        start = at + 1;
    }
    for (const String& part : parts) {
        if (part.empty()) refuse(u"it is absolute or has an empty part");
        if (part == u"." || part == u"..") refuse(u"it has a \".\" or \"..\" part");
        for (Char c : part) {
            if (c == u':') refuse(u"it has a drive letter or a colon");
            if (c < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
                refuse(u"it has a character that Windows does not allow in file names");
        }
        if (part.back() == u'.' || part.back() == u' ') refuse(u"a part ends with a dot or a blank");
        if (IsDeviceName(part)) refuse(u"it names a Windows device");
    }
    return parts;
}

void AddInputPath(const fs::path& path, std::vector<TPackInput>& inputs) {
    std::error_code error;
    const auto status = fs::status(path, error);
    if (error || !fs::exists(status)) throw EIpkError(Format(u"%s does not exist", {Quoted(FromPath(path))}));
    if (fs::is_regular_file(status)) {
        inputs.push_back({FromPath(path.filename()), path});
        return;
    }
    if (!fs::is_directory(status)) throw EIpkError(Format(u"%s is not a file or folder", {Quoted(FromPath(path))}));
    std::vector<TPackInput> found;
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        String name;
        for (const auto& part : entry.path().lexically_relative(path)) {
            const String text = FromPath(part);
            // On Linux a "\" inside a file name would turn into a folder on the way out.
            if (text.find(u'\\') != String::npos)
                throw EIpkError(Format(u"cannot store %s: its name contains \"\\\"", {Quoted(FromPath(entry.path()))}));
            if (!name.empty()) name += u'\\';
            name += text;
        }
        found.push_back({name, entry.path(), true});
    }
    std::sort(found.begin(), found.end(), [](const TPackInput& a, const TPackInput& b) { return a.Name < b.Name; });
    inputs.insert(inputs.end(), found.begin(), found.end());
}

void PackFiles(const fs::path& output, const std::vector<TPackInput>& inputs, int level, TConsole& console) {
    // Names first: a package whose files the reader cannot tell apart, or that ipk would refuse to
    // extract, is refused before any work is done.
    std::map<String, const TPackInput*> seen;  // by upper-case name
    TPathClashes clashes;
    std::vector<const TPackInput*> selected;
    int64_t total = 0;
    std::error_code error;
    const bool outputExists = fs::exists(output, error);
    for (const auto& input : inputs) {
        // A package written into a folder that is being packed must not swallow itself; named
        // on its own, the output is a mistake that would leave an empty package.
        if (outputExists && fs::equivalent(input.Path, output, error)) {
            if (input.InFolder) continue;
            throw EIpkError(
                Format(u"%s is the output file; it cannot also be an input", {Quoted(FromPath(input.Path))}));
        }
        const auto parts = SafeNameParts(input.Name);
        if (input.Name.size() > 65535) throw EIpkError(Format(u"the name %s is too long", {Quoted(input.Name)}));
        const auto [at, added] = seen.emplace(UpperCase(input.Name), &input);
        if (!added)
            throw EIpkError(
                Format(u"%s and %s would both be stored as %s",
                       {Quoted(FromPath(at->second->Path)), Quoted(FromPath(input.Path)), Quoted(input.Name)}));
        clashes.Add(input.Name, parts);
        selected.push_back(&input);
        total += int64_t(fs::file_size(input.Path));
    }

    TProgressLine progress(console);
    TSetupPackageBuilder builder(SetupPackageKey);
    int64_t done = 0;
    for (const TPackInput* input : selected) {
        try {
            TORLFileStream file(FromPath(input->Path), TORLFileStream::TMode::fmOpenRead);
            builder.Add(file, input->Name);
            done += file.Size();
        } catch (const EFOpenError&) {
            throw;
        } catch (const Exception& e) {
            throw EIpkError(FromPath(input->Path) + u": " + e.Message());
        }
        progress.Update(u"reading", done, total);
    }

    WriteOutput(output, [&](TStream& file) {
        builder.Commit(file, level, [&](int64_t at, int64_t size) { progress.Update(u"compressing", at, size); });
    });
    progress.Finish();
}

void ExtractFiles(const fs::path& packagePath, const std::vector<String>& names, const fs::path& folder,
                  TConsole& console) {
    TProgressLine progress(console);
    const auto package = OpenPackage(packagePath, progress);
    const auto& table = package->FileTable();

    // What to write: the named entries (first match, as the setup program finds them), or every
    // entry that a lookup by its name reaches (a later duplicate is shadowed and skipped).
    std::vector<const TSetupPackageFileTableItem*> items;
    std::set<const TSetupPackageFileTableItem*> selected;
    auto select = [&](const TSetupPackageFileTableItem* item) {
        if (selected.insert(item).second) items.push_back(item);
    };
    if (names.empty()) {
        for (int n = 0; n < table.Count(); ++n) {
            const TSetupPackageFileTableItem* first;
            if (table.Find(table.Items(n).Name, first) && first == &table.Items(n)) select(first);
        }
    } else {
        String missing;
        for (const auto& name : names) {
            const TSetupPackageFileTableItem* item;
            if (table.Find(name, item))
                select(item);
            else
                missing += (missing.empty() ? u"" : u", ") + Quoted(name);
        }
        if (!missing.empty()) throw EIpkError(u"not in the package: " + missing);
    }

    // Every check before the first write, so a bad entry leaves the folder untouched.
    TPathClashes clashes;
    std::vector<fs::path> targets;
    int64_t total = 0;
    for (const auto* item : items) {
        const auto parts = clashes.Add(item->Name, SafeNameParts(item->Name));
        if (!package->ItemInContent(*item))
            throw EIpkError(Format(u"entry %s lies outside the package content", {Quoted(item->Name)}));
        fs::path target = folder;
        for (size_t n = 0; n < parts.size(); ++n) {
            const bool last = n + 1 == parts.size();
            target /= ToPath(parts[n]);
            // An existing symbolic link inside the folder could lead the write elsewhere; an
            // existing file where a folder belongs, or the reverse, would stop the extraction
            // half way.
            std::error_code error;
            const auto status = fs::symlink_status(target, error);
            if (fs::is_symlink(status))
                throw EIpkError(Format(u"refusing to write through the symbolic link %s", {Quoted(FromPath(target))}));
            if (!last && fs::exists(status) && !fs::is_directory(status))
                throw EIpkError(
                    Format(u"cannot create the folder %s: a file of that name exists", {Quoted(FromPath(target))}));
            if (last && fs::is_directory(status))
                throw EIpkError(Format(u"cannot write %s: a folder of that name exists", {Quoted(FromPath(target))}));
        }
        targets.push_back(target);
        total += item->Size;
    }

    // Each file is written beside its place first and removes what an earlier attempt left there:
    // shorter paths go first, so "a" cannot remove an entry "a.partial" written before it.
    std::vector<size_t> order(items.size());
    for (size_t n = 0; n < order.size(); ++n) order[n] = n;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return targets[a].native().size() < targets[b].native().size(); });
    int64_t done = 0;
    for (const size_t n : order) {
        fs::create_directories(targets[n].parent_path());
        WriteOutput(targets[n], [&](TStream& file) { package->SaveItemToStream(*items[n], file); });
        done += items[n]->Size;
        progress.Update(u"extracting", done, total);
    }
}

int RunIpk(const std::vector<String>& args, TConsole& console) {
    try {
        if (args.empty()) throw EUsageError(u"no command given");
        const String& name = args[0];
        if (name == u"--help" || name == u"-h" || name == u"help") {
            console.Out(Usage());
            return 0;
        }
        const std::vector<String> rest(args.begin() + 1, args.end());
        for (const auto& command : kCommands)
            if (name == command.Name) return command.Run(rest, console);
        throw EUsageError(Format(u"unknown command %s", {Quoted(name)}));
    } catch (const EUsageError& e) {
        console.Err(u"ipk: " + Printable(e.Message()) + u"\n" + Usage());
        return 2;
    } catch (const Exception& e) {
        console.Err(u"ipk: " + Printable(e.Message()) + u"\n");
    } catch (const fs::filesystem_error& e) {
        console.Err(u"ipk: " + Printable(Utf8ToString(e.what())) + u"\n");
    } catch (const std::bad_alloc&) {
        console.Err(u"ipk: out of memory\n");
    } catch (const std::exception& e) {
        console.Err(u"ipk: " + Printable(Utf8ToString(e.what())) + u"\n");
    }
    return 1;
}

}  // namespace uinst::ipk
