#pragma once
// The command line: a small tokenizer, the switch parser built on it, and switch lookups.
// Switches are "/NAME", "/NAME=value" or "/NAME value"; "-" may stand for "/".
#include <memory>
#include <vector>

#include "base/string.h"
#include "base/string_list.h"

namespace uinst {

// A general scanner: tokens are spaces, delimiters, lone quotes, quoted texts and words.
class TORLParser {
public:
    enum TTokenKind { tkNone = 0, tkSpace = 1, tkDelimiter = 2, tkQuote = 3, tkQuotedText = 4, tkWord = 5 };
    struct TToken {
        size_t Start = 0;
        size_t Length = 0;
        TTokenKind Kind = tkNone;
        String Text;  // the token's text; a quoted text without its quotes when stripping is on
    };
    struct TOptions {
        String Delimiters;
        String Spaces;
        String Quotes;
        bool SkipSpaces = false;
        bool SkipDelimiters = false;
        bool SkipLoneQuotes = false;
        bool QuotedText = true;
        bool StripQuotes = true;
    };

    TORLParser(StringView input, TOptions options) : FInput(input), FOptions(std::move(options)) {}
    virtual ~TORLParser() = default;

    // Scans the next token that is not skipped; false at the end of the input.
    bool Next(TToken& token);

private:
    bool Scan(TToken& token);
    bool In(const String& set, Char c) const { return set.find(c) != String::npos; }

    StringView FInput;
    TOptions FOptions;
    size_t FPos = 0;
};

class TORLCommandLineProcessor {
public:
    // One switch and its values; the values stand before any switch have an empty Name.
    class TCommand : public TORLStringList {
    public:
        String Name;
    };
    using TCommands = std::vector<std::unique_ptr<TCommand>>;

    // The process command line without the program's own path.
    static String ParamsLine();
    // The same rule applied to a given command line.
    static String ParamsLine(StringView commandLine);
    static TCommands Parse(StringView commandLine);
    // The first switch of that name (case ignored); its values joined by ";".
    static bool HasSwitch(StringView commandLine, StringView name, String& value);
    static bool HasSwitch(StringView commandLine, StringView name);
};

// The switch parser's state machine over the tokens of one command line.
class TORLCommandLineParser : public TORLParser {
public:
    explicit TORLCommandLineParser(StringView commandLine);
    TORLCommandLineProcessor::TCommands Run();

private:
    enum class TState { ItemStart, Name, AfterName, Value, Text };
    void AddValue(StringView value);
    void Flush();
    void HandleText(const TToken& token);
    void Step(const TToken& token);

    TORLCommandLineProcessor::TCommands FResult;
    TORLCommandLineProcessor::TCommand* FCurrent = nullptr;
    String FText;
    TToken FPrevious;
    TState FState = TState::ItemStart;
};

// The installer's switches.
namespace Switches {
inline constexpr char16_t kAuto[] = u"AUTO";
inline constexpr char16_t kSilent[] = u"SILENT";
inline constexpr char16_t kNoBackup[] = u"NOBACKUP";
inline constexpr char16_t kRun[] = u"RUN";
inline constexpr char16_t kUpdate[] = u"UPDATE";
inline constexpr char16_t kPortable[] = u"PORTABLE";
inline constexpr char16_t kPath[] = u"PATH";
inline constexpr char16_t kSkipUAC[] = u"SKIPUAC";
}  // namespace Switches

// The command lines the program builds when it starts itself again.
// Elevated copy: "/SKIPUAC=<spawn-service window> <old parameters>".
String BuildElevationParams(int64_t spawnWindow, StringView oldParams);
// Uninstaller restarted from the temporary folder: "/PATH="<folder\>" <old parameters>".
String BuildUninstallerRestartParams(StringView folder, StringView oldParams);

}  // namespace uinst
