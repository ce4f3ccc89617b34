// Scope: a map from variable name to a shared Value, cheap to copy.
//
// Scopes are copied all the time: every run copies its caller's tables,
// every call copies the caller's view and adds its arguments. A Scope is
// therefore a persistent hash trie: a copy shares the whole structure, and a
// change copies only the path to the changed entry (a few small nodes), so
// neither copying nor binding costs time proportional to the number of
// visible names. Entries refer to Values; copies of a Scope share them.
//
// Bindings made in a table whose trie is shared (a call's arguments) or
// that rebind a name the trie already has (a loop's "element", pass after
// pass) sit in a small overlay in front of the trie, so building a call
// scope from its caller's view touches no trie node at all, and rebinding
// one name leaves the trie's stamp (below) alone; the overlay is folded
// into the trie when it fills up. A new name in an unshared table goes
// straight into the trie.
//
// Iteration is in no particular order; entriesInOrder() gives the byte-wise
// name order that scripts can observe.
//
// Every state of a table's trie carries a stamp: a number drawn afresh from
// one global counter whenever the trie changes, and copied with the table.
// Two tables with equal stamps therefore have the very same trie (one is an
// unchanged copy of the other), which lets a lookup site remember what the
// tries gave it (LookupCache) and reuse that for as long as the tables it
// looked in show the stamps it saw. The overlay is not covered by the stamp:
// it is scanned first on every lookup, so a call's arguments or a loop's
// "element" leave the cached answers for every other name intact. The
// empty trie has stamp 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "values/Symbol.h"
#include "values/Value.h"

namespace vorn {

// What one lookup site (an operand, an assignment target) last found in
// the tries of the two tables it looked in: their stamps and the cell each
// trie binds the name to (null for none). Equal stamps mean unchanged
// tries, so the answers still hold. It also keeps the name's Symbol once
// some table has bound the name, so later lookups compare pointers.
struct LookupCache {
    std::uint64_t first = ~std::uint64_t(0);
    std::uint64_t second = ~std::uint64_t(0);
    Cell* inFirst = nullptr;
    Cell* inSecond = nullptr;
    SymbolRef symbol;
};

class Scope {
public:
    Scope() = default;
    // Copies touch only the overlay slots in use: scopes are copied at every
    // run's entry and exit.
    Scope(const Scope& other) { *this = other; }
    Scope& operator=(const Scope& other) {
        if (this == &other) return *this;
        root_ = other.root_;
        const std::uint8_t n = overlayCount_ > other.overlayCount_ ? overlayCount_ : other.overlayCount_;
        for (std::uint8_t i = 0; i < n; ++i) overlay_[i] = other.overlay_[i];
        overlayCount_ = other.overlayCount_;
        builtinsBound_ = other.builtinsBound_;
        foreignBuiltinNames_ = other.foreignBuiltinNames_;
        stamp_ = other.stamp_;
        return *this;
    }
    // A moved-from table is left empty (and stamped so).
    Scope(Scope&& other) noexcept { *this = std::move(other); }
    Scope& operator=(Scope&& other) noexcept {
        if (this == &other) return *this;
        root_ = std::move(other.root_);
        for (std::uint8_t i = 0; i < kOverlaySize; ++i) overlay_[i] = std::move(other.overlay_[i]);
        overlayCount_ = other.overlayCount_;
        builtinsBound_ = other.builtinsBound_;
        foreignBuiltinNames_ = other.foreignBuiltinNames_;
        stamp_ = other.stamp_;
        other.overlayCount_ = 0;
        other.builtinsBound_ = false;
        other.foreignBuiltinNames_ = false;
        other.stamp_ = 0;
        return *this;
    }

    // Identifies this state of the trie (see above).
    std::uint64_t stamp() const { return stamp_; }

    // The cell bound to name, or null; borrowed, valid while the binding
    // stays. The overlay hides the trie, so a lookup asks the overlay first.
    Cell* findInOverlayCell(const Symbol* name) const;
    Cell* findInTrieCell(const Symbol* name) const;

    // The cell bound to name in the overlay when nothing but that binding
    // refers to it: no copy of the table shares the binding and nothing else
    // holds the Value. Such a Value can take new contents in place of a new
    // binding without anyone telling the difference. Null otherwise.
    Cell* soleCell(const Symbol* name) const;

    // The Value bound to name, or null.
    ValueRef find(std::string_view name) const { return find(name, hashName(name)); }
    ValueRef find(std::string_view name, std::uint64_t hash) const;
    bool contains(std::string_view name) const { return static_cast<bool>(find(name)); }

    // Binds name to value, creating or replacing the entry.
    void set(std::string_view name, ValueRef value) { set(intern(name), std::move(value)); }
    void set(std::string_view name, std::uint64_t hash, ValueRef value) { set(intern(name, hash), std::move(value)); }
    void set(const SymbolRef& name, ValueRef value);

    bool empty() const { return !root_ && overlayCount_ == 0; }
    void clear() {
        root_.reset();
        for (std::uint8_t i = 0; i < overlayCount_; ++i) overlay_[i].reset();
        overlayCount_ = 0;
        builtinsBound_ = false;
        foreignBuiltinNames_ = false;
        stamp_ = 0;
    }
    std::size_t size() const;
    std::vector<std::pair<std::string, ValueRef>> entriesInOrder() const;
    template <class F>
    void forEach(F&& f) const;  // f(const std::string& name, const ValueRef& value)
    template <class F>
    void forEachBinding(F&& f) const;  // f(const SymbolRef& name, const ValueRef& value)

