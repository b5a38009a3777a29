#pragma once
// Skins: collections of named resources (colours, fonts, margins, integers, textures) that the
// controls take their looks from by identifier, such as "Labels.Colors.Text".
//
// A resource whose ID names another item of the same class takes its value from it, through any
// number of steps; reference cycles are broken (their members keep their own values) and a
// reference to an item of another class is not followed. A font that refers to another one still
// overrides the values it sets itself.
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "formats/skin_stream.h"

namespace uinst {

class ESkinError : public Exception {
public:
    using Exception::Exception;
};

// 0xAARRGGBB.
using TAlphaColor = uint32_t;
inline constexpr TAlphaColor kAlphaColorNull = 0;

// A colour value of a skin: "x" and eight hexadecimal digits AARRGGBB, or "cla" and a CSS colour
// keyword ("claWhitesmoke"; "claNull" is transparent). False when the text is neither.
bool AlphaColorFromIdent(StringView ident, TAlphaColor& color);
// The form the skin compiler writes: the keyword when there is one, else "xAARRGGBB".
String AlphaColorToIdent(TAlphaColor color);

enum TORLThreeState : uint8_t { tsDefault, tsFalse, tsTrue };

enum TORLFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TORLCustomResourceCollection;

class TORLResource {
public:
    virtual ~TORLResource() = default;
    virtual StringView ClassName() const = 0;
    // Whether `other` may serve as this resource's master: of the same class or derived from it.
    virtual bool Accepts(const TORLResource& other) const = 0;

    // The identifier of the item this resource takes its values from; empty for none.
    String ID;
    // The resource the ID resolved to when the collection was last bound.
    const TORLResource* Master() const { return FMaster; }

    // Reads one published property (its name without "Resource."); false for an unknown name.
    // A value of the wrong kind raises ESkinError.
    virtual bool ReadProperty(StringView name, const TORLStreamValue& value);
    // Appends the properties this resource sets, named "Resource.X".
    virtual void WriteProperties(std::vector<TORLStreamProperty>& out) const;

protected:
    friend class TORLCustomResourceCollection;
    virtual void BindExtra(const TORLCustomResourceCollection&) {}
    // The chain of masters from this resource to the end, this resource first.
    template <class T>
    std::vector<const T*> Chain() const;

    const TORLResource* FMaster = nullptr;
};

class TORLResourceColor : public TORLResource {
public:
    static constexpr StringView kClassName = u"TORLResourceColor";
    StringView ClassName() const override { return kClassName; }
    bool Accepts(const TORLResource& other) const override;

    std::optional<TAlphaColor> FValue;  // the stored value
    uint8_t Opacity = 255;
    TORLThreeState AllowColoration = tsDefault;

    // The master's value (to the end of the chain), else the stored one, else transparent; each
    // step's Opacity below 255 scales the alpha channel.
    TAlphaColor Value() const;
    // Whether any step of the chain stores a value.
    bool HasValue() const;

    bool ReadProperty(StringView name, const TORLStreamValue& value) override;
    void WriteProperties(std::vector<TORLStreamProperty>& out) const override;
};

struct TORLFontValues {
    TAlphaColor Color = 0xFF000000;
    String Name = u"Segoe UI";
    int32_t Height = -12;  // negative: character height in pixels at 96 dots per inch
    uint8_t Style = 0;     // TORLFontStyle bits
    String Quality;        // empty: the system's default
    TORLThreeState AllowColoration = tsDefault;
};

class TORLResourceFont : public TORLResource {
public:
    static constexpr StringView kClassName = u"TORLResourceFont";
    StringView ClassName() const override { return kClassName; }
    bool Accepts(const TORLResource& other) const override;

    // Which values the font sets itself; the members of "AssignedValues" in the stream.
    enum TAssigned : uint8_t {
        avColor = 1,
        avName = 2,
        avSize = 4,
        avStyle = 8,
        avQuality = 16,
        avAllowColoration = 32
    };
    static const std::vector<std::pair<TAssigned, StringView>>& AssignedNames();

    TAlphaColor Color = 0xFF000000;
    String ColorID;  // a colour resource that gives the font's colour
    String Name;
    int32_t Height = 0;
    double Size = 0;            // points; used when SizeInPoints
    bool SizeInPoints = false;  // the last size written was "Size" rather than "Height"
    uint8_t Style = 0;
    String Quality;
    TORLThreeState AllowColoration = tsDefault;
    uint8_t Assigned = 0;  // written properties and AssignedValues together
    uint8_t Listed = 0;    // AssignedValues as stored, so that writing keeps it

    // The class defaults, overridden along the chain from its end, the values this font sets
    // itself applied last.
    TORLFontValues Values() const;

    bool ReadProperty(StringView name, const TORLStreamValue& value) override;
    void WriteProperties(std::vector<TORLStreamProperty>& out) const override;

protected:
    void BindExtra(const TORLCustomResourceCollection& collection) override;

private:
    const TORLResourceColor* FColorMaster = nullptr;
};

struct TORLMarginValues {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TORLMarginValues&) const = default;
};

