#pragma once
// Checks shared by the XML fuzz targets: whatever a reader accepted must survive the binary form
// exactly, and the text writer must not fail on it.
#include <cstdlib>

#include "formats/xml.h"
#include "formats/xml_text.h"

namespace uinst {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

inline TMemoryStream SaveXml(const TORLXMLDocument& document, uint8_t format, uint8_t flags = 0) {
    TMemoryStream stream;
    TORLXMLWriteSettings settings;
    settings.Format = format;
    settings.AttributePerLine = flags & 1;
    settings.Indent = (flags >> 1) & 1;
    settings.LineBreaks = (flags >> 2) & 1;
    document.SaveToStream(stream, settings);
    stream.SetPosition(0);
    return stream;
}

// "SXML" holds every tree exactly, and writing what was read gives the same bytes.
inline void CheckBinaryRoundTrip(const TORLXMLDocument& document) {
    TMemoryStream first = SaveXml(document, TORLXMLWriteSettings::kFormatBinary);
    TORLXMLDocument back;
    back.LoadFromStream(first);
    Check(first.Position() == first.Size());
    for (int i = 0; i < document.Count(); ++i) Check(back.Nodes(i) && back.Nodes(i)->Equals(*document.Nodes(i)));
    Check(back.Count() == document.Count());
    TMemoryStream second = SaveXml(back, TORLXMLWriteSettings::kFormatBinary);
    Check(first.Bytes() == second.Bytes());
}

// Names the text form can carry and texts without "&" sequences (which the writer keeps as they
// stand) must come back from the text form unchanged, under every writer setting.
inline bool PlainName(const std::string& name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.' || c == ':';
        if (!plain) return false;
    }
    return true;
}

inline bool TextFormHolds(const TORLXMLNode& root) {
    std::vector<const TORLXMLNode*> work{&root};
    while (!work.empty()) {
        const TORLXMLNode* node = work.back();
        work.pop_back();
        if (!PlainName(node->Name()) || node->Text().find(u'&') != String::npos) return false;
        for (int i = 0; i < node->Attributes().Count(); ++i) {
            const TORLXMLAttribute* a = node->Attributes().Items(i);
            if (!PlainName(a->Name) || SameXMLName(a->Name, "xml:space") || a->Value.find(u'&') != String::npos)
                return false;
        }
        for (int i = 0; i < node->Count(); ++i) work.push_back(node->Nodes(i));
    }
    return true;
}

inline void CheckTextRoundTrip(const TORLXMLDocument& document, uint8_t flags) {
    TMemoryStream text = SaveXml(document, TORLXMLWriteSettings::kFormatText, flags);
    TORLXMLDocument back;
    try {
        back.LoadFromStream(text);
    } catch (const EORLXMLDocument&) {
        Check(document.Count() != 1 || !TextFormHolds(*document.Nodes(0)));
        return;
    }
    if (document.Count() == 1 && TextFormHolds(*document.Nodes(0))) {
        Check(back.Count() == 1);
        Check(back.Nodes(0)->Equals(*document.Nodes(0)));
    }
}

}  // namespace uinst
