#pragma once
// Converting a document between its stored forms, for the package tool: a release engineer may
// ship "Install.xml" as text or as "SXML" and check what the setup program reads.
#include "formats/xml.h"

namespace uinst {

enum class TXMLTargetForm { xtText, xtSXML };

// Reads a document in any stored form from the input's position (text without an encoding
// declaration is decoded as the setup program decodes its script: with the library's ANSI code
// page setting, unless `settings` say otherwise) and writes it to the output in the target form:
// text as indented UTF-8, or "SXML". The result is read back and compared with the document first;
// when the target form cannot hold it unchanged (names that are not valid tag names in text,
// entity-like sequences in texts), EORLXMLDocument names the first element that differs and
// nothing is written.
void ConvertXmlDocument(TStream& input, TStream& output, TXMLTargetForm target,
                        const TORLXMLReadSettings& settings = {});

}  // namespace uinst
