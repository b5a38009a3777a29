#pragma once
// The in-house XML tree: nodes with attributes, the document with its three stored forms (text,
// "SXML", "BXML"), and the entity helper of the text form.
//
// Element and attribute names are 8-bit strings taken byte for byte from the input; element text
// and attribute values are UTF-16. Lookups by name ignore ASCII letter case only.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/stream.h"
#include "base/string.h"

namespace uinst {

class EORLXMLDocument : public Exception {
public:
    using Exception::Exception;
};

// Equal length and equal with ASCII letters compared without case (other bytes exactly).
bool SameXMLName(std::string_view a, std::string_view b);

struct TORLXMLReadSettings {
    enum : uint8_t { kModeAnsi = 0, kModeUtf8 = 1, kModeCodePage = 2 };
    int32_t CodePage = 0;
    // 0: the library's ANSI code page setting, 1: UTF-8, 2: the Windows code page in CodePage.
    uint8_t Mode = kModeAnsi;
};

struct TORLXMLWriteSettings {
    enum : uint8_t { kFormatBinary = 0, kFormatText = 1 };
    uint8_t Format = kFormatText;  // 0: binary "SXML", 1: text
    uint8_t AttributePerLine = 0;
    uint8_t Indent = 1;
    uint8_t LineBreaks = 1;
};

struct TORLXMLAttribute {
    std::string Name;
    String Value;
};

// An ordered list that owns its attributes. Duplicate names are allowed; lookups find the first.
class TORLXMLAttributes {
public:
    TORLXMLAttributes() = default;
    TORLXMLAttributes(const TORLXMLAttributes&) = delete;
    TORLXMLAttributes& operator=(const TORLXMLAttributes&) = delete;

    TORLXMLAttribute* Add();
    TORLXMLAttribute* Add(std::string_view name, StringView value);
    bool Find(std::string_view name, TORLXMLAttribute*& attribute) const;
    String GetValue(std::string_view name) const;
    bool TryGetValue(std::string_view name, String& value) const;
    // Deletes the first attribute of that name.
    bool Remove(std::string_view name);
    // None outside the list.
    TORLXMLAttribute* Items(int index) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    void Assign(const TORLXMLAttributes& source);
    void Clear() { FItems.clear(); }
    // Same count, and every attribute of this list found by name in the other with the same value.
    bool Equals(const TORLXMLAttributes& other) const;

private:
    std::vector<std::unique_ptr<TORLXMLAttribute>> FItems;
};

class TORLXMLNode {
public:
    // A free-standing node that belongs to its creator.
    TORLXMLNode() = default;
    // Takes the node out of its parent's list, then frees its attributes and children.
    virtual ~TORLXMLNode();
    TORLXMLNode(const TORLXMLNode&) = delete;
    TORLXMLNode& operator=(const TORLXMLNode&) = delete;

    // Appends a new child of the same class as this node.
    virtual TORLXMLNode* Add(std::string_view name);
    // Clear, copy the attributes, copy the children, then the name and the text.
    virtual void Assign(const TORLXMLNode& source);
    // Destroys all children; attributes, name and text stay.
    virtual void Clear();

    int Count() const { return static_cast<int>(FChildren.size()); }
    // None outside the list.
    TORLXMLNode* Nodes(int index) const;
    TORLXMLNode* FindNode(std::string_view name) const;
    bool FindNode(std::string_view name, TORLXMLNode*& node) const;
    // Walks the path one child name per step; a missing step is added when `create` is set,
    // otherwise the result is none.
    TORLXMLNode* FindNode(const std::vector<std::string>& path, bool create);
    // Whether `node` is a child or a deeper descendant.
    bool IsChild(const TORLXMLNode* node) const;
    // Moves this node under `node`. Refused when `node` is this node, its current parent or one of
    // its descendants, and for a node without a parent (its creator owns it). None detaches the
    // node and hands it to the caller; otherwise the result is empty.
    std::unique_ptr<TORLXMLNode> SetParent(TORLXMLNode* node);
    // Destroys the child at the index (nothing outside the list).
    void Delete(int index);

    // Same class, equal attributes, identical names and texts, equal children pair by pair.
    bool Equals(const TORLXMLNode& other) const;
    bool operator==(const TORLXMLNode& other) const { return Equals(other); }

    TORLXMLAttributes& Attributes() { return FAttributes; }
    const TORLXMLAttributes& Attributes() const { return FAttributes; }
    const std::string& Name() const { return FName; }
    void SetName(std::string_view name) { FName = name; }
    const String& Text() const { return FText; }
    void SetText(StringView text) { FText = text; }
    TORLXMLNode* Parent() const { return FParent; }

protected:
    // A node of this node's class with `parent` as its parent; Add appends it.
    virtual std::unique_ptr<TORLXMLNode> CreateNode(TORLXMLNode* parent) const;
    explicit TORLXMLNode(TORLXMLNode* parent) : FParent(parent) {}

private:
    std::unique_ptr<TORLXMLNode> ReleaseChild(const TORLXMLNode* child);
    TORLXMLNode* AddNode(std::unique_ptr<TORLXMLNode> node);

    std::vector<std::unique_ptr<TORLXMLNode>> FChildren;
    TORLXMLAttributes FAttributes;
    std::string FName;
    String FText;
    TORLXMLNode* FParent = nullptr;
};

class TORLXMLDocument : public TORLXMLNode {
public:
    // An empty document that accepts a single top-level element.
    TORLXMLDocument() : FRootOnly(true) {}
    // Reads the stream with the library's ANSI code page setting as the text encoding.
    explicit TORLXMLDocument(TStream& stream);

    // Raises "Only one Root available" for a second top-level element.
    TORLXMLNode* Add(std::string_view name) override;

    // Tells the form from the first four bytes ("SXML", "BXML", else text). Fewer than five bytes
    // leave the document empty.
    virtual void LoadFromStream(TStream& stream, const TORLXMLReadSettings& settings = {});
    // Text XML in UTF-8.
    virtual void LoadFromString(std::string_view text);
    virtual void SaveToStream(TStream& stream, const TORLXMLWriteSettings& settings = {}) const;

    bool RootOnly() const { return FRootOnly; }

protected:
    explicit TORLXMLDocument(TORLXMLNode* parent) : TORLXMLNode(parent), FRootOnly(false) {}
    std::unique_ptr<TORLXMLNode> CreateNode(TORLXMLNode* parent) const override;

private:
    bool FRootOnly;
};

// The entity rules of the text form, on UTF-16 text.
class TORLXMLHelper {
public:
    // Backslash escapes of the five entity characters and "&name;" entities.
    static String DecodeText(StringView text);
    // The five entity characters as entities; "&name;" sequences already present are kept.
    static String EncodeText(StringView text);
    // A table name, "#" with a decimal or hexadecimal number, or else the name itself.
    static String DecodeEntity(StringView name);
    static bool NeedPreserveSpaces(StringView text);
};

}  // namespace uinst
