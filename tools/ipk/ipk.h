#pragma once
// ipk, the package tool for release engineers: pack, list, extract and verify "IPK5" packages.
// Everything the command line does is reachable from here, so tests run it in-process.
#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/errors.h"
#include "base/string.h"

namespace uinst::ipk {

// A mistake on the command line or in the files named there: the message says what to fix.
class EIpkError : public Exception {
public:
    using Exception::Exception;
};

// Where the tool's output goes: stdout, stderr, and whether stderr is a terminal (only then is a
// progress display drawn).
class TConsole {
public:
    virtual ~TConsole() = default;
    virtual void Out(StringView text) = 0;
    virtual void Err(StringView text) = 0;
    virtual bool Interactive() const { return false; }
};

// The process's own stdout and stderr (UTF-8, or UTF-16 to a Windows console).
std::unique_ptr<TConsole> MakeStdConsole();

// A progress line on stderr for work that takes more than a moment: nothing is drawn during the
// first half second, then at most ten updates a second; Finish (or destruction) clears it.
class TProgressLine {
public:
    explicit TProgressLine(TConsole& console);
    ~TProgressLine() { Finish(); }
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void Update(StringView phase, int64_t done, int64_t total);
    void Finish();

private:
    using Clock = std::chrono::steady_clock;
    TConsole& FConsole;
    Clock::time_point FStart, FLast;
    size_t FWidth = 0;
};

// One file to store: its name in the package, where it comes from, and whether it was found by
// walking a folder (rather than named on the command line).
struct TPackInput {
    String Name;
    std::filesystem::path Path;
    bool InFolder = false;
};

// A file stands for itself under its file name; a folder for every file below it, under its path
// relative to the folder with "\" between the parts (sorted, so packages are reproducible).
void AddInputPath(const std::filesystem::path& path, std::vector<TPackInput>& inputs);

// Splits a stored name at "\" and "/" into the parts of a relative path, or raises EIpkError when
// writing it could leave the target folder or cannot be a Windows file name: empty names or
// parts (absolute names, doubled separators), "." and "..", drive letters and other colons,
// characters Windows refuses, parts ending in a dot or blank, and device names (CON, NUL, ...).
std::vector<String> SafeNameParts(StringView name);

// Whether Windows takes a name part for a device: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM
// and LPT with a digit (0-9, or a superscript one to three), case ignored, with any extension and
// blanks before it.
bool IsDeviceName(StringView part);

// A stored name or a message as one line of output: control characters, line and paragraph
// separators, direction marks, unpaired surrogates and "<" (which starts the escape) become
// "<U+XXXX>".
String Printable(StringView text);

// Builds a package from the inputs at the level. Names must be safe and unique (case ignored).
// The package is written next to its final name first, so a failure leaves an older file intact.
// The output found while walking a folder is left out; the output named as an input is refused.
void PackFiles(const std::filesystem::path& output, const std::vector<TPackInput>& inputs, int level,
               TConsole& console);

// Writes the named entries (all when none are named) below the folder. Names, ranges, clashes
// between them as Windows sees them (one name a file, another a folder below it; two names that
// are one file with case ignored) and the target paths on disk are all checked before the first
// file is written.
void ExtractFiles(const std::filesystem::path& package, const std::vector<String>& names,
                  const std::filesystem::path& folder, TConsole& console);

// The whole tool: arguments without the program name; returns the exit status (0 success, 1 a
// failure, 2 a usage error). Messages go to the console.
int RunIpk(const std::vector<String>& args, TConsole& console);

// A path from a command-line text and back.
std::filesystem::path ToPath(StringView text);
String FromPath(const std::filesystem::path& path);

}  // namespace uinst::ipk