    // True when both scopes are the very same table (no change since a copy).
    bool sameTableAs(const Scope& other) const {
        if (root_ != other.root_ || overlayCount_ != other.overlayCount_) return false;
        for (std::uint8_t i = 0; i < overlayCount_; ++i)
            if (overlay_[i] != other.overlay_[i]) return false;
        return true;
    }

    // True when this is an unchanged copy of other, flags and stamp included:
    // assigning other here would change nothing.
    bool identicalTo(const Scope& other) const {
        return stamp_ == other.stamp_ && builtinsBound_ == other.builtinsBound_ &&
               foreignBuiltinNames_ == other.foreignBuiltinNames_ && sameTableAs(other);
    }

    // The entries of preferred, plus every entry of other whose name
    // preferred lacks. Shared structure is reused, so merging two tables that
    // differ in a few names costs about as much as those few bindings.
    static Scope merge(const Scope& preferred, const Scope& other);

    // Whether every builtin is known to be bound to its own Value here. Set by
    // the builtin registration; any later binding of a builtin's name clears it.
    bool builtinsBound() const { return builtinsBound_; }
    void setBuiltinsBound() {
        builtinsBound_ = true;
        foreignBuiltinNames_ = false;
    }
    // Names whose rebinding clears builtinsBound (the builtin names).
    static void watchName(std::string_view name);

    // False when no scope anywhere has ever bound a name with this hash, so a
    // lookup would certainly fail: most operands that are literals ("1",
    // "\"x\"") skip the lookup that every operand otherwise starts with.
    static bool mayBeBound(std::uint64_t hash) { return everBound_[(hash >> 6) & kEverBoundMask] & (1ull << (hash & 63)); }
    static void noteBound(std::uint64_t hash) { everBound_[(hash >> 6) & kEverBoundMask] |= 1ull << (hash & 63); }

    struct Node;
    struct Leaf;

private:
    static constexpr std::size_t kEverBoundWords = 1024;  // 65,536 bits
    static constexpr std::size_t kEverBoundMask = kEverBoundWords - 1;
    static inline std::uint64_t everBound_[kEverBoundWords] = {};

    static constexpr std::uint8_t kOverlaySize = 4;

    // Moves the overlay's bindings into the trie.
    void foldOverlay();
    const Leaf* findInOverlay(std::string_view name, std::uint64_t hash) const;
    const Leaf* findInOverlay(const Symbol* name) const;

    static std::uint64_t freshStamp() { return ++lastStamp_; }
    static inline std::uint64_t lastStamp_ = 0;

    Ref<Node> root_;
    std::uint64_t stamp_ = 0;
    Ref<Leaf> overlay_[kOverlaySize];  // newest bindings; they hide the trie's
    std::uint8_t overlayCount_ = 0;
    bool builtinsBound_ = false;
    // Whether some builtin name may be bound to another Value here.
    bool foreignBuiltinNames_ = false;
};

// One binding. Creating it counts a binding of the Value, and a Value that
// still carries payloads of another kind is put on the list of Values the
// next kind trim must look at (values/Stale.h). Names are Symbols, so two
// leaves bind the same name exactly when their name pointers are equal.
struct Scope::Leaf : RefCounted {
    VORN_POOLED(Leaf)
    Leaf(SymbolRef n, ValueRef v);
    ~Leaf();
    // Binds the leaf's name to v instead; only for a leaf nothing else shares.
    void rebind(ValueRef v);
    Leaf(const Leaf&) = delete;
    Leaf& operator=(const Leaf&) = delete;
    std::uint64_t hash;
    SymbolRef name;
    ValueRef value;
};

inline const Scope::Leaf* Scope::findInOverlay(const Symbol* name) const {
    for (std::uint8_t i = overlayCount_; i-- > 0;)
        if (overlay_[i]->name.get() == name) return overlay_[i].get();
    return nullptr;
}

inline Cell* Scope::soleCell(const Symbol* name) const {
    for (std::uint8_t i = overlayCount_; i-- > 0;) {
        const Ref<Leaf>& leaf = overlay_[i];
        if (leaf->name.get() != name) continue;
        Cell* c = leaf->value.cell();
        return leaf.unique() && c && c->refCount() == 1 ? c : nullptr;
    }
    return nullptr;
}

inline Cell* Scope::findInOverlayCell(const Symbol* name) const {
    for (std::uint8_t i = overlayCount_; i-- > 0;) {
        const Leaf* leaf = overlay_[i].get();
        if (leaf->name.get() == name) return leaf->value.cell();
    }
    return nullptr;
}

struct Scope::Node : RefCounted {
    struct Slot {
        Ref<Leaf> leaf;
        Ref<Node> child;
    };
    std::uint32_t bitmap = 0;
    std::vector<Slot> slots;  // in bit order; at the deepest level, colliding leaves
};

namespace detail {
template <class F>
void forEachLeaf(const Scope::Node* node, F& f) {
    for (const auto& slot : node->slots) {
        if (slot.leaf) f(*slot.leaf);
        else forEachLeaf(slot.child.get(), f);
    }
}
}  // namespace detail

template <class F>
void Scope::forEachBinding(F&& f) const {
    for (std::uint8_t i = 0; i < overlayCount_; ++i) f(overlay_[i]->name, overlay_[i]->value);
    if (!root_) return;
    auto unhidden = [&](const Leaf& leaf) {
        if (overlayCount_ == 0 || !findInOverlay(leaf.name.get())) f(leaf.name, leaf.value);
    };
    detail::forEachLeaf(root_.get(), unhidden);
}

template <class F>
void Scope::forEach(F&& f) const {
    forEachBinding([&](const SymbolRef& name, const ValueRef& value) { f(name->text, value); });
}

}  // namespace vorn
