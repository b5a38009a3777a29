#include <iterator>

#include "base/code_page.h"
#include "base/integers.h"
#include "formats/xml.h"
#include "formats/xml_text.h"

namespace uinst {

namespace {

struct TEntity {
    Char Character;
    std::u16string_view Name;
};
// Names are case-sensitive.
constexpr TEntity kEntities[] = {{u'&', u"amp"}, {u'>', u"gt"}, {u'<', u"lt"}, {u'"', u"quot"}, {u'\'', u"apos"}};

const TEntity* EntityOf(Char c) {
    for (const TEntity& e : kEntities)
        if (e.Character == c) return &e;
    return nullptr;
}

bool IsEntityNameChar(Char c) {
    return c == u'#' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Where the "&name;" sequence that starts at `i` ends (the index of its semicolon), or npos.
size_t EntityEnd(StringView text, size_t i) {
    size_t j = i + 1;
    while (j < text.size() && IsEntityNameChar(text[j])) ++j;
    return j < text.size() && text[j] == u';' ? j : StringView::npos;
}

}  // namespace

String TORLXMLHelper::DecodeEntity(StringView name) {
    for (const TEntity& e : kEntities)
        if (name == e.Name) return String(1, e.Character);
    if (!name.empty() && name[0] == u'#') {
        const StringView number = name.substr(1);
        // Digits only: decimal, or hexadecimal after x, X, 0x or 0X.
        std::optional<int32_t> code;
        if (!number.empty() && number[0] != u' ' && number[0] != u'+' && number[0] != u'-' && number[0] != u'$')
            code = TryStrToInt(number);
        return String(1, static_cast<Char>(static_cast<uint32_t>(code.value_or(0)) & 0xFFFF));
    }
    return String(name);
}

String TORLXMLHelper::DecodeText(StringView text) {
    String out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (c == u'\\' && i + 1 < text.size() && EntityOf(text[i + 1])) {
            out.push_back(text[i + 1]);
            i += 2;
        } else if (c == u'&') {
            const size_t end = EntityEnd(text, i);
            if (end == StringView::npos) {
                out.push_back(c);
                ++i;
            } else {
                out += DecodeEntity(text.substr(i + 1, end - i - 1));
                i = end + 1;
            }
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

String TORLXMLHelper::EncodeText(StringView text) {
    String out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (c == u'&') {
            const size_t end = EntityEnd(text, i);
            if (end != StringView::npos) {
                // Already an entity: kept, so that callers may pass escaped text.
                out.append(text.substr(i, end - i + 1));
                i = end + 1;
                continue;
            }
        }
        if (c == u'\\') {
            // The reader takes a backslash before an entity character as an escape and drops it.
            // Every encoded entity character begins with "&", so a run of backslashes in front of
            // one is written as references, which the reader turns back into backslashes.
            size_t j = i;
            while (j < text.size() && text[j] == u'\\') ++j;
            const bool escape = j < text.size() && EntityOf(text[j]);
            for (; i < j; ++i) out += escape ? StringView(u"&#92;") : StringView(u"\\");
            continue;
        }
        if (const TEntity* e = EntityOf(c)) {
            out.push_back(u'&');
            out.append(e->Name);
            out.push_back(u';');
        } else {
            out.push_back(c);
        }
        ++i;
    }
    return out;
}

bool TORLXMLHelper::NeedPreserveSpaces(StringView text) {
    if (text.empty()) return false;
    const auto blank = [](Char c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; };
    if (blank(text.front()) || blank(text.back())) return true;
    return text.find_first_of(u"\r\n") != StringView::npos;
}

String DecodeXMLUtf8(std::string_view bytes) {
    String out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned b = s[i++];
        if (b < 0x80) {
            out.push_back(static_cast<Char>(b));
            continue;
        }
        if (b >= 0xF0) {
            // Four-byte sequences become surrogate pairs; other leads from F0 up are invalid.
            if (b >= 0xF8 || n - i < 3) return String();
            char32_t cp = b & 0x07;
            for (int k = 0; k < 3; ++k) {
                const unsigned c = s[i++];
                if ((c & 0xC0) != 0x80) return String();
                cp = (cp << 6) | (c & 0x3F);
            }
            if (cp < 0x10000 || cp > 0x10FFFF) return String();
            cp -= 0x10000;
            out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
            continue;
        }
        // Leads are not checked beyond their bit 5: it alone decides between two and three bytes.
        if (i >= n) return String();
        unsigned ch = b & 0x3F;
        if (ch & 0x20) {
            const unsigned c = s[i++];
            if ((c & 0xC0) != 0x80 || i >= n) return String();
            ch = (ch << 6) | (c & 0x3F);
        }
        const unsigned c = s[i++];
        if ((c & 0xC0) != 0x80) return String();
        out.push_back(static_cast<Char>(((ch << 6) | (c & 0x3F)) & 0xFFFF));
    }
    return out;
}

String DecodeXMLBytes(std::string_view bytes, const TORLXMLReadSettings& settings) {
    String text;
    if (settings.Mode == TORLXMLReadSettings::kModeUtf8) {
        text = DecodeXMLUtf8(bytes);
    } else {
        const uint32_t codePage = settings.Mode == TORLXMLReadSettings::kModeCodePage
                                      ? static_cast<uint32_t>(settings.CodePage)
                                      : EffectiveAnsiCodePage();
        text = DecodeCodePage(bytes.data(), bytes.size(), codePage).value_or(String());
    }
    return TORLXMLHelper::DecodeText(text);
}

std::string EncodeXMLUtf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace uinst
