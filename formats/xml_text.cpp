#include "formats/xml_text.h"

#include <algorithm>
#include <vector>

#include "base/integers.h"

namespace uinst {

namespace {

bool SameAscii(StringView text, std::string_view ascii) {
    if (text.size() != ascii.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        Char a = text[i];
        char b = ascii[i];
        if (a >= u'a' && a <= u'z') a = static_cast<Char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != static_cast<Char>(static_cast<unsigned char>(b))) return false;
    }
    return true;
}

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

// ---------------------------------------------------------------------------------------------
// TORLTextXMLParser

bool TORLTextXMLParser::BlankAt(size_t i) const {
    const char c = FBuffer[i];
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

TORLTextXMLParser::TToken TORLTextXMLParser::Next() {
    const size_t n = FBuffer.size();
    while (FPosition < n && BlankAt(FPosition)) ++FPosition;
    const size_t p = FTokenStart = FPosition;
    if (p >= n) {
        FTokenText = {};
        return TToken::ttEnd;
    }
    const char c = FBuffer[p];
    const char next = p + 1 < n ? FBuffer[p + 1] : '\0';
    if (c == '"' || c == '\'') {
        // A quoted value never runs across "<" or ">"; its closing quote may be missing.
        size_t j = p + 1;
        while (j < n && FBuffer[j] != c && FBuffer[j] != '<' && FBuffer[j] != '>') ++j;
        FTokenText = FBuffer.substr(p + 1, j - p - 1);
        FPosition = j < n && FBuffer[j] == c ? j + 1 : j;
        return TToken::ttQuoted;
    }
    if ((c == '/' || c == '?') && next == '>') {
        FTokenText = FBuffer.substr(p, 2);
        FPosition = p + 2;
        return TToken::ttEmptyEnd;
    }
    if (c == '<') {
        if (next == '/') {
            FTokenText = FBuffer.substr(p, 2);
            FPosition = p + 2;
            return TToken::ttEndTagStart;
        }
        // Comments and character data count only when their closing marker follows somewhere;
        // once a search has failed, every later one would fail too.
        if (FBuffer.substr(p, 4) == "<!--" && !FNoCommentEnd) {
            const size_t end = FBuffer.find("-->", p + 4);
            if (end != std::string_view::npos) {
                FTokenText = FBuffer.substr(p + 4, end - p - 4);
                FPosition = end + 3;
                return TToken::ttComment;
            }
            FNoCommentEnd = true;
        }
        if (FBuffer.substr(p, 9) == "<![CDATA[" && !FNoCDataEnd) {
            const size_t end = FBuffer.find("]]>", p + 9);
            if (end != std::string_view::npos) {
                FTokenText = FBuffer.substr(p + 9, end - p - 9);
                FPosition = end + 3;
                return TToken::ttCData;
            }
            FNoCDataEnd = true;
        }
        FTokenText = FBuffer.substr(p, 1);
        FPosition = p + 1;
        return TToken::ttTagStart;
    }
    if (c == '=' || c == '>' || c == '/') {
        FTokenText = FBuffer.substr(p, 1);
        FPosition = p + 1;
        return c == '=' ? TToken::ttEquals : c == '>' ? TToken::ttTagEnd : TToken::ttWord;
    }
    size_t j = p;
    while (j < n) {
        const char b = FBuffer[j];
        if (b == '=' || b == '/' || b == '<' || b == '>' || b == ' ' || b == '\t' || b == '\r' || b == '\n') break;
        ++j;
    }
    FTokenText = FBuffer.substr(p, j - p);
    FPosition = j;
    return TToken::ttWord;
}

TORLTextXMLParser::TTagEnd TORLTextXMLParser::ReadTag(TORLXMLNode& node) {
    // The counter runs name (0), attribute name (1), equals sign (2), value (3), and back to an
    // attribute name; a token where an equals sign belongs starts the next attribute instead.
    int counter = 0;
    TORLXMLAttribute* last = nullptr;
    for (;;) {
        const TToken token = Next();
        switch (token) {
            case TToken::ttEnd:
            case TToken::ttTagEnd:
                return TTagEnd::teContent;
            case TToken::ttEmptyEnd:
                return TTagEnd::teEmpty;
            case TToken::ttTagStart:
            case TToken::ttComment:
            case TToken::ttCData:
                return TTagEnd::teAbort;
            case TToken::ttWord:
            case TToken::ttQuoted:
            case TToken::ttEquals:
            case TToken::ttEndTagStart:
                if (counter > 3) counter = 1;
                if (counter == 0) node.SetName(FTokenText);
                if (counter == 2 && token != TToken::ttEquals) counter = 1;
                if (counter == 1) last = node.Attributes().Add(FTokenText, String());
                if (counter == 3 && last) last->Value = DecodeXMLBytes(FTokenText, FSettings);
                ++counter;
                break;
        }
    }
}

void TORLTextXMLParser::GivePendingText(TORLXMLNode& node) {
    if (!FHasPending) return;
    size_t begin = FPendingStart;
    size_t end = FTokenStart;
    if (!FPreserve) {
        while (begin < end && static_cast<unsigned char>(FBuffer[begin]) <= 0x20) ++begin;
        while (end > begin && static_cast<unsigned char>(FBuffer[end - 1]) <= 0x20) --end;
    }
    if (begin < end) node.SetText(DecodeXMLBytes(FBuffer.substr(begin, end - begin), FSettings));
}

void TORLTextXMLParser::TakeByteOrderMark() {
    using namespace std::literals;
    const auto starts = [&](std::string_view mark) { return FBuffer.substr(0, mark.size()) == mark; };
    const auto* b = reinterpret_cast<const unsigned char*>(FBuffer.data());
    if (starts("\xEF\xBB\xBF"sv)) {
        FBuffer.remove_prefix(3);
    } else if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv)) {
        // UTF-32 (a UTF-16 document cannot start with U+0000 after its mark).
        const bool little = b[0] == 0xFF;
        String text;
        text.reserve(FBuffer.size() / 4);
        for (size_t i = 4; i + 4 <= FBuffer.size(); i += 4) {
            char32_t cp = 0;
            for (int k = 0; k < 4; ++k) cp |= char32_t(b[i + (little ? k : 3 - k)]) << (8 * k);
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
            if (cp >= 0x10000) {
                text.push_back(static_cast<Char>(0xD800 + ((cp - 0x10000) >> 10)));
                text.push_back(static_cast<Char>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                text.push_back(static_cast<Char>(cp));
            }
        }
        FConverted = EncodeXMLUtf8(text);
        FBuffer = FConverted;
    } else if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv)) {
        const bool little = b[0] == 0xFF;
        String text((FBuffer.size() - 2) / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char first = b[2 + 2 * i], second = b[3 + 2 * i];
            text[i] = static_cast<Char>(little ? first | second << 8 : second | first << 8);
        }
        // Unpaired surrogates keep their units: the reader's UTF-8 takes them back as they were.
        FConverted = EncodeXMLUtf8(text);
        FBuffer = FConverted;
    } else {
        return;
    }
    FSettings.Mode = TORLXMLReadSettings::kModeUtf8;
    FEncodingFixed = true;
}

