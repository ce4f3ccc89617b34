// Trial-deletion cycle collection over the heap cells, found by walking their pool.
//
// Nodes are heap cells and the shared boxes they hold (items, rare fields,
// members).
// Each node's count of holders is reduced by the references coming from
// other nodes; a node left with a positive count is held from outside (a
// scope, a run, a temporary). Everything reachable from such nodes lives; the
// rest is garbage, whose references are dropped so the counts reach zero.
#include "values/Heap.h"

#include <cstdint>
#include <type_traits>
#include <vector>

namespace vorn {

CellBooks::~CellBooks() {
    if (has(kOnHeap)) Heap::forget();
}

namespace {

// Cells whose last reference went while another cell was being destroyed.
// Destroying a cell releases its items and members, which may free more
// cells, and so on down a nested structure; freeing each of those at once
// would recurse once per level, and a list nested a million deep would run
// out of stack. Instead the outermost release frees them one after another.
// The waiting cells are chained through themselves: a cell whose count has
// reached zero is read by nothing but its destructor, which ignores its
// integer, so that field holds the link. Releasing a list of a million
// objects then needs no memory of its own, and the thread-local is plain
// memory that needs no destructor (registering one can fail, fatally, when
// memory is short).
struct PendingCells {
    bool releasing;
    Cell* first;
};
thread_local PendingCells tPending{};
static_assert(std::is_trivially_destructible_v<PendingCells>);

}  // namespace

void freeCell(Cell* cell) noexcept {
    // A Value that holds no other Value frees nothing further.
    if (cell->value.items.empty() && !cell->value.extrasBox()) {
        delete cell;
        return;
    }
    PendingCells& pending = tPending;
    if (pending.releasing) {
        cell->value.integer = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(pending.first));
        pending.first = cell;
        return;
    }
    pending.releasing = true;
    delete cell;
    while (Cell* next = pending.first) {
        pending.first = reinterpret_cast<Cell*>(static_cast<std::uintptr_t>(next->value.integer));
        delete next;
    }
    pending.releasing = false;
}

ValueRef newValue(const Value& v) {
    ValueRef ref(new Cell(v));
    Heap::adopt(*ref.cell());
    return ref;
}

ValueRef newValue(Value&& v) {
    ValueRef ref(new Cell(std::move(v)));
    Heap::adopt(*ref.cell());
    return ref;
}

ValueRef newValue() {
    ValueRef ref(new Cell());
    Heap::adopt(*ref.cell());
    return ref;
}

Item Item::of(Value&& v) {
    Item item;
    if (isPlainInteger(v) && fitsInWord(v.integer)) item.w_ = encode(v.integer);
    else if (isElementText(v)) item.w_ = encodeText(v.text);
    else return Item(newValue(std::move(v)));
    return item;
}

Item Item::of(const Value& v) {
    Item item;
    if (isPlainInteger(v) && fitsInWord(v.integer)) item.w_ = encode(v.integer);
    else if (isElementText(v)) item.w_ = encodeText(v.text);
    else return Item(newValue(v));
    return item;
}

void Item::giveCell() const {
    ValueRef ref;
    if (holdsInteger()) {
        ref = newValue(Value::ofInteger(integer()));
    } else {
        Value plain;
        read(plain);
        ref = newValue(std::move(plain));
        // The cell holds the text's bytes now: the word's own count goes.
        releaseText();
    }
    w_ = reinterpret_cast<std::uintptr_t>(ref.c_);
    ref.c_ = nullptr;
}

void Item::releaseText() const {
    Text::Buffer* b = textBuffer();
    if (b && --b->refs_ == 0) delete b;
}

bool Item::passCellTo(const Item& next, const Cell* bound) const {
    Cell* c = cellOrNull();
    if (!c || c != bound || c->refs_ != 2 || c->bindingCount() != 1 || !next.holdsInteger()) return false;
    if (!isPlainInteger(c->value) || !fitsInWord(c->value.integer)) return false;
    w_ = encode(c->value.integer);
    c->value.integer = next.integer();
    next.w_ = reinterpret_cast<std::uintptr_t>(c);
    return true;
}

bool Item::turnIntoWord() const {
    Cell* c = cellOrNull();
    if (!isPlainInteger(c->value) || !fitsInWord(c->value.integer)) return false;
    w_ = encode(c->value.integer);
    delete c;
    return true;
}

namespace {

using CellPool = WalkablePool<sizeof(Cell)>;

// A cell that holds no items and no box of rare fields refers to nothing, so
// it can be no part of a cycle: it is released by its count once whatever
// holds it lets go.
bool mayHoldReferences(const Value& v) { return !v.items.empty() || v.extrasBox(); }

// The cells a Value refers to, one at a time: position i walks its items,
// then the object a method is bound to, then its members. Null at the end.
Cell* nextChild(const Value& v, std::size_t& i) {
    const ItemList& items = v.items.get();
    while (i < items.size())
        if (Cell* c = items[i++].cellOrNull()) return c;
    const ValueExtras* x = v.extrasBox();
    if (!x) return nullptr;
    if (i == items.size()) {
        ++i;
        if (x->boundObject) return x->boundObject.cell();
    }
    while (i - items.size() - 1 < x->members.size())
        if (Cell* c = x->members.begin()[i++ - items.size() - 1].value.cellOrNull()) return c;
    return nullptr;
}

// While the collector runs, a node's count carries this bit as well, so that
// it stays nonzero (the walk of the pool tells live cells by that) when the
// references from other nodes are taken off. A box's count carries it from
// when its first holder is seen until it is put back. No count gets near it:
// every holder takes at least a word.
constexpr std::uint32_t kCounting = 0x80000000u;

}  // namespace

