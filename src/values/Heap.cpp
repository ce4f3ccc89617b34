// Trial-deletion cycle collection over the heap cells, found by walking their pool.
//
// Nodes are heap cells and the shared boxes they hold (items, rare fields,
// members).
// Each node's count of holders is reduced by the references coming from
// other nodes; a node left with a positive count is held from outside (a
// scope, a run, a temporary). Everything reachable from such nodes lives; the
// rest is garbage, whose references are dropped so the counts reach zero.
#include "values/Heap.h"

#include <cstdlib>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace vorn {

CellBooks::~CellBooks() {
    if (onHeap_) Heap::forget();
}

namespace {

// Cells whose last reference went while another cell was being destroyed.
// Destroying a cell releases its items and members, which may free more
// cells, and so on down a nested structure; freeing each of those at once
// would recurse once per level, and a list nested a million deep would run
// out of stack. Instead the outermost release frees them one after another.
// Plain memory, so that the thread-local needs no destructor (registering
// one can fail, fatally, when memory is short): a few entries in place, more
// on the heap only while a release needs them.
struct PendingCells {
    static constexpr std::size_t kInPlace = 64;
    bool releasing;
    std::size_t count;
    Cell* inPlace[kInPlace];
    Cell** more;  // entries from kInPlace on
    std::size_t moreCapacity;

    Cell*& at(std::size_t i) { return i < kInPlace ? inPlace[i] : more[i - kInPlace]; }
};
thread_local PendingCells tPending{};
static_assert(std::is_trivially_destructible_v<PendingCells>);

bool notePending(PendingCells& pending, Cell* cell) noexcept {
    if (pending.count >= PendingCells::kInPlace && pending.count - PendingCells::kInPlace == pending.moreCapacity) {
        const std::size_t grown = pending.moreCapacity == 0 ? 256 : pending.moreCapacity * 2;
        void* grownList = std::realloc(pending.more, grown * sizeof(Cell*));
        if (grownList == nullptr) return false;
        pending.more = static_cast<Cell**>(grownList);
        pending.moreCapacity = grown;
    }
    pending.at(pending.count++) = cell;
    return true;
}

}  // namespace

void freeCell(Cell* cell) noexcept {
    // A Value that holds no other Value frees nothing further.
    if (cell->value.items.empty() && !cell->value.extrasBox()) {
        delete cell;
        return;
    }
    PendingCells& pending = tPending;
    if (pending.releasing) {
        // No room to note it: it is freed here, one level deeper.
        if (!notePending(pending, cell)) delete cell;
        return;
    }
    pending.releasing = true;
    delete cell;
    while (pending.count != 0) {
        Cell* next = pending.at(--pending.count);
        delete next;
    }
    pending.releasing = false;
    if (pending.more != nullptr) {
        std::free(pending.more);
        pending.more = nullptr;
        pending.moreCapacity = 0;
    }
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

template <class F>
void forEachChild(const Value& v, F&& f) {
    for (const Item& item : v.items.get())
        if (Cell* c = item.cellOrNull()) f(c);
    if (const ValueExtras* x = v.extrasBox()) {
        for (const auto& member : x->members)
            if (Cell* c = member.value.cellOrNull()) f(c);
        if (x->boundObject) f(x->boundObject.cell());
    }
}

}  // namespace

std::size_t Heap::collectCycles() {
    // Nodes: the cells that may hold references, and the shared boxes they
    // hold (items, rare fields, members). A box's count of holders, like a
    // cell's, is reduced by the references from other nodes.
    std::vector<Cell*> cells;
    cells.reserve(count_);
    std::unordered_map<const void*, std::int64_t> boxOutside;
    CellPool::forEachBlock([&](void* block) {
        // A free block's first word is zero; a live cell's count is not.
        if (!CellPool::firstWordSet(block)) return;
        Cell* c = static_cast<Cell*>(block);
        if (!c->onHeap_) return;
        const Value& v = c->value;
        if (!mayHoldReferences(v)) {
            c->gcLive_ = true;  // no node: nothing to decide
            return;
        }
        cells.push_back(c);
        c->gcOutside_ = c->refCount();
        c->gcLive_ = false;
        if (v.items.boxId()) boxOutside.emplace(v.items.boxId(), v.items.holders());
        if (const ValueExtras* x = v.extrasBox()) {
            boxOutside.emplace(x, x->refCount());
            if (x->members.boxId()) boxOutside.emplace(x->members.boxId(), x->members.holders());
        }
    });

    // Subtract the references that come from inside the graph. A box shared
    // by several holders is one node: its children are counted once.
    auto drop = [](Cell* child) {
        if (child->onHeap_ && !child->gcLive_) --child->gcOutside_;
    };
    for (Cell* c : cells) {
        const Value& v = c->value;
        if (const void* box = v.items.boxId()) {
            std::int64_t& outside = boxOutside[box];
            if (outside-- == v.items.holders())
                for (const Item& item : v.items.get())
                    if (Cell* child = item.cellOrNull()) drop(child);
        }
        if (const ValueExtras* x = v.extrasBox()) {
            std::int64_t& outside = boxOutside[x];
            if (outside-- == x->refCount()) {
                if (x->boundObject) drop(x->boundObject.cell());
                if (const void* members = x->members.boxId()) {
                    std::int64_t& held = boxOutside[members];
                    if (held-- == x->members.holders())
                        for (const auto& member : x->members)
                            if (Cell* child = member.value.cellOrNull()) drop(child);
                }
            }
        }
    }

    // Everything reachable from a node held from outside lives.
    std::vector<Cell*> stack;
    auto markLive = [&](Cell* c) {
        if (!c->gcLive_) {
            c->gcLive_ = true;
            stack.push_back(c);
        }
    };
    auto heldOutside = [&](const void* box) { return box && boxOutside[box] > 0; };
    for (Cell* c : cells) {
        const Value& v = c->value;
        const ValueExtras* x = v.extrasBox();
        if (c->gcOutside_ > 0 || heldOutside(v.items.boxId()) || heldOutside(x) ||
            (x && heldOutside(x->members.boxId())))
            markLive(c);
    }
    while (!stack.empty()) {
        Cell* c = stack.back();
        stack.pop_back();
        forEachChild(c->value, [&](Cell* child) {
            // A child that is no heap cell is a temporary's and lives anyway.
            if (child->onHeap_) markLive(child);
        });
    }

    // Break the garbage's references while holding each garbage cell, so
    // none is released before all have let go of one another.
    std::vector<ValueRef> garbage;
    for (Cell* c : cells)
        if (!c->gcLive_) garbage.emplace_back(c);
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
