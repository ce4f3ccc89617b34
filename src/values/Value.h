// The one dynamic value record of VORN.
//
// A Value carries a kind and, conceptually, one payload field for every kind
// at once: a conversion replaces the kind and the payload of the new kind
// and leaves the others as they were until trimToKind empties them.
//
// Representation. Most Values live for one operation (an operand read, an
// operator result, an argument on its way into a call), so the record is
// kept small and cheap to copy: 40 bytes holding the kind, the integer, the
// text, the items and one pointer to a ValueExtras box. The box holds the
// fields that are rarely set (bound and boundObject of a method, argNames,
// bytes, members, the builtin's entry point and the 80-bit float). It is
// shared copy-on-write between copies: copying a Value copies five words
// and bumps at most three counts, nothing is zero-filled and no 80-bit
// field moves. A Value whose rare fields are all at their defaults has no
// box at all; reading a field of a missing box yields the default.
//
// Values that scripts can reach (through a Scope, a list's items or a
// scaffold's members) live in heap Cells and are shared through ValueRef: a
// change made in place to such a Value is seen through every reference. The
// cell carries the reference count, the number of scope entries binding it
// and the collector's scratch; temporaries carry none of it. The record itself
// has value semantics: copying it copies its fields, and lists and member
// tables are copied as collections of references, so a copy of a list shares
// its element Values.
//
// List elements are Items: one word each, a reference to a cell or, for a
// plain integer, the integer itself. A list of a million numbers is then a
// million words instead of a million cells; an element gets its cell only
// when something takes a reference to it (see Item below).
#pragma once

#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "values/Pool.h"
#include "values/Ref.h"
#include "values/Symbol.h"
#include "values/Text.h"

namespace vorn {

class Value;
class Cell;
class Scope;

// A counted reference to a heap Value (its Cell). Dereferencing gives the
// Value itself. The size of one pointer; copying never throws.
class ValueRef {
public:
    ValueRef() = default;
    ValueRef(std::nullptr_t) {}
    explicit ValueRef(Cell* cell);
    ValueRef(const ValueRef& o);
    ValueRef(ValueRef&& o) noexcept : c_(o.c_) { o.c_ = nullptr; }
    ~ValueRef();
    ValueRef& operator=(const ValueRef& o);
    ValueRef& operator=(ValueRef&& o) noexcept;

    Value* get() const;
    Value& operator*() const { return *get(); }
    Value* operator->() const { return get(); }
    Cell* cell() const { return c_; }
    explicit operator bool() const { return c_ != nullptr; }
    bool operator==(const ValueRef& o) const { return c_ == o.c_; }
    bool operator!=(const ValueRef& o) const { return c_ != o.c_; }
    void reset();

private:
    friend class Item;
    Cell* c_ = nullptr;
};

// One element of a list. Most elements of most lists are plain integers or
// plain texts that nothing else refers to, so an element is one word that
// holds either a counted reference to a heap cell or, tagged in its low
// bits, the element itself: an integer (63 bits, low bit set) or a counted
// reference to a text's bytes (low bits 10). Neither needs a cell. Elements
// are still Values in their own right: the moment something needs a
// reference to an element kept in its word (`index`, an `each` pass, a
// second list sharing it, any code that asks for its cell), the word is
// turned into a cell holding that plain Value, in place, and every list that
// holds the element sees the cell. The change is invisible to scripts, so it
// is made through const access.
//
// Copying an Item is making a second reference to the same element, so the
// copy first gives the element its cell; moving one moves the word.
class Item {
public:
    Item() = default;
    Item(const ValueRef& ref) : Item(ValueRef(ref)) {}
    Item(ValueRef&& ref) noexcept : w_(reinterpret_cast<std::uintptr_t>(ref.c_)) { ref.c_ = nullptr; }
    Item(const Item& o) : w_(reinterpret_cast<std::uintptr_t>(o.cell())) { retain(); }
    Item(Item&& o) noexcept : w_(o.w_) { o.w_ = 0; }
    Item& operator=(const Item& o) {
        Item copy(o);
        std::swap(w_, copy.w_);
        return *this;
    }
    Item& operator=(Item&& o) noexcept {
        std::swap(w_, o.w_);
        return *this;
    }
    ~Item() { release(); }

