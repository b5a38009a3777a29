#include "formats/skin_stream.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace uinst {

namespace {

[[noreturn]] void Damaged(const char* what) {
    throw ESkinStreamError(u"Damaged skin stream: " + Ascii(what));
}

// A bounds-checked cursor over the input: every read first checks that the bytes are there.
class TReader {
public:
    TReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    size_t Left() const { return FSize - FPos; }
    uint8_t Peek() const {
        if (FPos >= FSize) Damaged("unexpected end");
        return FData[FPos];
    }
    const uint8_t* Take(size_t count) {
        if (count > Left()) Damaged("unexpected end");
        const uint8_t* at = FData + FPos;
        FPos += count;
        return at;
    }
    uint8_t Byte() { return *Take(1); }
    uint64_t Unsigned(size_t bytes) {
        const uint8_t* at = Take(bytes);
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
        return value;
    }
    // A 4-byte count of items of `unit` bytes each, checked against what is left.
    size_t Count(size_t unit) {
        const uint64_t count = Unsigned(4);
        if (count > Left() / unit) Damaged("length beyond the end");
        return static_cast<size_t>(count);
    }
    String ShortString() {
        const uint8_t length = Byte();
        return Latin1(Take(length), length);
    }
    static String Latin1(const uint8_t* bytes, size_t count) {
        String text(count, u'\0');
        for (size_t i = 0; i < count; ++i) text[i] = bytes[i];
        return text;
    }

    TORLStreamObject Object(int depth);
    TORLStreamValue Value(int depth);

private:
    std::vector<TORLStreamProperty> Properties(int depth);

    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

void CheckDepth(int depth) {
    if (depth > kSkinStreamMaxDepth) Damaged("nested too deeply");
}

std::vector<TORLStreamProperty> TReader::Properties(int depth) {
    std::vector<TORLStreamProperty> properties;
    while (Peek() != 0) {
        TORLStreamProperty property;
        property.Name = ShortString();
        property.Value = Value(depth);
        properties.push_back(std::move(property));
    }
    Byte();
    return properties;
}

TORLStreamObject TReader::Object(int depth) {
    CheckDepth(depth);
    TORLStreamObject object;
    if ((Peek() & 0xF0) == 0xF0) {
        object.Flags = Byte() & 0x0F;
        if (object.Flags & 2) {
            const TORLStreamValue position = Value(depth + 1);
            if (!position.IsInteger()) Damaged("child position is no integer");
            object.ChildPos = position.Integer;
        }
    }
    object.ClassName = ShortString();
    if (object.ClassName.empty()) Damaged("object without a class name");
    object.Name = ShortString();
    object.Properties = Properties(depth + 1);
    while (Peek() != 0) object.Children.push_back(Object(depth + 1));
    Byte();
    return object;
}

TORLStreamValue TReader::Value(int depth) {
    CheckDepth(depth);
    TORLStreamValue value;
    const uint8_t tag = Byte();
    if (tag > vaDouble) Damaged("unknown value tag");
    value.Type = static_cast<TORLValueType>(tag);
    switch (value.Type) {
        case vaNull:
        case vaFalse:
        case vaTrue:
        case vaNil:
            break;
        case vaInt8:
            value.Integer = static_cast<int8_t>(Unsigned(1));
            break;
        case vaInt16:
            value.Integer = static_cast<int16_t>(Unsigned(2));
            break;
        case vaInt32:
        case vaSingle:
            value.Integer = tag == vaInt32 ? static_cast<int32_t>(Unsigned(4)) : static_cast<int64_t>(Unsigned(4));
            break;
        case vaInt64:
        case vaCurrency:
        case vaDate:
        case vaDouble:
            value.Integer = static_cast<int64_t>(Unsigned(8));
            break;
        case vaExtended: {
            const uint8_t* at = Take(10);
            value.Bytes.assign(at, at + 10);
            break;
        }
        case vaString:
        case vaIdent:
            value.Text = ShortString();
            break;
        case vaLString: {
            const size_t count = Count(1);
            value.Text = Latin1(Take(count), count);
            break;
        }
        case vaWString: {
            const size_t count = Count(2);
            const uint8_t* at = Take(count * 2);
            value.Text.resize(count);
            for (size_t i = 0; i < count; ++i) value.Text[i] = static_cast<Char>(at[2 * i] | at[2 * i + 1] << 8);
            break;
        }
        case vaUTF8String: {
            const size_t count = Count(1);
            value.Text = Utf8ToString(std::string_view(reinterpret_cast<const char*>(Take(count)), count));
            break;
        }
        case vaBinary: {
            const size_t count = Count(1);
            const uint8_t* at = Take(count);
            value.Bytes.assign(at, at + count);
            break;
        }
        case vaSet:
            for (String member = ShortString(); !member.empty(); member = ShortString())
                value.Members.push_back(std::move(member));
            break;
        case vaList:
            while (Peek() != vaNull) value.List.push_back(Value(depth + 1));
            Byte();
            break;
        case vaCollection:
            while (Peek() != vaNull) {
                TORLStreamCollectionItem item;
                const uint8_t next = Peek();
                if (next == vaInt8 || next == vaInt16 || next == vaInt32) item.Order = Value(depth + 1).Integer;
                if (Byte() != vaList) Damaged("collection item without its list mark");
                item.Properties = Properties(depth + 1);
                value.Items.push_back(std::move(item));
            }
            Byte();
            break;
    }
    return value;
}

// ---------------------------------------------------------------------------------------------

class TWriter {
public:
    std::vector<uint8_t> FOut;