// The collector counts holders in the reference counts themselves: it takes
// one off a node's count for every reference from another node, sees what
// is left (the holders from outside: a scope, a run, a temporary) and puts
// them all back. A box held by several nodes is one node: its children lose
// their references from it once, when its first holder is seen.
std::uint32_t Heap::outside(const RefCounted* counted) { return counted ? counted->refs_ & ~kCounting : 0; }

template <class F>
void Heap::countBox(const RefCounted* box, int adjust, F&& children) {
    if (!box) return;
    const bool first = adjust < 0 ? (box->refs_ & kCounting) == 0 : (box->refs_ & kCounting) != 0;
    if (first) {
        box->refs_ ^= kCounting;
        children();
    }
    box->refs_ += static_cast<std::uint32_t>(adjust);
}

void Heap::countChildren(const Value& v, int adjust) {
    auto child = [adjust](Cell* c) {
        if (c->has(CellBooks::kOnHeap) && !c->has(CellBooks::kLive)) c->refs_ += static_cast<std::uint32_t>(adjust);
    };
    countBox(v.items.boxId(), adjust, [&] {
        for (const Item& item : v.items.get())
            if (Cell* c = item.cellOrNull()) child(c);
    });
    const ValueExtras* x = v.extrasBox();
    countBox(x, adjust, [&] {
        if (x->boundObject) child(x->boundObject.cell());
        countBox(x->members.boxId(), adjust, [&] {
            for (const auto& member : x->members)
                if (Cell* c = member.value.cellOrNull()) child(c);
        });
    });
}

// Every cell the collector knows, in pool order. f must not release cells.
template <class F>
void Heap::forEachCell(F&& f) {
    CellPool::forEachBlock([&](void* block) {
        // A free block's first word is zero; a live cell's count is not.
        if (!CellPool::firstWordSet(block)) return;
        Cell* c = static_cast<Cell*>(block);
        if (c->has(CellBooks::kOnHeap)) f(c);
    });
}

// The collector keeps nothing per cell beyond the cell's own count and
// flags: what it needs while it runs grows with the depth of nesting and
// the garbage it finds, not with the number of Values.
std::size_t Heap::collectCycles() {
    // Nodes: the cells that may hold references, and the shared boxes they
    // hold (items, rare fields, members). Every other cell is marked live:
    // there is nothing to decide about it.
    auto isNode = [](const Cell* c) { return !c->has(CellBooks::kLive); };
    forEachCell([](Cell* c) {
        const bool node = mayHoldReferences(c->value);
        c->set(CellBooks::kLive, !node);
        if (node) c->refs_ |= kCounting;
    });
    forEachCell([&](Cell* c) {
        if (isNode(c)) countChildren(c->value, -1);
    });
    forEachCell([&](Cell* c) {
        if (!isNode(c)) return;
        const Value& v = c->value;
        const ValueExtras* x = v.extrasBox();
        if (outside(c) > 0 || outside(v.items.boxId()) > 0 || outside(x) > 0 || (x && outside(x->members.boxId()) > 0))
            c->set(CellBooks::kRoot, true);
    });
    forEachCell([&](Cell* c) {
        if (isNode(c)) countChildren(c->value, +1);
    });
    // Every count is whole again before anything is allocated: a marking
    // stopped for want of memory leaves only marks, which the next
    // collection sets afresh.
    forEachCell([](Cell* c) { c->refs_ &= ~kCounting; });

    // Everything reachable from a node held from outside lives. The stack
    // holds one entry per level of nesting: a Value and how far its
    // children have been walked.
    struct Walk {
        const Value* value;
        std::size_t next;
    };
    std::vector<Walk> stack;
    forEachCell([&](Cell* c) {
        if (!c->has(CellBooks::kRoot)) return;
        c->set(CellBooks::kRoot, false);
        if (c->has(CellBooks::kLive)) return;
        c->set(CellBooks::kLive, true);
        stack.push_back({&c->value, 0});
        while (!stack.empty()) {
            Cell* child = nextChild(*stack.back().value, stack.back().next);
            if (!child) {
                stack.pop_back();
                continue;
            }
            // A child that is no heap cell is a temporary's and lives anyway.
            if (!child->has(CellBooks::kOnHeap) || child->has(CellBooks::kLive)) continue;
            child->set(CellBooks::kLive, true);
            if (mayHoldReferences(child->value)) stack.push_back({&child->value, 0});
        }
    });

    // Break the garbage's references while holding each garbage cell, so
    // none is released before all have let go of one another.
    std::vector<ValueRef> garbage;
    forEachCell([&](Cell* c) {
        if (!c->has(CellBooks::kLive)) garbage.emplace_back(c);
    });
    for (const ValueRef& v : garbage) {
        v->items.clear();
        v->dropExtras();
    }
    const std::size_t released = garbage.size();
    garbage.clear();
    return released;
}

void Heap::collectAndReschedule() {
    collectCycles();
    nextCollection_ = count_ * 2 + 20000;
}

}  // namespace vorn