void TORLTextXMLParser::Parse() {
    TakeByteOrderMark();
    TORLXMLNode* current = &FDocument;
    for (;;) {
        switch (Next()) {
            case TToken::ttEnd:
                return;
            case TToken::ttTagStart: {
                const char next = FPosition < FBuffer.size() ? FBuffer[FPosition] : '\0';
                if (next == '?') {
                    // A declaration: its encoding decides how everything after it is decoded.
                    TORLXMLNode declaration;
                    const TTagEnd end = ReadTag(declaration);
                    String encoding;
                    if (!FEncodingFixed && declaration.Attributes().TryGetValue("encoding", encoding)) {
                        if (SameAscii(encoding, "utf-8")) {
                            FSettings.Mode = TORLXMLReadSettings::kModeUtf8;
                        } else if (encoding.size() >= 8 && SameAscii(StringView(encoding).substr(0, 8), "windows-")) {
                            FSettings.Mode = TORLXMLReadSettings::kModeCodePage;
                            FSettings.CodePage = StrToIntDef(StringView(encoding).substr(8), 0);
                        } else {
                            FSettings.Mode = TORLXMLReadSettings::kModeAnsi;
                        }
                    }
                    if (end == TTagEnd::teAbort) return;
                    break;
                }
                if (next == '!') {
                    TORLXMLNode ignored;
                    if (ReadTag(ignored) == TTagEnd::teAbort) return;
                    break;
                }
                GivePendingText(*current);
                TORLXMLNode* child = current->Add(std::string_view());
                const TTagEnd end = ReadTag(*child);
                if (end == TTagEnd::teAbort) return;
                String space;
                if (child->Attributes().TryGetValue("xml:space", space)) {
                    FPreserve = SameAscii(space, "preserve");
                    child->Attributes().Remove("xml:space");
                }
                if (end == TTagEnd::teEmpty)
                    FPreserve = false;
                else
                    current = child;
                FHasPending = true;
                FPendingStart = FPosition;
                break;
            }
            case TToken::ttEndTagStart:
                // The end tag's name is not compared with anything.
                if (current->Count() == 0) GivePendingText(*current);
                FPreserve = false;
                if (current == &FDocument) return;
                current = current->Parent();
                FHasPending = false;
                break;
            case TToken::ttComment:
                FHasPending = false;
                break;
            case TToken::ttCData:
                current->SetText(DecodeXMLBytes(FTokenText, FSettings));
                FHasPending = false;
                break;
            default:
                break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// TORLTextXMLBuilder

void TORLTextXMLBuilder::Write(std::string_view bytes) {
    FBuffer.append(bytes);
    if (FBuffer.size() >= 64 * 1024) {
        FStream.WriteBuffer(FBuffer.data(), FBuffer.size());
        FBuffer.clear();
    }
}

void TORLTextXMLBuilder::WriteTabs(int count) {
    // Indentation stops growing at a fixed depth: one tab per level would make the text of a deep
    // document grow with the square of its depth. The reader drops these blanks either way.
    static constexpr std::string_view kTabs("\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t");
    static_assert(kTabs.size() == kMaxIndent);
    Write(kTabs.substr(0, static_cast<size_t>(std::clamp(count, 0, kMaxIndent))));
}

void TORLTextXMLBuilder::WriteText(StringView text) {
    Write(EncodeXMLUtf8(TORLXMLHelper::EncodeText(text)));
}

void TORLTextXMLBuilder::WriteAttribute(std::string_view name, StringView value, int level) {
    if (FSettings.AttributePerLine) {
        Write(kLineBreak);
        WriteTabs(level + 1);
    } else {
        Write(" ");
    }
    Write(name);
    Write("=\"");
    WriteText(value);
    Write("\"");
}

void TORLTextXMLBuilder::Build() {
    // Inside an element whose text keeps its blanks, the reader keeps the blanks of the first
    // descendants too, so no line breaks or tabs go anywhere below such an element.
    struct TFrame {
        const TORLXMLNode* Node;
        int Level;
        bool Preserve;  // the node's text, or an ancestor's, keeps its blanks
        int Next;
    };
    std::vector<TFrame> open;

    // Writes the start tag and the text; returns whether the node's children follow.
    const auto start = [&](const TORLXMLNode& node, int level, bool parentPreserve) {
        if (FSettings.Indent && !parentPreserve) WriteTabs(level);
        Write("<");
        Write(node.Name());
        const String& text = node.Text();
        const bool content = !text.empty() || node.Count() > 0;
        // Blanks and other control characters at either end would be trimmed away on reading.
        const bool preserve = content && (TORLXMLHelper::NeedPreserveSpaces(text) ||
                                          (!text.empty() && (text.front() <= u' ' || text.back() <= u' ')));
        if (node.Attributes().Count() > 0 || preserve) {
            for (int i = 0; i < node.Attributes().Count(); ++i) {
                const TORLXMLAttribute* attribute = node.Attributes().Items(i);
                WriteAttribute(attribute->Name, attribute->Value, level);
            }
            if (preserve) WriteAttribute("xml:space", u"preserve", level);
            if (FSettings.Indent && FSettings.AttributePerLine) {
                Write(kLineBreak);
                WriteTabs(level);
            }
        }
        if (!content) {
            Write("/>");
            if (FSettings.LineBreaks) Write(kLineBreak);
            return;
        }
        Write(">");
        WriteText(text);
        if (node.Count() == 0) {
            Write("</");
            Write(node.Name());
            Write(">");
            if (FSettings.LineBreaks) Write(kLineBreak);
            return;
        }
        const bool keep = preserve || parentPreserve;
        if (FSettings.LineBreaks && !keep) Write(kLineBreak);
        open.push_back({&node, level, keep, 0});
    };

    Write(kDeclaration);
    for (int i = 0; i < FDocument.Count(); ++i) {
        start(*FDocument.Nodes(i), 0, false);
        while (!open.empty()) {
            TFrame& frame = open.back();
            if (frame.Next < frame.Node->Count()) {
                const TORLXMLNode& child = *frame.Node->Nodes(frame.Next++);
                start(child, frame.Level + 1, frame.Preserve);  // may grow `open`
                continue;
            }
            const TFrame done = frame;
            open.pop_back();
            if (FSettings.Indent) WriteTabs(done.Level);
            Write("</");
            Write(done.Node->Name());
            Write(">");
            if (FSettings.LineBreaks) Write(kLineBreak);
        }
    }
    if (!FBuffer.empty()) FStream.WriteBuffer(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

}  // namespace uinst