class TORLResourceMargins : public TORLResource {
public:
    static constexpr StringView kClassName = u"TORLResourceMargins";
    StringView ClassName() const override { return kClassName; }
    bool Accepts(const TORLResource& other) const override;

    TORLMarginValues FValue;  // "All" sets all four
    TORLMarginValues Value() const;

    bool ReadProperty(StringView name, const TORLStreamValue& value) override;
    void WriteProperties(std::vector<TORLStreamProperty>& out) const override;
};

class TORLResourceInteger : public TORLResource {
public:
    static constexpr StringView kClassName = u"TORLResourceInteger";
    StringView ClassName() const override { return kClassName; }
    bool Accepts(const TORLResource& other) const override;

    int32_t FValue = 0;
    int32_t Value() const;

    bool ReadProperty(StringView name, const TORLStreamValue& value) override;
    void WriteProperties(std::vector<TORLStreamProperty>& out) const override;
};

class TORLResourceTexture : public TORLResource {
public:
    static constexpr StringView kClassName = u"TORLResourceTexture";
    StringView ClassName() const override { return kClassName; }
    bool Accepts(const TORLResource& other) const override;

    std::vector<uint8_t> FData;  // images, see skin_texture.h
    TORLThreeState Scalable = tsDefault;
    TORLThreeState AllowColoration = tsDefault;
    bool Overriden = false;
    // The master's pictures (to the end of the chain), else the stored ones.
    const std::vector<uint8_t>& Data() const;

    bool ReadProperty(StringView name, const TORLStreamValue& value) override;
    void WriteProperties(std::vector<TORLStreamProperty>& out) const override;
};

// A resource of one of the five class names, or none for an unknown name.
std::unique_ptr<TORLResource> CreateResource(StringView className);

struct TORLResourceCollectionItem {
    String ID;
    String Description;
    std::unique_ptr<TORLResource> Resource;
    StringView ResourceClassName() const { return Resource ? Resource->ClassName() : StringView(); }
};

class TORLCustomResourceCollection {
public:
    TORLCustomResourceCollection() = default;
    virtual ~TORLCustomResourceCollection() = default;
    TORLCustomResourceCollection(const TORLCustomResourceCollection&) = delete;
    TORLCustomResourceCollection& operator=(const TORLCustomResourceCollection&) = delete;

    virtual StringView ClassName() const { return u"TORLCustomResourceCollection"; }

    // Replaces all items with those of a skin stream and binds them. A damaged stream raises
    // ESkinStreamError or ESkinError and leaves the collection as it was.
    void LoadFromBytes(const uint8_t* data, size_t size);
    void LoadFromObject(const TORLStreamObject& root);
    std::vector<uint8_t> SaveToBytes() const;
    TORLStreamObject SaveToObject() const;

    void Clear();
    // Appends an item; unknown class names raise ESkinError. Call Bind() after a series of Add.
    TORLResourceCollectionItem& Add(StringView id, StringView className);
    int Count() const { return static_cast<int>(FItems.size()); }
    const TORLResourceCollectionItem& Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
    TORLResourceCollectionItem& Items(int index) { return FItems.at(static_cast<size_t>(index)); }

    // Rebuilds the identifier map (the item read last wins) and resolves every resource's ID.
    void Bind();
    // Windows 11 variants: each of the four identifiers that has an ".W11" twin takes its values
    // from the twin.
    void ApplyWindows11Variants();

    // The item with that identifier from the map, if its resource is accepted by `kind` (has its
    // class or one derived from it) and is not the requester itself.
    const TORLResource* GetResource(StringView id, const TORLResource& kind, const TORLResource* requester) const;
    template <class T>
    const T* GetResource(StringView id, const TORLResource* requester = nullptr) const {
        const auto it = FMap.find(String(id));
        if (it == FMap.end()) return nullptr;
        const TORLResource* found = FItems[it->second].Resource.get();
        return found == requester ? nullptr : dynamic_cast<const T*>(found);
    }
    // The item the map holds for an identifier, or none.
    const TORLResourceCollectionItem* Find(StringView id) const;

private:
    std::vector<TORLResourceCollectionItem> FItems;
    std::unordered_map<String, size_t> FMap;
};

// The one collection the controls fall back to; the program loads the light or the dark skin
// into it.
class TORLRootResourceCollectionImpl : public TORLCustomResourceCollection {
public:
    StringView ClassName() const override { return u"TORLRootResourceCollectionImpl"; }
};

template <class T>
std::vector<const T*> TORLResource::Chain() const {
    std::vector<const T*> chain{static_cast<const T*>(this)};
    // Bind() breaks cycles; the bound keeps a later mistake from looping forever.
    for (const TORLResource* next = FMaster; next && chain.size() < 100000; next = next->FMaster)
        chain.push_back(static_cast<const T*>(next));
    return chain;
}

}  // namespace uinst