    // A new element holding a copy of v: a plain integer that fits, or a
    // text, stays in the word. A text may still carry the number it was
    // converted from (`$str$(5)`); an element's fields are read only after
    // a name is bound to it, and that binding has the next kind trim empty
    // the number first, so a new element drops it. A member is read without
    // a binding: keptInWord below says which Values a member may keep in
    // its word.
    static Item of(Value&& v);
    static Item of(const Value& v);
    // True when i can live in the word: one bit less than the word, signed
    // (63 bits; 31 where addresses are 32 bits wide, as in WebAssembly).
    static bool fitsInWord(std::int64_t i) { return i >= -kWordLimit && i < kWordLimit; }
    // True when v is exactly what an element kept as an integer reads as:
    // kind "integer" with every other field at its default.
    static bool isPlainInteger(const Value& v);
    // The same for an element kept as a text: kind "string", integer 0,
    // every other field but the text at its default.
    static bool isPlainText(const Value& v);
    // True when v is exactly what an element kept in its word reads as.
    static bool keptInWord(const Value& v);

    // The element kept as an integer (no cell yet), and that integer.
    bool holdsInteger() const { return (w_ & 1) != 0; }
    std::int64_t integer() const { return static_cast<std::int64_t>(static_cast<std::intptr_t>(w_) >> 1); }
    // The element kept as a text (no cell yet).
    bool holdsText() const { return (w_ & kTagBits) == kTextTag; }
    // The bytes of an element kept as a text (holdsText), read in place.
    std::string_view textInWord() const;
    // The element kept in its word, whatever it holds.
    bool inWord() const { return (w_ & kTagBits) != 0; }
    // The element's cell if it has one; never makes one.
    Cell* cellOrNull() const { return inWord() ? nullptr : reinterpret_cast<Cell*>(w_); }
    // The element's cell, made first when the element is kept in its word.
    Cell* cell() const {
        if (inWord()) giveCell();
        return reinterpret_cast<Cell*>(w_);
    }
    // A counted reference to the element (giving it a cell first).
    ValueRef ref() const { return ValueRef(cell()); }
    Value* get() const;
    Value& operator*() const { return *get(); }
    Value* operator->() const { return get(); }
    // The element's Value for reading, without making a cell: an element
    // kept in its word is written into scratch, which is returned.
    const Value& read(Value& scratch) const;

    // Turns the element back into a word when its cell is referred to by
    // nothing but this item and holds a plain integer that fits: no one
    // could tell the cell from the word any more. Returns true when it did.
    bool keepAsIntegerIfAlone() const;
    // The same for an element whose cell only this item and one binding
    // refer to (bound: that binding's cell), handing the cell to next, an
    // integer kept in its word, instead of freeing it: the binding then
    // refers to next. An each pass over integers moves one cell along the
    // list this way. Returns true when it did.
    bool passCellTo(const Item& next, const Cell* bound) const;

    // Whether two items are the same element. An element kept in its word
    // is referred to by that word only, so it is the same element as no
    // other item (two words may share the bytes of equal texts).
    bool operator==(const ValueRef& o) const { return !inWord() && cellOrNull() == o.cell(); }
    bool operator==(const Item& o) const { return this == &o || (!inWord() && w_ == o.w_); }

private:
    static constexpr std::int64_t kWordLimit = std::int64_t{1} << (8 * sizeof(std::uintptr_t) - 2);
    static constexpr std::uintptr_t kTagBits = 3;
    static constexpr std::uintptr_t kTextTag = 2;
    static std::uintptr_t encode(std::int64_t i) { return (static_cast<std::uintptr_t>(i) << 1) | 1u; }
    // Whether v becomes a text element kept in its word (see of).
    static bool isElementText(const Value& v);
    // The word of a text: its buffer (null for the empty text), tagged. The
    // word takes over one count of the buffer.
    static std::uintptr_t encodeText(const Text& t);
    Text::Buffer* textBuffer() const { return reinterpret_cast<Text::Buffer*>(w_ & ~kTagBits); }
    [[gnu::noinline]] void giveCell() const;
    // Drops the word's count of its text's bytes. Kept out of line like
    // freeCell: every Value's release inlines the release of its items.
    [[gnu::noinline]] void releaseText() const;
    bool turnIntoWord() const;
    void retain() const;
    void release() const;
    mutable std::uintptr_t w_ = 0;
};

using ItemList = std::vector<Item>;

// The members of a scaffold: names bound to shared Values, fixed once built.
//
// An object's members are made all at once (a class body or an
// instantiation runs, and the names it created become the members), and no
// statement adds or removes one later: assignments change the member Values
// in place. The table is therefore immutable and shared by every copy of the
// object's Value, and it is one block: a count and the members themselves,
// sorted by the bytes of their names (the order scripts see), each a Symbol
// and a reference. Two tables hold the same name exactly when their Symbols
// are the same record. A member is an Item, like a list element: a member
// holding a plain integer that nothing else refers to is kept in the word.
class MemberTable {
public:
    struct Entry {
        SymbolRef name;
        Item value;
    };