    void Byte(uint8_t b) { FOut.push_back(b); }
    void Unsigned(uint64_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) FOut.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void Count(size_t count) {
        if (count > std::numeric_limits<uint32_t>::max()) throw ESkinStreamError(u"Skin stream value too large");
        Unsigned(count, 4);
    }
    void ShortString(StringView text) {
        if (text.size() > 255) throw ESkinStreamError(u"Skin stream name too long: " + String(text));
        Byte(static_cast<uint8_t>(text.size()));
        for (Char c : text) {
            if (c > 0xFF) throw ESkinStreamError(u"Skin stream name not in Latin-1: " + String(text));
            Byte(static_cast<uint8_t>(c));
        }
    }
    void Properties(const std::vector<TORLStreamProperty>& properties) {
        for (const TORLStreamProperty& property : properties) {
            if (property.Name.empty()) throw ESkinStreamError(u"Skin stream property without a name");
            ShortString(property.Name);
            Value(property.Value);
        }
        Byte(0);
    }
    void Object(const TORLStreamObject& object) {
        // A class name of 240 characters or more starts with a byte that reads as a prefix, so
        // it gets an empty prefix of its own.
        if (object.Flags || object.ClassName.size() >= 0xF0) {
            Byte(static_cast<uint8_t>(0xF0 | (object.Flags & 0x0F)));
            if (object.Flags & 2) Value(TORLStreamValue::FromInteger(object.ChildPos));
        }
        if (object.ClassName.empty()) throw ESkinStreamError(u"Skin stream object without a class name");
        ShortString(object.ClassName);
        ShortString(object.Name);
        Properties(object.Properties);
        for (const TORLStreamObject& child : object.Children) Object(child);
        Byte(0);
    }
    void Value(const TORLStreamValue& value) {
        Byte(value.Type);
        switch (value.Type) {
            case vaNull:
            case vaFalse:
            case vaTrue:
            case vaNil:
                break;
            case vaInt8:
                Unsigned(static_cast<uint64_t>(value.Integer), 1);
                break;
            case vaInt16:
                Unsigned(static_cast<uint64_t>(value.Integer), 2);
                break;
            case vaInt32:
            case vaSingle:
                Unsigned(static_cast<uint64_t>(value.Integer), 4);
                break;
            case vaInt64:
            case vaCurrency:
            case vaDate:
            case vaDouble:
                Unsigned(static_cast<uint64_t>(value.Integer), 8);
                break;
            case vaExtended:
                if (value.Bytes.size() != 10) throw ESkinStreamError(u"Skin stream float of a wrong size");
                FOut.insert(FOut.end(), value.Bytes.begin(), value.Bytes.end());
                break;
            case vaString:
            case vaIdent:
                ShortString(value.Text);
                break;
            case vaLString:
                Count(value.Text.size());
                for (Char c : value.Text) {
                    if (c > 0xFF) throw ESkinStreamError(u"Skin stream text not in Latin-1");
                    Byte(static_cast<uint8_t>(c));
                }
                break;
            case vaWString:
                Count(value.Text.size());
                for (Char c : value.Text) Unsigned(c, 2);
                break;
            case vaUTF8String: {
                const std::string utf8 = StringToUtf8(value.Text);
                Count(utf8.size());
                FOut.insert(FOut.end(), utf8.begin(), utf8.end());
                break;
            }
            case vaBinary:
                Count(value.Bytes.size());
                FOut.insert(FOut.end(), value.Bytes.begin(), value.Bytes.end());
                break;
            case vaSet:
                for (const String& member : value.Members) {
                    if (member.empty()) throw ESkinStreamError(u"Skin stream set with an empty member");
                    ShortString(member);
                }
                Byte(0);
                break;
            case vaList:
                for (const TORLStreamValue& item : value.List) Value(item);
                Byte(vaNull);
                break;
            case vaCollection:
                for (const TORLStreamCollectionItem& item : value.Items) {
                    if (item.Order) Value(TORLStreamValue::FromInteger(*item.Order));
                    Byte(vaList);
                    Properties(item.Properties);
                }
                Byte(vaNull);
                break;
        }
    }
};

// The 80-bit float: 64-bit mantissa with its integer bit, 15-bit exponent biased by 16383.
double ExtendedToDouble(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != 10) return 0;
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i) mantissa |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    const int exponent = (bytes[8] | bytes[9] << 8) & 0x7FFF;
    const bool negative = bytes[9] & 0x80;
    double result;
    if (exponent == 0x7FFF)
        result = (mantissa << 1) ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
    else
        result = std::ldexp(static_cast<double>(mantissa), (exponent ? exponent : 1) - 16383 - 63);
    return negative ? -result : result;
}

}  // namespace

