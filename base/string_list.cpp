#include "base/string_list.h"

#include <algorithm>
#include <stdexcept>

#include "base/text_case.h"

namespace uinst {

TORLStringList::TORLStringList(std::initializer_list<String> items) {
    for (const auto& s : items) Add(s);
}

int TORLStringList::Add(StringView text, intptr_t tag, std::shared_ptr<void> ref) {
    FItems.push_back(Item{String(text), tag, std::move(ref)});
    return Count() - 1;
}

void TORLStringList::Insert(int index, StringView text, intptr_t tag, std::shared_ptr<void> ref) {
    if (index < 0 || index > Count()) throw std::out_of_range("TORLStringList::Insert: index out of range");
    FItems.insert(FItems.begin() + index, Item{String(text), tag, std::move(ref)});
}

void TORLStringList::AddStrings(const TORLStringList& other) {
    FItems.insert(FItems.end(), other.FItems.begin(), other.FItems.end());
}

void TORLStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("TORLStringList::Delete: index out of range");
    FItems.erase(FItems.begin() + index);
}

void TORLStringList::Exchange(int a, int b) {
    std::swap(FItems.at(static_cast<size_t>(a)), FItems.at(static_cast<size_t>(b)));
}

int TORLStringList::IndexOf(StringView text) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (SameText(FItems[i].Text, text)) return static_cast<int>(i);
    return -1;
}

int TORLStringList::IndexOfName(StringView name) const {
    for (size_t i = 0; i < FItems.size(); ++i) {
        const String& t = FItems[i].Text;
        const size_t eq = t.find(u'=');
        if (eq != String::npos && SameText(StringView(t).substr(0, eq), name)) return static_cast<int>(i);
    }
    return -1;
}

String TORLStringList::Names(int index) const {
    const String& t = (*this)[index];
    const size_t eq = t.find(u'=');
    return eq == String::npos ? String() : t.substr(0, eq);
}

String TORLStringList::ValueFromIndex(int index) const {
    const String& t = (*this)[index];
    const size_t eq = t.find(u'=');
    return eq == String::npos ? String() : t.substr(eq + 1);
}

String TORLStringList::Values(StringView name) const {
    const int i = IndexOfName(name);
    return i < 0 ? String() : ValueFromIndex(i);
}

void TORLStringList::SetValue(StringView name, StringView value) {
    String item(name);
    item += u'=';
    item += value;
    const int i = IndexOfName(name);
    if (i < 0)
        Add(item);
    else
        FItems[static_cast<size_t>(i)].Text = std::move(item);
}

String TORLStringList::Text() const {
    return DelimitedText(u"\r\n");
}

String TORLStringList::DelimitedText(StringView delimiter) const {
    String out;
    for (const auto& item : FItems) {
        out += item.Text;
        out += delimiter;
    }
    return out;
}

void TORLStringList::SetText(StringView text) {
    FItems.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (c == u'\r' || c == u'\n' || c == 0x2028) {
            Add(text.substr(start, i - start));
            i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) Add(text.substr(start));
}

void TORLStringList::SortLogical() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const Item& a, const Item& b) { return CompareLogical(a.Text, b.Text) < 0; });
}

void TORLStringList::Sort() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const Item& a, const Item& b) { return CompareText(a.Text, b.Text) < 0; });
}

}  // namespace uinst