    MemberTable() = default;
    // The table of these members; a name given twice keeps its last Value.
    static MemberTable of(std::vector<Entry> members);

    bool empty() const { return !block_; }
    std::size_t size() const { return block_ ? block_->count : 0; }
    const Entry* begin() const { return block_ ? block_->entries() : nullptr; }
    const Entry* end() const { return block_ ? block_->entries() + block_->count : nullptr; }

    // The member of that name, or null. Objects have a handful of members,
    // so a short table is scanned comparing lengths first, which costs fewer
    // byte comparisons than a search by halves.
    const Item* find(std::string_view name) const {
        if (!block_) return nullptr;
        if (block_->count > kScanned) return findByHalves(name);
        for (const Entry *e = block_->entries(), *last = e + block_->count; e != last; ++e)
            if (sameBytes(e->name->text, name)) return &e->value;
        return nullptr;
    }

    void clear() { block_.reset(); }
    bool sharesWith(const MemberTable& other) const { return block_ == other.block_; }
    // The shared block's identity and holder count, for the cycle collector.
    const RefCounted* boxId() const { return block_.get(); }
    std::uint32_t holders() const { return block_ ? block_->refCount() : 0; }

private:
    static constexpr std::uint32_t kScanned = 8;
    // The count, then the entries in the same allocation; a table of a few
    // members comes from a pool of its exact size.
    struct Block : RefCounted {
        explicit Block(std::uint32_t n) : count(n) {}
        ~Block();
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        static void operator delete(Block* block, std::destroying_delete_t);
        Entry* entries() const {
            return std::launder(reinterpret_cast<Entry*>(reinterpret_cast<unsigned char*>(const_cast<Block*>(this)) +
                                                         sizeof(Block)));
        }
        const std::uint32_t count;
    };
    static_assert(sizeof(Block) % alignof(Entry) == 0, "the entries follow the count without padding");
    const Item* findByHalves(std::string_view name) const;
    static void* allocateBlock(std::uint32_t count);
    static void releaseBlock(void* block, std::uint32_t count);
    Ref<Block> block_;
};
class CallScope;
// A builtin: it reads its arguments from the call's scope and returns a new
// Value (exec/CallScope.h).
using NativeFunction = Value (*)(const CallScope& call);
using ByteList = std::vector<std::uint8_t>;
using NameList = std::vector<std::string>;

// The kinds a Value can have. "" is the kind of a wiped Value.
enum class Kind : std::uint8_t { Unspecified, String, Integer, Float, Func, List, Bytes, Scaffold, CFunc, Wiped };

std::string_view kindName(Kind kind);
// The same as a Text, one shared buffer per kind (made on first use).
const Text& kindText(Kind kind);
// The kind with that exact name, or false when the text names no kind.
bool kindFromName(std::string_view name, Kind& kind);

// The rarely set fields of a Value, shared between copies until one of them
// changes a field. Each collection is itself shared copy-on-write, so
// detaching a box copies a few pointers.
struct ValueExtras : RefCounted {
    VORN_POOLED(ValueExtras)
    ValueExtras() = default;
    ValueExtras(const ValueExtras&) = default;

    // True when every field holds its default: the box can be dropped.
    bool allDefault() const { return holdsOnlyReal() && isPlainZero(real); }
    // True when every field but the float holds its default.
    bool holdsOnlyReal() const {
        return !bound && !readsArgumentsOnly && !boundObject && bytes.empty() && argNames.empty() && members.empty() &&
               native == nullptr;
    }
    // +0.0 only: a -0.0 must keep its sign.
    static bool isPlainZero(long double r) { return r == 0.0L && !std::signbit(r); }

