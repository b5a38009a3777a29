#include "formats/xml_convert.h"

#include <vector>

#include "base/format.h"

namespace uinst {

namespace {

// The path of names to the first node where the trees differ, or nothing when they are equal.
bool FindDifference(const TORLXMLNode& a, const TORLXMLNode& b, String& path) {
    struct TPair {
        const TORLXMLNode* A;
        const TORLXMLNode* B;
        String Path;
    };
    std::vector<TPair> work{{&a, &b, String()}};
    while (!work.empty()) {
        TPair pair = std::move(work.back());
        work.pop_back();
        const TORLXMLNode& x = *pair.A;
        const TORLXMLNode& y = *pair.B;
        if (x.Name() != y.Name() || x.Text() != y.Text() || x.Count() != y.Count() ||
            !x.Attributes().Equals(y.Attributes())) {
            path = pair.Path.empty() ? String(u"/") : pair.Path;
            return true;
        }
        for (int i = x.Count() - 1; i >= 0; --i)
            work.push_back({x.Nodes(i), y.Nodes(i), pair.Path + u"/" + Utf8ToString(x.Nodes(i)->Name())});
    }
    return false;
}

}  // namespace

void ConvertXmlDocument(TStream& input, TStream& output, TXMLTargetForm target, const TORLXMLReadSettings& settings) {
    TORLXMLDocument document;
    document.LoadFromStream(input, settings);

    TORLXMLWriteSettings write;
    write.Format =
        target == TXMLTargetForm::xtSXML ? TORLXMLWriteSettings::kFormatBinary : TORLXMLWriteSettings::kFormatText;
    write.AttributePerLine = 0;
    write.Indent = 1;
    write.LineBreaks = 1;
    TMemoryStream result;
    document.SaveToStream(result, write);

    // The text form writes names as they stand and keeps "&name;" sequences of texts, so not every
    // tree survives it: check before anything reaches the output.
    result.SetPosition(0);
    TORLXMLDocument check;
    check.LoadFromStream(result);
    String path;
    if (FindDifference(document, check, path))
        throw EORLXMLDocument(
            Format(u"The XML document cannot be stored in this form without change at \"%s\"", {path}));
    result.SaveToStream(output);
}

}  // namespace uinst
