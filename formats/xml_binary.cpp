#include "formats/xml_binary.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace uinst {

namespace {

// The body is read into memory once: single-byte fields from a file would be slow, and every
// bound is checked against the buffer.
std::vector<uint8_t> ReadRest(TStream& stream) {
    const int64_t rest = stream.Size() - stream.Position();
    std::vector<uint8_t> body(rest > 0 ? static_cast<size_t>(rest) : 0);
    if (!body.empty()) stream.ReadBuffer(body.data(), body.size());
    return body;
}

uint64_t Remaining(TStream& stream) {
    const int64_t rest = stream.Size() - stream.Position();
    return rest > 0 ? static_cast<uint64_t>(rest) : 0;
}

// A count of items of at least `minBytes` each must fit into what is left.
void CheckCount(TStream& stream, uint64_t count, uint64_t minBytes) {
    if (count > Remaining(stream) / minBytes) throw EReadError();
}

String ReadUnitsFrom(TStream& stream, uint64_t count) {
    CheckCount(stream, count, 2);
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * 2);
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
    String text(static_cast<size_t>(count), u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<Char>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return text;
}

void AppendUnits(std::string& out, StringView text) {
    for (const Char c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

uint32_t CheckedSize(size_t size) {
    if (size > std::numeric_limits<uint32_t>::max())
        throw EORLXMLDocument(u"XML document too large for the binary form");
    return static_cast<uint32_t>(size);
}

}  // namespace

uint64_t SXMLNameBytesLimit(uint64_t bodySize) {
    return 64 * bodySize + (1 << 20);
}

void WriteXMLVarInt(std::string& out, uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

uint32_t ReadXMLVarInt(TStream& stream) {
    uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        const uint8_t b = stream.ReadUInt8();
        // The fifth byte holds the top four bits and ends the number.
        if (shift == 28 && b > 0x0F) throw EORLXMLDocument(u"Damaged binary XML document: invalid number");
        value |= static_cast<uint32_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return value;
    }
    return value;  // not reached
}

// ---------------------------------------------------------------------------------------------
// "SXML"

void TORLBinaryXMLParser::Parse() {
    const int64_t bodyStart = FStream.Position();
    const std::vector<uint8_t> body = ReadRest(FStream);
    TReadOnlyMemoryStream in(body.data(), body.size());

    uint8_t lengthBytes[8];
    in.ReadBuffer(lengthBytes, 8);
    uint64_t treeLength = 0;
    for (int i = 7; i >= 0; --i) treeLength = treeLength << 8 | lengthBytes[i];
    const int64_t treeStart = in.Position();
    if (treeLength > Remaining(in)) throw EReadError();

    in.Seek(treeStart + static_cast<int64_t>(treeLength), TSeekOrigin::soBeginning);
    const uint32_t names = ReadXMLVarInt(in);
    CheckCount(in, names, 1);
    std::vector<std::string> table;
    table.reserve(names);
    for (uint32_t i = 0; i < names; ++i) {
        const uint32_t size = ReadXMLVarInt(in);
        CheckCount(in, size, 1);
        std::string name(size, '\0');
        if (size) in.ReadBuffer(name.data(), size);
        table.push_back(std::move(name));
    }
    const int64_t tableEnd = in.Position();
    in.Seek(treeStart, TSeekOrigin::soBeginning);

    const uint64_t nameBytesLimit = SXMLNameBytesLimit(body.size());
    uint64_t nameBytes = 0;
    const auto readName = [&]() -> const std::string& {
        const uint32_t index = ReadXMLVarInt(in);
        if (index >= table.size()) throw EORLXMLDocument(u"Damaged binary XML document: name index out of range");
        nameBytes += table[index].size();
        if (nameBytes > nameBytesLimit)
            throw EORLXMLDocument(u"Damaged binary XML document: its names need far more memory than its size");
        return table[index];
    };

    struct TLevel {
        TORLXMLNode* Parent;
        uint32_t Left;
    };
    std::vector<TLevel> levels;
    const uint32_t count = ReadXMLVarInt(in);
    CheckCount(in, count, 2);  // an element takes at least a name index and its flags
    if (count > 0) levels.push_back({&FDocument, count});
    while (!levels.empty()) {
        if (levels.back().Left == 0) {
            levels.pop_back();
            continue;
        }
        --levels.back().Left;
        TORLXMLNode* node = levels.back().Parent->Add(readName());
        const uint8_t flags = in.ReadUInt8();
        if (flags & 4) node->SetText(ReadUnitsFrom(in, ReadXMLVarInt(in)));
        if (flags & 1) {
            const uint32_t attributes = ReadXMLVarInt(in);
            CheckCount(in, attributes, 2);
            for (uint32_t i = 0; i < attributes; ++i) {
                const std::string& name = readName();
                node->Attributes().Add(name, ReadUnitsFrom(in, ReadXMLVarInt(in)));
            }
        }
        if (flags & 2) {
            const uint32_t children = ReadXMLVarInt(in);
            CheckCount(in, children, 2);
            if (children > 0) levels.push_back({node, children});
        }
    }
    // Leave the stream behind the document.
    FStream.Seek(bodyStart + std::max(in.Position(), tableEnd), TSeekOrigin::soBeginning);
}

void TORLBinaryXMLBuilder::Build() {
    std::string tree;
    std::unordered_map<std::string, uint32_t> indices;
    std::vector<const std::string*> names;
    const auto index = [&](const std::string& name) {
        const auto [it, added] = indices.emplace(name, static_cast<uint32_t>(names.size()));
        if (added) names.push_back(&it->first);
        return it->second;
    };

    // Depth first, each element's record before its children's: a stack in reverse order.
    std::vector<const TORLXMLNode*> work;
    const auto pushChildren = [&](const TORLXMLNode& node) {
        for (int i = node.Count() - 1; i >= 0; --i) work.push_back(node.Nodes(i));
    };
    WriteXMLVarInt(tree, CheckedSize(static_cast<size_t>(FDocument.Count())));
    pushChildren(FDocument);
    while (!work.empty()) {
        const TORLXMLNode& node = *work.back();
        work.pop_back();
        WriteXMLVarInt(tree, index(node.Name()));
        const TORLXMLAttributes& attributes = node.Attributes();
        const uint8_t flags = static_cast<uint8_t>((attributes.Count() > 0 ? 1 : 0) | (node.Count() > 0 ? 2 : 0) |
                                                   (!node.Text().empty() ? 4 : 0));
        tree.push_back(static_cast<char>(flags));
        if (flags & 4) {
            WriteXMLVarInt(tree, CheckedSize(node.Text().size()));
            AppendUnits(tree, node.Text());
        }
        if (flags & 1) {
            WriteXMLVarInt(tree, static_cast<uint32_t>(attributes.Count()));
            for (int i = 0; i < attributes.Count(); ++i) {
                const TORLXMLAttribute* attribute = attributes.Items(i);
                WriteXMLVarInt(tree, index(attribute->Name));
                WriteXMLVarInt(tree, CheckedSize(attribute->Value.size()));
                AppendUnits(tree, attribute->Value);
            }
        }
        if (flags & 2) {
            WriteXMLVarInt(tree, static_cast<uint32_t>(node.Count()));
            pushChildren(node);
        }
    }

    std::string table;
    WriteXMLVarInt(table, static_cast<uint32_t>(names.size()));
    for (const std::string* name : names) {
        WriteXMLVarInt(table, CheckedSize(name->size()));
        table += *name;
    }

    uint8_t header[12] = {'S', 'X', 'M', 'L'};
    const uint64_t length = tree.size();
    for (int i = 0; i < 8; ++i) header[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    FStream.WriteBuffer(header, sizeof header);
    FStream.WriteBuffer(tree.data(), tree.size());
    FStream.WriteBuffer(table.data(), table.size());
}

// ---------------------------------------------------------------------------------------------
// "BXML"

void TORLLegacyBinaryXMLParser::Parse() {
    const int64_t bodyStart = FStream.Position();
    const std::vector<uint8_t> body = ReadRest(FStream);
    TReadOnlyMemoryStream in(body.data(), body.size());

    const auto readName = [&]() {
        const uint16_t size = in.ReadUInt16();
        std::string name(size, '\0');
        if (size) in.ReadBuffer(name.data(), size);
        return name;
    };

    struct TLevel {
        TORLXMLNode* Parent;
        int32_t Left;
    };
    std::vector<TLevel> levels;
    // Counts of 0 or below stand for none. A named record takes at least its name length and flags.
    const int32_t count = in.ReadInt32();
    if (count > 0) {
        CheckCount(in, static_cast<uint64_t>(count), 3);
        levels.push_back({&FDocument, count});
    }
    while (!levels.empty()) {
        if (levels.back().Left <= 0) {
            levels.pop_back();
            continue;
        }
        --levels.back().Left;
        TORLXMLNode* node = levels.back().Parent->Add(readName());
        const uint8_t flags = in.ReadUInt8();
        if (flags & 4) {
            const int32_t units = in.ReadInt32();
            if (units > 0) node->SetText(ReadUnitsFrom(in, static_cast<uint64_t>(units)));
        }
        if (flags & 1) {
            const int32_t attributes = in.ReadInt32();
            if (attributes > 0) CheckCount(in, static_cast<uint64_t>(attributes), 4);
            for (int32_t i = 0; i < attributes; ++i) {
                std::string name = readName();
                node->Attributes().Add(name, ReadUnitsFrom(in, in.ReadUInt16()));
            }
        }
        if (flags & 2) {
            const int32_t children = in.ReadInt32();
            if (children > 0) {
                CheckCount(in, static_cast<uint64_t>(children), 3);
                levels.push_back({node, children});
            }
        }
    }
    FStream.Seek(bodyStart + in.Position(), TSeekOrigin::soBeginning);
}

}  // namespace uinst