    bool bound = false;
    bool readsArgumentsOnly = false;  // of a builtin's native function (exec/Interpreter.h)
    ValueRef boundObject;
    Cow<ByteList> bytes;
    Cow<NameList> argNames;
    MemberTable members;
    NativeFunction native = nullptr;
    long double real = 0.0L;
};

class Value {
public:
    Value() = default;

    static Value ofInteger(std::int64_t i) { Value v; v.kind = Kind::Integer; v.integer = i; return v; }
    static Value ofReal(long double r) { Value v; v.kind = Kind::Float; v.setReal(r); return v; }
    static Value ofText(std::string s) { Value v; v.kind = Kind::String; v.text = Text(std::move(s)); return v; }
    static Value ofText(Text t) { Value v; v.kind = Kind::String; v.text = std::move(t); return v; }
    static Value ofText(const char* s) { return ofText(std::string(s)); }
    static Value ofFunc(Text t) { Value v; v.kind = Kind::Func; v.text = std::move(t); return v; }
    static Value ofList(ItemList items) { Value v; v.kind = Kind::List; v.items.assign(std::move(items)); return v; }
    static Value ofBytes(ByteList b) { Value v; v.kind = Kind::Bytes; v.mutableBytes().assign(std::move(b)); return v; }

    bool is(Kind k) const { return kind == k; }
    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Float; }

    // Resets the Value in place to kind "" with every payload empty. The
    // element and member Values it referred to are not touched.
    void wipe();
    // Empties every payload that does not belong to the Value's own kind.
    // Members of a Value that is no scaffold are dropped, never wiped: they
    // may still belong to a live object.
    void trimToKind();
    // True when some payload that trimToKind would empty is still observable
    // (text, items or members of another kind, or the integer of another
    // kind: a "not" that opens a step on a member flips the integer it
    // finds and makes the result an integer, so a member copied from a
    // Value that kept a number shows it).
    bool hasStalePayload() const {
        return (kind != Kind::String && kind != Kind::Func && !text.empty()) ||
               (kind != Kind::Integer && integer != 0) || (kind != Kind::List && !items.empty()) ||
               (kind != Kind::Scaffold && x_ && !x_->members.empty());
    }
    // True when the Value is a float with every other field at its default,
    // as an operator's float result is.
    bool isPlainReal() const {
        return kind == Kind::Float && text.empty() && integer == 0 && items.empty() && (!x_ || x_->holdsOnlyReal());
    }
    // Makes the Value a plain integer: every other field at its default.
    void setPlainInteger(std::int64_t i) {
        kind = Kind::Integer;
        integer = i;
        text.clear();
        items.clear();
        x_.reset();
    }

    // The rare fields. Reading never allocates; changing one detaches the
    // shared box first.
    bool bound() const { return x_ && x_->bound; }
    const ValueRef& boundObject() const { return x_ ? x_->boundObject : noRef(); }
    const Cow<ByteList>& bytes() const { return x_ ? x_->bytes : noBytes(); }
    const Cow<NameList>& argNames() const { return x_ ? x_->argNames : noNames(); }
    const MemberTable& members() const { return x_ ? x_->members : noMembers(); }
    NativeFunction native() const { return x_ ? x_->native : nullptr; }
    bool readsArgumentsOnly() const { return x_ && x_->readsArgumentsOnly; }
    long double real() const { return x_ ? x_->real : 0.0L; }

    void setBound(bool b) { if (b || x_) extras().bound = b; }
    void setBoundObject(ValueRef o) { if (o || x_) extras().boundObject = std::move(o); }
    void setNative(NativeFunction f, bool readsArgumentsOnly = false) {
        if (f || x_) extras().native = f;
        if (readsArgumentsOnly || x_) extras().readsArgumentsOnly = readsArgumentsOnly;
    }
    void setReal(long double r) { if (!ValueExtras::isPlainZero(r) || x_) extras().real = r; }
    Cow<ByteList>& mutableBytes() { return extras().bytes; }
    Cow<NameList>& mutableArgNames() { return extras().argNames; }
    void setMembers(MemberTable members) { if (!members.empty() || x_) extras().members = std::move(members); }
    void clearBytes() { if (x_ && !x_->bytes.empty()) extras().bytes.clear(); }
    void clearMembers() { if (x_ && !x_->members.empty()) extras().members.clear(); }

