#pragma once
// An ordered list of strings; every item also carries an integer tag and an optional shared
// reference. Lookups by text or name ignore case.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/string.h"

namespace uinst {

class TORLStringList {
public:
    struct Item {
        String Text;
        intptr_t Tag = 0;
        std::shared_ptr<void> Ref;
    };

    TORLStringList() = default;
    TORLStringList(std::initializer_list<String> items);
    virtual ~TORLStringList() = default;
    TORLStringList(const TORLStringList&) = default;
    TORLStringList& operator=(const TORLStringList&) = default;
    TORLStringList(TORLStringList&&) = default;
    TORLStringList& operator=(TORLStringList&&) = default;

    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }
    const String& operator[](int index) const { return FItems.at(static_cast<size_t>(index)).Text; }
    const String& Strings(int index) const { return (*this)[index]; }
    void SetString(int index, StringView text) { FItems.at(static_cast<size_t>(index)).Text = String(text); }
    intptr_t Tag(int index) const { return FItems.at(static_cast<size_t>(index)).Tag; }
    void SetTag(int index, intptr_t tag) { FItems.at(static_cast<size_t>(index)).Tag = tag; }
    const std::shared_ptr<void>& Ref(int index) const { return FItems.at(static_cast<size_t>(index)).Ref; }
    void SetRef(int index, std::shared_ptr<void> ref) { FItems.at(static_cast<size_t>(index)).Ref = std::move(ref); }
    const std::vector<Item>& Items() const { return FItems; }

    int Add(StringView text, intptr_t tag = 0, std::shared_ptr<void> ref = {});
    void Insert(int index, StringView text, intptr_t tag = 0, std::shared_ptr<void> ref = {});
    void AddStrings(const TORLStringList& other);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    void Exchange(int a, int b);

    // Index of the first item equal to the text (case ignored), or -1.
    int IndexOf(StringView text) const;
    bool Contains(StringView text) const { return IndexOf(text) >= 0; }
    // Name/value items "name=value" split at the first "=", nothing trimmed.
    int IndexOfName(StringView name) const;
    String Names(int index) const;
    String ValueFromIndex(int index) const;
    String Values(StringView name) const;
    // Replaces the value of the first item with that name, or appends "name=value".
    void SetValue(StringView name, StringView value);

    // Items joined with CR LF after each.
    String Text() const;
    // Replaces the items with the lines of the text (split at CR LF, CR, LF or U+2028).
    void SetText(StringView text);
    String DelimitedText(StringView delimiter) const;

    // Stable sorts: logical order (digit runs by value, case ignored) or plain case-ignored order.
    void SortLogical();
    void Sort();

private:
    std::vector<Item> FItems;
};

}  // namespace uinst
