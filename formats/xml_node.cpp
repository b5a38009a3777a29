#include <algorithm>
#include <typeinfo>
#include <utility>

#include "formats/xml.h"

// Trees may be as deep as the input is long, so nothing here recurses: destruction, copying and
// comparison walk the tree with explicit work lists.

namespace uinst {

bool SameXMLName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TORLXMLAttributes

TORLXMLAttribute* TORLXMLAttributes::Add() {
    FItems.push_back(std::make_unique<TORLXMLAttribute>());
    return FItems.back().get();
}

TORLXMLAttribute* TORLXMLAttributes::Add(std::string_view name, StringView value) {
    TORLXMLAttribute* attribute = Add();
    attribute->Name = name;
    attribute->Value = value;
    return attribute;
}

bool TORLXMLAttributes::Find(std::string_view name, TORLXMLAttribute*& attribute) const {
    for (const auto& item : FItems) {
        if (SameXMLName(item->Name, name)) {
            attribute = item.get();
            return true;
        }
    }
    attribute = nullptr;
    return false;
}

String TORLXMLAttributes::GetValue(std::string_view name) const {
    TORLXMLAttribute* attribute;
    return Find(name, attribute) ? attribute->Value : String();
}

bool TORLXMLAttributes::TryGetValue(std::string_view name, String& value) const {
    TORLXMLAttribute* attribute;
    if (!Find(name, attribute)) return false;
    value = attribute->Value;
    return true;
}

bool TORLXMLAttributes::Remove(std::string_view name) {
    const auto it =
        std::find_if(FItems.begin(), FItems.end(), [&](const auto& a) { return SameXMLName(a->Name, name); });
    if (it == FItems.end()) return false;
    FItems.erase(it);
    return true;
}

TORLXMLAttribute* TORLXMLAttributes::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

void TORLXMLAttributes::Assign(const TORLXMLAttributes& source) {
    if (&source == this) return;
    FItems.clear();
    FItems.reserve(source.FItems.size());
    for (const auto& item : source.FItems) Add(item->Name, item->Value);
}

bool TORLXMLAttributes::Equals(const TORLXMLAttributes& other) const {
    if (Count() != other.Count()) return false;
    // Identical lists are equal, also when two names differ only in case (the lookup below would
    // find the wrong one of them).
    bool identical = true;
    for (size_t i = 0; identical && i < FItems.size(); ++i)
        identical = FItems[i]->Name == other.FItems[i]->Name && FItems[i]->Value == other.FItems[i]->Value;
    if (identical) return true;
    for (const auto& item : FItems) {
        TORLXMLAttribute* found;
        if (!other.Find(item->Name, found) || found->Value != item->Value) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TORLXMLNode

TORLXMLNode::~TORLXMLNode() {
    if (FParent) {
        // Someone destroyed a node that its parent owns: the parent must forget it, not free it.
        std::unique_ptr<TORLXMLNode> self = FParent->ReleaseChild(this);
        (void)self.release();
    }
    Clear();
}

std::unique_ptr<TORLXMLNode> TORLXMLNode::CreateNode(TORLXMLNode* parent) const {
    return std::unique_ptr<TORLXMLNode>(new TORLXMLNode(parent));
}

TORLXMLNode* TORLXMLNode::AddNode(std::unique_ptr<TORLXMLNode> node) {
    node->FParent = this;
    FChildren.push_back(std::move(node));
    return FChildren.back().get();
}

TORLXMLNode* TORLXMLNode::Add(std::string_view name) {
    std::unique_ptr<TORLXMLNode> node = CreateNode(this);
    node->FName = name;
    return AddNode(std::move(node));
}

std::unique_ptr<TORLXMLNode> TORLXMLNode::ReleaseChild(const TORLXMLNode* child) {
    const auto it = std::find_if(FChildren.begin(), FChildren.end(), [&](const auto& c) { return c.get() == child; });
    if (it == FChildren.end()) return nullptr;
    std::unique_ptr<TORLXMLNode> result = std::move(*it);
    FChildren.erase(it);
    result->FParent = nullptr;
    return result;
}

void TORLXMLNode::Clear() {
    // Each node leaves the work list without children of its own, so its destructor is shallow.
    std::vector<std::unique_ptr<TORLXMLNode>> work = std::move(FChildren);
    FChildren.clear();
    while (!work.empty()) {
        std::unique_ptr<TORLXMLNode> node = std::move(work.back());
        work.pop_back();
        node->FParent = nullptr;
        for (auto& child : node->FChildren) work.push_back(std::move(child));
        node->FChildren.clear();
    }
}

void TORLXMLNode::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    std::unique_ptr<TORLXMLNode> node = std::move(FChildren[static_cast<size_t>(index)]);
    FChildren.erase(FChildren.begin() + index);
    node->FParent = nullptr;
}

TORLXMLNode* TORLXMLNode::Nodes(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FChildren[static_cast<size_t>(index)].get();
}

TORLXMLNode* TORLXMLNode::FindNode(std::string_view name) const {
    for (const auto& child : FChildren)
        if (SameXMLName(child->FName, name)) return child.get();
    return nullptr;
}

bool TORLXMLNode::FindNode(std::string_view name, TORLXMLNode*& node) const {
    node = FindNode(name);
    return node != nullptr;
}

TORLXMLNode* TORLXMLNode::FindNode(const std::vector<std::string>& path, bool create) {
    TORLXMLNode* node = this;
    for (const std::string& name : path) {
        TORLXMLNode* next = node->FindNode(name);
        if (!next) {
            if (!create) return nullptr;
            next = node->Add(name);
        }
        node = next;
    }
    return node;
}

bool TORLXMLNode::IsChild(const TORLXMLNode* node) const {
    for (const TORLXMLNode* p = node ? node->FParent : nullptr; p; p = p->FParent)
        if (p == this) return true;
    return false;
}

std::unique_ptr<TORLXMLNode> TORLXMLNode::SetParent(TORLXMLNode* node) {
    if (node == this || node == FParent || IsChild(node) || !FParent) return nullptr;
    std::unique_ptr<TORLXMLNode> self = FParent->ReleaseChild(this);
    if (!node) return self;
    node->AddNode(std::move(self));
    return nullptr;
}

void TORLXMLNode::Assign(const TORLXMLNode& source) {
    if (&source == this) return;
    if (IsChild(&source) || source.IsChild(this)) {
        // The source overlaps this subtree, which Clear and Add change: copy it aside first.
        TORLXMLNode copy;
        copy.Assign(source);
        Assign(copy);
        return;
    }
    std::vector<std::pair<TORLXMLNode*, const TORLXMLNode*>> work{{this, &source}};
    while (!work.empty()) {
        auto [target, from] = work.back();
        work.pop_back();
        target->Clear();
        target->FAttributes.Assign(from->FAttributes);
        const size_t first = work.size();
        for (const auto& child : from->FChildren) work.emplace_back(target->Add(std::string_view()), child.get());
        // Copy the children in document order (the list is a stack).
        std::reverse(work.begin() + static_cast<std::ptrdiff_t>(first), work.end());
        target->FName = from->FName;
        target->FText = from->FText;
    }
}

bool TORLXMLNode::Equals(const TORLXMLNode& other) const {
    std::vector<std::pair<const TORLXMLNode*, const TORLXMLNode*>> work{{this, &other}};
    while (!work.empty()) {
        auto [a, b] = work.back();
        work.pop_back();
        if (a == b) continue;
        if (typeid(*a) != typeid(*b) || a->FName != b->FName || a->FText != b->FText ||
            a->FChildren.size() != b->FChildren.size() || !a->FAttributes.Equals(b->FAttributes))
            return false;
        for (size_t i = 0; i < a->FChildren.size(); ++i)
            work.emplace_back(a->FChildren[i].get(), b->FChildren[i].get());
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TORLXMLDocument (loading and saving live with the forms)

std::unique_ptr<TORLXMLNode> TORLXMLDocument::CreateNode(TORLXMLNode* parent) const {
    return std::unique_ptr<TORLXMLNode>(new TORLXMLDocument(parent));
}

TORLXMLNode* TORLXMLDocument::Add(std::string_view name) {
    if (FRootOnly && Count() > 0) throw EORLXMLDocument(u"Only one Root available");
    return TORLXMLNode::Add(name);
}

}  // namespace uinst