    // The box of rare fields, or null; for the cycle collector and tests.
    const ValueExtras* extrasBox() const { return x_.get(); }
    std::uint32_t extrasHolders() const { return x_ ? x_->refCount() : 0; }
    void dropExtras() { x_.reset(); }

    // Fields in declaration order (the rare ones above sit in the box).
    Text text;
    Cow<ItemList> items;
    std::int64_t integer = 0;
    Kind kind = Kind::Unspecified;

private:
    ValueExtras& extras() {
        if (!x_) x_ = Ref<ValueExtras>::make();
        else if (!x_.unique()) x_ = Ref<ValueExtras>::make(*x_);
        return *x_;
    }
    static const ValueRef& noRef();
    static const Cow<ByteList>& noBytes();
    static const Cow<NameList>& noNames();
    static const MemberTable& noMembers();

    Ref<ValueExtras> x_;
};
// Kind, integer, text, items and the box pointer; no 80-bit field.
static_assert(sizeof(Value) <= 40 && alignof(Value) <= alignof(std::int64_t), "temporaries stay five words");

// Bookkeeping that belongs to a heap Value, not to its contents: the
// number of scope entries that bind it, whether the cycle collector knows
// it, and the collector's mark. The collector finds the cells by walking
// their pool (values/Heap.h), so a cell carries no links, and it counts
// holders in the reference counts themselves, so a cell carries no count of
// its own for it. One word: the binding count above four flag bits.
class CellBooks {
public:
    CellBooks() = default;
    CellBooks(const CellBooks&) = delete;
    CellBooks& operator=(const CellBooks&) = delete;

    // How many bindings (entries of the stack of bindings or of a Scope)
    // bind this Value to a name. Each counts itself in and out. The count
    // has 28 bits; a binding takes an entry of 32 bytes on the stack of
    // bindings, so no program gets near it.
    std::uint32_t bindingCount() const { return word_ >> kFlagBits; }
    void countBinding();
    void uncountBinding() { word_ -= kOneBinding; }

    // Watching: a list index (exec/ListIndex.h) counts on an element that
    // no name binds and nothing else holds staying as it is, because a
    // script can change a Value in place only through a name bound to it.
    // The first binding of a watched cell ends the watch and is logged
    // (gEndedWatches), so the index compares that element again.
    void watch() { word_ |= kWatched; }

protected:
    ~CellBooks();

private:
    friend class Heap;
    static constexpr std::uint32_t kOnHeap = 1;  // known to the collector
    static constexpr std::uint32_t kLive = 2;    // collector's mark: reachable from outside
    static constexpr std::uint32_t kWatched = 4;
    static constexpr std::uint32_t kRoot = 8;    // collector's mark: held from outside
    static constexpr std::uint32_t kFlagBits = 4;
    static constexpr std::uint32_t kOneBinding = 1u << kFlagBits;
    bool has(std::uint32_t flag) const { return (word_ & flag) != 0; }
    void set(std::uint32_t flag, bool on) { word_ = on ? (word_ | flag) : (word_ & ~flag); }
    std::uint32_t word_ = 0;
};

// The watched cells bound so far: gWatchesEnded counts them, and the last
// kWatchLog of them are kept in order (entry n % kWatchLog). An index that
// has fallen further behind cannot tell which of its elements were bound.
// The log is made with the first index (no cell is watched before), so a
// program that never needs one does not carry it.
inline constexpr std::size_t kWatchLog = 4096;
inline std::uint64_t gWatchesEnded = 0;
inline const CellBooks** gEndedWatches = nullptr;

inline void CellBooks::countBinding() {
    word_ += kOneBinding;
    if (word_ & kWatched) [[unlikely]] {
        word_ &= ~kWatched;
        gEndedWatches[gWatchesEnded++ % kWatchLog] = this;
    }
}

// A heap Value: what a scope entry, a list element or a member refers to.
// 48 bytes: the reference count first (never zero while the cell lives,
// which is how a walk of the pool tells it from a free block), the books,
// then the Value.
class Cell : public RefCounted, public CellBooks {
public:
    static void* operator new(std::size_t size) {
        return size == sizeof(Cell) ? WalkablePool<sizeof(Cell)>::allocate() : ::operator new(size);
    }
    static void operator delete(void* p, std::size_t size) noexcept {
        if (size == sizeof(Cell)) WalkablePool<sizeof(Cell)>::release(p);
        else ::operator delete(p);
    }
    Cell() = default;
    explicit Cell(const Value& v) : value(v) {}
    explicit Cell(Value&& v) : value(std::move(v)) {}
    Value value;
};
static_assert(sizeof(Cell) == 2 * sizeof(std::uint32_t) + sizeof(Value), "a cell is its count, its books and its Value");
static_assert(sizeof(MemberTable::Entry) == 2 * sizeof(void*), "a member is a Symbol and an item");