TORLStreamValue TORLStreamValue::FromInteger(int64_t value) {
    TORLStreamValue v;
    v.Integer = value;
    if (value >= INT8_MIN && value <= INT8_MAX)
        v.Type = vaInt8;
    else if (value >= INT16_MIN && value <= INT16_MAX)
        v.Type = vaInt16;
    else if (value >= INT32_MIN && value <= INT32_MAX)
        v.Type = vaInt32;
    else
        v.Type = vaInt64;
    return v;
}

TORLStreamValue TORLStreamValue::FromString(StringView text) {
    TORLStreamValue v;
    bool latin1 = true;
    for (Char c : text) latin1 = latin1 && c <= 0xFF;
    v.Type = !latin1 ? vaWString : text.size() <= 255 ? vaString : vaLString;
    v.Text = String(text);
    return v;
}

TORLStreamValue TORLStreamValue::FromIdent(StringView name) {
    TORLStreamValue v;
    v.Type = vaIdent;
    v.Text = String(name);
    return v;
}

TORLStreamValue TORLStreamValue::FromBool(bool value) {
    TORLStreamValue v;
    v.Type = value ? vaTrue : vaFalse;
    return v;
}

TORLStreamValue TORLStreamValue::FromBinary(std::vector<uint8_t> bytes) {
    TORLStreamValue v;
    v.Type = vaBinary;
    v.Bytes = std::move(bytes);
    return v;
}

TORLStreamValue TORLStreamValue::FromSet(std::vector<String> members) {
    TORLStreamValue v;
    v.Type = vaSet;
    v.Members = std::move(members);
    return v;
}

bool TORLStreamValue::IsNumber() const {
    return IsInteger() || Type == vaExtended || Type == vaSingle || Type == vaDouble || Type == vaCurrency ||
           Type == vaDate;
}

double TORLStreamValue::AsDouble() const {
    switch (Type) {
        case vaSingle: {
            const uint32_t bits = static_cast<uint32_t>(Integer);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        case vaDouble:
        case vaDate: {
            const uint64_t bits = static_cast<uint64_t>(Integer);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case vaCurrency:
            return static_cast<double>(Integer) / 10000.0;
        case vaExtended:
            return ExtendedToDouble(Bytes);
        default:
            return IsInteger() ? static_cast<double>(Integer) : 0.0;
    }
}

const TORLStreamValue* TORLStreamObject::Find(StringView name) const {
    for (const TORLStreamProperty& property : Properties)
        if (property.Name == name) return &property.Value;
    return nullptr;
}

TORLStreamObject ReadSkinStream(const uint8_t* data, size_t size) {
    TReader reader(data, size);
    if (size < 4 || std::memcmp(reader.Take(4), kSkinStreamMagic, 4) != 0)
        throw ESkinStreamError(u"Not a skin stream (the \"TPF0\" mark is missing)");
    return reader.Object(0);
}

std::vector<uint8_t> WriteSkinStream(const TORLStreamObject& root) {
    TWriter writer;
    writer.FOut.assign(kSkinStreamMagic, kSkinStreamMagic + 4);
    writer.Object(root);
    return std::move(writer.FOut);
}

}  // namespace uinst
