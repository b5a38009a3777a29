#include "engine/command_line.h"

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace uinst {

// ---------------------------------------------------------------------------------------------
// TORLParser

bool TORLParser::Scan(TToken& token) {
    if (FPos >= FInput.size()) return false;
    const size_t start = FPos;
    const Char c = FInput[start];
    token.Start = start;
    if (In(FOptions.Spaces, c)) {
        token.Kind = tkSpace;
        token.Length = 1;
        token.Text = String(1, c);
    } else if (In(FOptions.Quotes, c)) {
        const size_t close = FOptions.QuotedText ? FInput.find(c, start + 1) : StringView::npos;
        if (close == StringView::npos) {
            token.Kind = tkQuote;
            token.Length = 1;
            token.Text = String(1, c);
        } else {
            token.Kind = tkQuotedText;
            token.Length = close + 1 - start;
            token.Text = FOptions.StripQuotes ? String(FInput.substr(start + 1, close - start - 1))
                                              : String(FInput.substr(start, token.Length));
        }
    } else if (In(FOptions.Delimiters, c)) {
        token.Kind = tkDelimiter;
        token.Length = 1;
        token.Text = String(1, c);
    } else {
        size_t end = start;
        while (end < FInput.size() && !In(FOptions.Delimiters, FInput[end])) ++end;
        token.Kind = tkWord;
        token.Length = end - start;
        token.Text = String(FInput.substr(start, token.Length));
    }
    FPos = start + token.Length;
    return true;
}

bool TORLParser::Next(TToken& token) {
    while (Scan(token)) {
        if (token.Kind == tkSpace && FOptions.SkipSpaces) continue;
        if (token.Kind == tkDelimiter && FOptions.SkipDelimiters) continue;
        if (token.Kind == tkQuote && FOptions.SkipLoneQuotes) continue;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TORLCommandLineParser

namespace {

TORLParser::TOptions SwitchTokenizerOptions() {
    TORLParser::TOptions o;
    o.Delimiters = u"-/=; \r\n";
    o.Spaces = u" ";
    o.Quotes = u"\"";
    o.QuotedText = true;
    o.StripQuotes = true;
    return o;
}

// "C:..." or "\\server\share...": a new path starts here, so earlier text is a value of its own.
bool BeginsWithDrive(StringView word) {
    if (word.size() >= 2 && word[1] == u':') return true;
    if (word.size() < 5 || word[0] != u'\\' || word[1] != u'\\') return false;
    const size_t share = word.find(u'\\', 2);
    return share != StringView::npos && share > 2 && share + 1 < word.size();
}

}  // namespace

TORLCommandLineParser::TORLCommandLineParser(StringView commandLine)
    : TORLParser(commandLine, SwitchTokenizerOptions()) {}

void TORLCommandLineParser::AddValue(StringView value) {
    const String v = Trim(value);
    if (v.empty()) return;
    if (!FCurrent) {
        FResult.push_back(std::make_unique<TORLCommandLineProcessor::TCommand>());
        FCurrent = FResult.back().get();
    }
    FCurrent->Add(v);
}

void TORLCommandLineParser::Flush() {
    AddValue(FText);
    FText.clear();
}

void TORLCommandLineParser::HandleText(const TToken& token) {
    switch (token.Kind) {
        case tkSpace:
            FState = TState::ItemStart;
            break;
        case tkDelimiter:
        case tkQuote:
            if (token.Text == u"\r" || token.Text == u"\n")
                Flush();
            else
                FText += token.Text;
            break;
        case tkQuotedText:
            Flush();
            AddValue(token.Text);
            break;
        case tkWord:
            if (BeginsWithDrive(token.Text)) Flush();
            FText += token.Text;
            break;
        case tkNone:
            break;
    }
}

void TORLCommandLineParser::Step(const TToken& token) {
    switch (FState) {
        case TState::ItemStart:
            if (token.Kind == tkDelimiter && token.Text == u"/") {
                FState = TState::Name;
            } else if (token.Kind == tkDelimiter && token.Text == u"-" && (!FResult.empty() || FText.empty())) {
                FState = TState::Name;
            } else {
                FState = TState::Text;
                FText += FPrevious.Text;
                HandleText(token);
            }
            break;
        case TState::Name:
            if (token.Kind == tkWord) {
                Flush();
                auto command = std::make_unique<TORLCommandLineProcessor::TCommand>();
                command->Name = token.Text;
                FCurrent = command.get();
                FResult.push_back(std::move(command));
                FState = TState::AfterName;
            } else {
                FState = TState::Text;
                FText += u' ';
                FText += FPrevious.Text;
                HandleText(token);
            }
            break;
        case TState::AfterName:
            if (token.Text == u"=" && token.Kind == tkDelimiter) {
                FState = TState::Value;
            } else {
                FState = TState::Text;
                HandleText(token);
            }
            break;
        case TState::Value:
            if (token.Kind == tkSpace) {
                Flush();
                FState = TState::ItemStart;
                FCurrent = nullptr;
            } else if (token.Kind == tkDelimiter && token.Text == u";") {
                Flush();
            } else if (token.Kind == tkDelimiter) {
                FText += token.Text;
            } else if (token.Kind == tkQuotedText || token.Kind == tkWord) {
                HandleText(token);
            }
            break;  // a lone quote is ignored
        case TState::Text:
            HandleText(token);
            break;
    }
}

TORLCommandLineProcessor::TCommands TORLCommandLineParser::Run() {
    TToken token;
    while (Next(token)) {
        Step(token);
        FPrevious = token;
    }
    Flush();
    return std::move(FResult);
}

// ---------------------------------------------------------------------------------------------
// TORLCommandLineProcessor

String TORLCommandLineProcessor::ParamsLine(StringView commandLine) {
    const String line = Trim(commandLine);
    TORLParser::TOptions o;
    o.Delimiters = u" \r\n";
    o.Spaces = String(u" \r\n\t") + Char(0);
    o.Quotes = u"\"'";
    o.SkipSpaces = true;
    o.QuotedText = true;
    o.StripQuotes = true;
    TORLParser parser(line, o);
    TORLParser::TToken first;
    if (!parser.Next(first)) return String();
    return Trim(StringView(line).substr(first.Start + first.Length));
}

String TORLCommandLineProcessor::ParamsLine() {
#ifdef _WIN32
    return ParamsLine(FromWide(GetCommandLineW()));
#else
    return String();  // the program only reads its own command line on Windows
#endif
}

TORLCommandLineProcessor::TCommands TORLCommandLineProcessor::Parse(StringView commandLine) {
    return TORLCommandLineParser(commandLine).Run();
}

bool TORLCommandLineProcessor::HasSwitch(StringView commandLine, StringView name, String& value) {
    value.clear();
    for (const auto& command : Parse(commandLine)) {
        if (!command->Name.empty() && SameText(command->Name, name)) {
            for (int i = 0; i < command->Count(); ++i) {
                if (i > 0) value += u';';
                value += (*command)[i];
            }
            return true;
        }
    }
    return false;
}

bool TORLCommandLineProcessor::HasSwitch(StringView commandLine, StringView name) {
    String ignored;
    return HasSwitch(commandLine, name, ignored);
}

String BuildElevationParams(int64_t spawnWindow, StringView oldParams) {
    return Format(u"/%s=%d %s", {Switches::kSkipUAC, spawnWindow, String(oldParams)});
}

String BuildUninstallerRestartParams(StringView folder, StringView oldParams) {
    return Format(u"/%s=\"%s\" %s", {Switches::kPath, IncludeTrailingPathDelimiter(folder), String(oldParams)});
}

}  // namespace uinst
