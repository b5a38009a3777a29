// Reads arbitrary UTF-16 text as label markup with every combination of the switches and checks
// the layout: the tokens cover the plain text in order without gaps, each token is of its kind,
// link indexes are valid, and with every switch off the text comes back unchanged.
#include <cstdint>
#include <cstdlib>

#include "formats/label_markup.h"

using namespace uinst;

namespace {

void Check(const TORLMarkupLayout& layout) {
    size_t next = 0;
    for (const TORLMarkupToken& token : layout.Tokens()) {
        if (token.Start != next || token.Length == 0) abort();
        next = token.Start + token.Length;
        if (next > layout.Text().size()) abort();
        if (token.Link >= static_cast<int32_t>(layout.Links().size())) abort();
        const StringView text = layout.TokenText(token);
        switch (token.Kind) {
            case mtLineBreak:
                if (text != u"\r\n") abort();
                break;
            case mtSpace:
                for (Char c : text)
                    if (c != u' ' && c != u'\t') abort();
                break;
            case mtWord:
                for (Char c : text)
                    if (c == u'\r' || c == u'\n' || c == u' ' || c == 0) abort();
                if (token.Link < 0 && text.size() > 1)
                    for (Char c : text)
                        if (IsMarkupPunctuation(c)) abort();
                break;
        }
    }
    if (next != layout.Text().size()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    String caption(size / 2, u'\0');
    for (size_t i = 0; i < caption.size(); ++i) caption[i] = static_cast<Char>(data[2 * i] | data[2 * i + 1] << 8);

    for (int switches = 0; switches < 8; ++switches) {
        TORLMarkupSettings settings;
        settings.Tags = switches & 1;
        settings.EscapedLineBreaks = switches & 2;
        settings.AutoLinks = switches & 4;
        const TORLMarkupLayout layout(caption, settings);
        Check(layout);
        if (layout.Text().size() > 2 * caption.size()) abort();
        if (switches == 0) {
            // Nothing is markup: the text is the caption with its line breaks as CR LF.
            String expected;
            for (size_t i = 0; i < caption.size(); ++i) {
                const Char c = caption[i];
                if (c == u'\r' || c == u'\n') {
                    expected += u"\r\n";
                    if (c == u'\r' && i + 1 < caption.size() && caption[i + 1] == u'\n') ++i;
                } else {
                    expected += c == 0 ? u' ' : c;
                }
            }
            if (layout.Text() != expected || !layout.Links().empty()) abort();
        }
    }
    (void)ParseMarkupColor(caption);
    return 0;
}