// Releases a cell whose last reference went away. Kept out of line: the
// release can cascade through a list's items and members, and inlining that
// into every place that drops a reference makes the common case slower.
[[gnu::noinline]] void freeCell(Cell* cell) noexcept;

inline void Item::retain() const {
    if (Cell* c = cellOrNull()) ++c->refs_;
}
inline void Item::release() const {
    if (inWord()) {
        if (holdsText()) releaseText();
        return;
    }
    Cell* c = reinterpret_cast<Cell*>(w_);
    if (c && --c->refs_ == 0) freeCell(c);
}
inline std::uintptr_t Item::encodeText(const Text& t) {
    static_assert(alignof(Text::Buffer) > kTagBits, "a text buffer's address leaves the tag bits free");
    Text::Buffer* b = t.buf_.get();
    if (b) ++b->refs_;
    return reinterpret_cast<std::uintptr_t>(b) | kTextTag;
}
inline Value* Item::get() const {
    Cell* c = cell();
    return c ? &c->value : nullptr;
}
inline bool Item::keepAsIntegerIfAlone() const {
    const Cell* c = cellOrNull();
    return c && c->refs_ == 1 && c->value.kind == Kind::Integer && turnIntoWord();
}
inline std::string_view Item::textInWord() const {
    const Text::Buffer* buffer = textBuffer();
    return buffer ? std::string_view(buffer->bytes) : std::string_view();
}
inline const Value& Item::read(Value& scratch) const {
    if (!inWord()) return reinterpret_cast<Cell*>(w_)->value;
    if (holdsInteger()) {
        scratch.setPlainInteger(integer());
    } else {
        scratch.setPlainInteger(0);
        scratch.kind = Kind::String;
        scratch.text.buf_ = Ref<Text::Buffer>(textBuffer());
    }
    return scratch;
}
inline bool Item::isPlainInteger(const Value& v) {
    return v.kind == Kind::Integer && v.text.empty() && v.items.empty() && !v.extrasBox();
}
inline bool Item::keptInWord(const Value& v) {
    return (isPlainInteger(v) && fitsInWord(v.integer)) || isPlainText(v);
}
inline bool Item::isElementText(const Value& v) {
    return v.kind == Kind::String && v.items.empty() && !v.extrasBox();
}
inline bool Item::isPlainText(const Value& v) {
    return v.kind == Kind::String && v.integer == 0 && v.items.empty() && !v.extrasBox();
}


inline ValueRef::ValueRef(Cell* cell) : c_(cell) { if (c_) ++c_->refs_; }
inline ValueRef::ValueRef(const ValueRef& o) : c_(o.c_) { if (c_) ++c_->refs_; }
inline ValueRef::~ValueRef() { if (c_ && --c_->refs_ == 0) freeCell(c_); }
inline ValueRef& ValueRef::operator=(const ValueRef& o) {
    if (c_ != o.c_) {
        Cell* old = c_;
        c_ = o.c_;
        if (c_) ++c_->refs_;
        if (old && --old->refs_ == 0) freeCell(old);
    }
    return *this;
}
inline ValueRef& ValueRef::operator=(ValueRef&& o) noexcept {
    if (this != &o) {
        Cell* old = c_;
        c_ = o.c_;
        o.c_ = nullptr;
        if (old && --old->refs_ == 0) freeCell(old);
    }
    return *this;
}
inline Value* ValueRef::get() const { return c_ ? &c_->value : nullptr; }
inline void ValueRef::reset() {
    Cell* old = c_;
    c_ = nullptr;
    if (old && --old->refs_ == 0) freeCell(old);
}

// A new heap Value holding a copy of v. Heap Values are known to the cycle
// collector (values/Heap.h); Values made otherwise are temporaries.
ValueRef newValue(const Value& v);
ValueRef newValue(Value&& v);
ValueRef newValue();

}  // namespace vorn
