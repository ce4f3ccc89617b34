// The persistent hash trie behind Scope.
//
// Invariant: a node reachable from more than one Scope is never changed; a
// change clones every shared node on the path from the root. A node is
// changed in place only while its reference count shows a single owner.
#include "values/Scope.h"

#include <algorithm>
#include <bit>

#include "values/Stale.h"

namespace vorn {

namespace {

constexpr int kBits = 5;
constexpr int kMaxDepth = 13;  // 13 levels of 5 bits use up the 64-bit hash

using Node = Scope::Node;
using Leaf = Scope::Leaf;
using Slot = Scope::Node::Slot;

std::uint32_t slotIndex(std::uint64_t hash, int depth) {
    return static_cast<std::uint32_t>((hash >> (depth * kBits)) & 31u);
}

std::size_t slotPosition(std::uint32_t bitmap, std::uint32_t index) {
    return static_cast<std::size_t>(std::popcount(bitmap & ((1u << index) - 1u)));
}

Ref<Node> makeNode() { return Ref<Node>::make(); }

Ref<Node> editable(Ref<Node> node) {
    if (!node) return makeNode();
    if (node.unique()) return node;
    return Ref<Node>::make(*node);
}

// A node holding two leaves with different names, at the given depth.
Ref<Node> pairNode(const Ref<Leaf>& a, const Ref<Leaf>& b, int depth) {
    Ref<Node> node = makeNode();
    if (depth >= kMaxDepth) {
        node->slots.push_back({a, nullptr});
        node->slots.push_back({b, nullptr});
        return node;
    }
    const std::uint32_t ia = slotIndex(a->hash, depth), ib = slotIndex(b->hash, depth);
    if (ia == ib) {
        node->bitmap = 1u << ia;
        node->slots.push_back({nullptr, pairNode(a, b, depth + 1)});
    } else {
        node->bitmap = (1u << ia) | (1u << ib);
        if (ia < ib) {
            node->slots.push_back({a, nullptr});
            node->slots.push_back({b, nullptr});
        } else {
            node->slots.push_back({b, nullptr});
            node->slots.push_back({a, nullptr});
        }
    }
    return node;
}

Ref<Node> insert(Ref<Node> node, int depth, const Ref<Leaf>& leaf) {
    node = editable(std::move(node));
    if (depth >= kMaxDepth) {
        for (auto& slot : node->slots) {
            if (slot.leaf->name == leaf->name) {
                slot.leaf = leaf;
                return node;
            }
        }
        node->slots.push_back({leaf, nullptr});
        return node;
    }
    const std::uint32_t index = slotIndex(leaf->hash, depth);
    const std::uint32_t bit = 1u << index;
    const std::size_t pos = slotPosition(node->bitmap, index);
    if (!(node->bitmap & bit)) {
        node->bitmap |= bit;
        node->slots.insert(node->slots.begin() + static_cast<std::ptrdiff_t>(pos), Slot{leaf, nullptr});
        return node;
    }
    Slot& slot = node->slots[pos];
    if (slot.leaf) {
        if (slot.leaf->name == leaf->name) {
            slot.leaf = leaf;
        } else {
            slot.child = pairNode(slot.leaf, leaf, depth + 1);
            slot.leaf.reset();
        }
    } else {
        slot.child = insert(std::move(slot.child), depth + 1, leaf);
    }
    return node;
}

// The leaf binding the name that matches says is the one, found along hash.
template <class Matches>
const Leaf* findLeafWith(const Node* node, int depth, std::uint64_t hash, Matches matches) {
    while (node) {
        if (depth >= kMaxDepth) {
            for (const auto& slot : node->slots)
                if (matches(*slot.leaf)) return slot.leaf.get();
            return nullptr;
        }
        const std::uint32_t index = slotIndex(hash, depth);
        const std::uint32_t bit = 1u << index;
        if (!(node->bitmap & bit)) return nullptr;
        const Slot& slot = node->slots[slotPosition(node->bitmap, index)];
        if (slot.leaf) return matches(*slot.leaf) ? slot.leaf.get() : nullptr;
        node = slot.child.get();
        ++depth;
    }
    return nullptr;
}

const Leaf* findLeaf(const Node* node, int depth, const Symbol* name) {
    return findLeafWith(node, depth, name->hash, [name](const Leaf& leaf) { return leaf.name.get() == name; });
}

const Leaf* findLeaf(const Node* node, int depth, std::uint64_t hash, std::string_view name) {
    return findLeafWith(node, depth, hash,
                        [&](const Leaf& leaf) { return leaf.hash == hash && leaf.name->text == name; });
}

Ref<Node> merge(const Ref<Node>& a, const Ref<Node>& b, int depth);

// Adds leaf to node unless node already binds its name.
Ref<Node> insertIfAbsent(const Ref<Node>& node, int depth, const Ref<Leaf>& leaf) {
    if (findLeaf(node.get(), depth, leaf->name.get())) return node;
    return insert(node, depth, leaf);
}

// Puts leaf's slot into a merged node, a winning over b.
Slot mergeSlots(const Slot& a, const Slot& b, int depth) {
    if (a.child && b.child) return {nullptr, merge(a.child, b.child, depth + 1)};
    if (a.leaf && b.leaf) {
        if (a.leaf == b.leaf || a.leaf->name == b.leaf->name) return a;
        return {nullptr, pairNode(a.leaf, b.leaf, depth + 1)};
    }
    if (a.child) return {nullptr, insertIfAbsent(a.child, depth + 1, b.leaf)};
    return {nullptr, insert(b.child, depth + 1, a.leaf)};
}

Ref<Node> merge(const Ref<Node>& a, const Ref<Node>& b, int depth) {
    if (a == b || !b) return a;
    if (!a) return b;
    if (depth >= kMaxDepth) {
        Ref<Node> out = a;
        for (const auto& slot : b->slots) out = insertIfAbsent(out, depth, slot.leaf);
        return out;
    }
    const std::uint32_t bitmap = a->bitmap | b->bitmap;
    Ref<Node> out = makeNode();
    out->bitmap = bitmap;
    out->slots.reserve(static_cast<std::size_t>(std::popcount(bitmap)));
    bool sameAsA = bitmap == a->bitmap;
    std::size_t ia = 0, ib = 0;
    for (std::uint32_t rest = bitmap; rest; rest &= rest - 1) {
        const std::uint32_t bit = rest & (~rest + 1);
        const bool inA = a->bitmap & bit, inB = b->bitmap & bit;
        if (inA && inB) {
            const Slot& sa = a->slots[ia++];
            Slot merged = mergeSlots(sa, b->slots[ib++], depth);
            if (merged.leaf != sa.leaf || merged.child != sa.child) sameAsA = false;
            out->slots.push_back(std::move(merged));
        } else if (inA) {
            out->slots.push_back(a->slots[ia++]);
        } else {
            out->slots.push_back(b->slots[ib++]);
        }
    }
    return sameAsA ? a : out;
}

// A filter of 4,096 bits over the watched hashes: with the 38 builtin names
// an unwatched name passes it about once in a hundred, so binding a name
// rarely needs the exact scan below.
constexpr std::size_t kWatchWords = 64;
std::uint64_t gWatchFilter[kWatchWords] = {};
bool watchFilterHas(std::uint64_t hash) { return gWatchFilter[(hash >> 6) % kWatchWords] & (1ull << (hash & 63)); }
std::vector<std::uint64_t>& watchedHashes() {
    static std::vector<std::uint64_t> hashes;
    return hashes;
}

}  // namespace

bool isWatchedHash(std::uint64_t hash) {
    if (!watchFilterHas(hash)) return false;
    const auto& hashes = watchedHashes();
    return std::find(hashes.begin(), hashes.end(), hash) != hashes.end();
}

Scope::Leaf::Leaf(SymbolRef n, ValueRef v) : hash(n->hash), name(std::move(n)), value(std::move(v)) {
    Scope::noteBound(hash);
    if (value) {
        value.cell()->countBinding();
        if (value->hasStalePayload()) noteStale(value, name->text, hash);
    }
}

void Scope::Leaf::rebind(ValueRef v) {
    if (value) --value.cell()->bindings_;
    value = std::move(v);
    if (value) {
        value.cell()->countBinding();
        if (value->hasStalePayload()) noteStale(value, name->text, hash);
    }
}

Scope::Leaf::~Leaf() {
    if (value) --value.cell()->bindings_;
}

std::uint64_t hashName(std::string_view name) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    // Final mix so that every level of the trie sees well-spread bits.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

const Leaf* Scope::findInOverlay(std::string_view name, std::uint64_t hash) const {
    for (std::uint8_t i = overlayCount_; i-- > 0;) {
        const Leaf* leaf = overlay_[i].get();
        if (leaf->hash == hash && leaf->name->text == name) return leaf;
    }
    return nullptr;
}

ValueRef Scope::find(std::string_view name, std::uint64_t hash) const {
    if (overlayCount_ != 0)
        if (const Leaf* leaf = findInOverlay(name, hash)) return leaf->value;
    const Leaf* leaf = findLeaf(root_.get(), 0, hash, name);
    return leaf ? leaf->value : ValueRef();
}

Cell* Scope::findInTrieCell(const Symbol* name) const {
    const Leaf* leaf = findLeaf(root_.get(), 0, name);
    return leaf ? leaf->value.cell() : nullptr;
}

void Scope::foldOverlay() {
    if (overlayCount_ != 0) stamp_ = freshStamp();
    for (std::uint8_t i = 0; i < overlayCount_; ++i) {
        root_ = insert(std::move(root_), 0, overlay_[i]);
        overlay_[i].reset();
    }
    overlayCount_ = 0;
}

void Scope::set(const SymbolRef& name, ValueRef value) {
    if (name->watched) {
        builtinsBound_ = false;
        foreignBuiltinNames_ = true;
    }
    for (std::uint8_t i = 0; i < overlayCount_; ++i) {
        if (overlay_[i]->name == name) {
            // A binding that no copy of the table shares changes in place
            // (a loop's "element", pass after pass).
            if (overlay_[i].unique()) overlay_[i]->rebind(std::move(value));
            else overlay_[i] = Ref<Leaf>::make(name, std::move(value));
            return;
        }
    }
    Ref<Leaf> leaf = Ref<Leaf>::make(name, std::move(value));
    // A new name in a table that nobody shares is cheapest to add to the
    // trie in place. A name the trie already binds is rebound in the
    // overlay instead: a name rebound again and again (a loop's "element")
    // then leaves the trie and its stamp alone, so the cached lookups of
    // every other name stay valid.
    if ((!root_ || root_.unique()) && !findLeaf(root_.get(), 0, name.get())) {
        root_ = insert(std::move(root_), 0, leaf);
        stamp_ = freshStamp();
        return;
    }
    if (overlayCount_ == kOverlaySize) foldOverlay();
    overlay_[overlayCount_++] = std::move(leaf);
}

std::size_t Scope::size() const {
    std::size_t n = 0;
    forEach([&](const std::string&, const ValueRef&) { ++n; });
    return n;
}

std::vector<std::pair<std::string, ValueRef>> Scope::entriesInOrder() const {
    std::vector<std::pair<std::string, ValueRef>> out;
    forEach([&](const std::string& name, const ValueRef& value) { out.emplace_back(name, value); });
    std::sort(out.begin(), out.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    return out;
}

Scope Scope::merge(const Scope& preferredIn, const Scope& otherIn) {
    if (otherIn.empty() || preferredIn.sameTableAs(otherIn)) return preferredIn;
    if (preferredIn.empty()) return otherIn;
    Scope preferred = preferredIn;
    Scope other = otherIn;
    preferred.foldOverlay();
    other.foldOverlay();
    Scope out;
    out.root_ = vorn::merge(preferred.root_, other.root_, 0);
    out.stamp_ = freshStamp();
    // The preferred side's builtin bindings win; other's show through only
    // where preferred binds no builtin name of its own.
    if (preferred.builtinsBound_) {
        out.builtinsBound_ = true;
        out.foreignBuiltinNames_ = false;
    } else {
        out.builtinsBound_ = other.builtinsBound_ && !preferred.foreignBuiltinNames_;
        out.foreignBuiltinNames_ = preferred.foreignBuiltinNames_ || other.foreignBuiltinNames_;
    }
    return out;
}

void Scope::watchName(std::string_view name) {
    const std::uint64_t h = hashName(name);
    if (isWatchedHash(h)) return;  // each interpreter watches the same names
    gWatchFilter[(h >> 6) % kWatchWords] |= 1ull << (h & 63);
    watchedHashes().push_back(h);
    if (Symbol* symbol = findSymbol(name, h)) symbol->watched = true;
}

}  // namespace vorn
