#pragma once
// The tagged binary object stream that skins are stored in ("TPF0"): one root object with its
// class name, object name, properties (a name and a tagged value each) and child objects.
//
// The reader takes the bytes as untrusted: every tag, length and count is checked against what is
// left, nesting is capped, and a damaged stream raises ESkinStreamError without reading outside
// its input. The writer produces the same form; reading what it wrote gives the same tree.
#include <cstdint>
#include <optional>
#include <vector>

#include "base/errors.h"
#include "base/string.h"

namespace uinst {

class ESkinStreamError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr char kSkinStreamMagic[4] = {'T', 'P', 'F', '0'};
// Lists, collections and child objects deeper than this are refused.
inline constexpr int kSkinStreamMaxDepth = 32;

// The value tags of the stream.
enum TORLValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
    vaDouble = 21,
};

struct TORLStreamProperty;

struct TORLStreamCollectionItem {
    std::optional<int64_t> Order;  // an optional integer before the item
    std::vector<TORLStreamProperty> Properties;
};

struct TORLStreamValue {
    TORLValueType Type = vaNull;
    // vaInt8 to vaInt64: the value. vaSingle, vaDouble, vaDate: the bits of the float;
    // vaCurrency: the value times 10000.
    int64_t Integer = 0;
    String Text;                  // vaString, vaIdent, vaLString, vaWString, vaUTF8String
    std::vector<uint8_t> Bytes;   // vaBinary; vaExtended: its 10 bytes
    std::vector<String> Members;  // vaSet
    std::vector<TORLStreamValue> List;
    std::vector<TORLStreamCollectionItem> Items;

    // Integers in the smallest tag that holds them; strings as a short string when they fit.
    static TORLStreamValue FromInteger(int64_t value);
    static TORLStreamValue FromString(StringView text);
    static TORLStreamValue FromIdent(StringView name);
    static TORLStreamValue FromBool(bool value);
    static TORLStreamValue FromBinary(std::vector<uint8_t> bytes);
    static TORLStreamValue FromSet(std::vector<String> members);

    bool IsInteger() const { return Type == vaInt8 || Type == vaInt16 || Type == vaInt32 || Type == vaInt64; }
    bool IsString() const { return Type == vaString || Type == vaLString || Type == vaWString || Type == vaUTF8String; }
    bool IsBoolean() const { return Type == vaFalse || Type == vaTrue; }
    // Any float tag (and integers) as a double.
    bool IsNumber() const;
    double AsDouble() const;

    bool operator==(const TORLStreamValue&) const = default;
};

struct TORLStreamProperty {
    String Name;
    TORLStreamValue Value;
    bool operator==(const TORLStreamProperty&) const = default;
};

inline bool operator==(const TORLStreamCollectionItem& a, const TORLStreamCollectionItem& b) {
    return a.Order == b.Order && a.Properties == b.Properties;
}

struct TORLStreamObject {
    uint8_t Flags = 0;  // the low bits of a 0xF? prefix: 1 inherited, 2 child position, 4 inline
    int64_t ChildPos = 0;
    String ClassName;
    String Name;
    std::vector<TORLStreamProperty> Properties;
    std::vector<TORLStreamObject> Children;
    bool operator==(const TORLStreamObject&) const = default;

    const TORLStreamValue* Find(StringView name) const;
};

// Reads "TPF0" and the root object; bytes after the root are ignored.
TORLStreamObject ReadSkinStream(const uint8_t* data, size_t size);
std::vector<uint8_t> WriteSkinStream(const TORLStreamObject& root);

}  // namespace uinst
