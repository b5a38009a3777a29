#include "formats/xml_convert.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/format.h"

namespace uinst {

namespace {

// The names from the document down to the node, the last kShownDepth of them at most.
String NodePath(const TORLXMLNode& node) {
    constexpr size_t kShownDepth = 16;
    std::vector<const TORLXMLNode*> chain;
    for (const TORLXMLNode* n = &node; n->Parent(); n = n->Parent()) chain.push_back(n);
    if (chain.empty()) return u"/";
    String path = chain.size() > kShownDepth ? u"/..." : u"";
    for (size_t i = std::min(chain.size(), kShownDepth); i-- > 0;) path += u"/" + Utf8ToString(chain[i]->Name());
    return path;
}

// The path of names to the first node where the trees differ, or nothing when they are equal. The
// path is made only then: copying it for every node would cost the square of the depth.
bool FindDifference(const TORLXMLNode& a, const TORLXMLNode& b, String& path) {
    std::vector<std::pair<const TORLXMLNode*, const TORLXMLNode*>> work{{&a, &b}};
    while (!work.empty()) {
        const auto [x, y] = work.back();
        work.pop_back();
        if (x->Name() != y->Name() || x->Text() != y->Text() || x->Count() != y->Count() ||
            !x->Attributes().Equals(y->Attributes())) {
            path = NodePath(*x);
            return true;
        }
        for (int i = x->Count() - 1; i >= 0; --i) work.emplace_back(x->Nodes(i), y->Nodes(i));
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
