// The text index beside long lists that `where` searches.
#include "exec/ListIndex.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "exec/Interpreter.h"
#include "expr/Operators.h"
#include "values/Convert.h"

namespace vorn {

namespace {

constexpr std::size_t kKeptIndexes = 16;
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// FNV-1a, then mixed (the finaliser of MurmurHash3) so that the low bits
// that pick a slot depend on every byte: the texts looked up are mostly
// characters and words, which it hashes in a few instructions a byte
// without a call, and keys that differ only near their end (w1, w2, ...)
// still spread over the table.
std::uint64_t hashText(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ull;
    return hash ^ (hash >> 33);
}

// An element the index may rely on: a text held by the list alone. The
// index watches cells, so a text kept in its word is given its cell.
Cell* watchable(const Item& item) {
    Cell* cell = item.holdsText() ? item.cell() : item.cellOrNull();
    if (!cell || cell->value.kind != Kind::String || cell->refCount() != 1 || cell->bindingCount() != 0)
        return nullptr;
    return cell;
}

// Whether an element equals wanted, compared as `where` compares (the
// walk reads texts and integers in their words itself); out of line, so
// that its callers keep no Value of their own.
[[gnu::noinline]] bool otherEquals(const Item& element, const Value& wanted) {
    Value scratch;
    return valuesEqual(element.read(scratch), wanted);
}

// The plain walk: compares every element from the first, as `where` is
// defined. passed counts the elements compared.
std::int32_t walk(const ItemList& items, const Value& wanted, std::size_t& passed) {
    std::size_t count = 0;
    // Two texts are equal exactly when their bytes are, and two integers
    // when their words' integers are.
    if (wanted.kind == Kind::String) {
        const std::string_view wantedBytes = wanted.text.view();
        for (const Item& element : items) {
            const bool equal = element.holdsText() ? sameBytes(element.textInWord(), wantedBytes)
                                                   : otherEquals(element, wanted);
            if (equal) break;
            ++count;
        }
    } else {
        const bool wantedInteger = wanted.kind == Kind::Integer;
        for (const Item& element : items) {
            const bool equal = wantedInteger && element.holdsInteger() ? element.integer() == wanted.integer
                                                                       : otherEquals(element, wanted);
            if (equal) break;
            ++count;
        }
    }
    const bool found = count < items.size();
    passed += found ? count + 1 : items.size();
    return found ? static_cast<std::int32_t>(count) : -1;
}

// Open addressing with linear probing over a power-of-two table; a slot
// whose `count` is 0 is empty.
template <class Slot, class Home>
void eraseSlot(std::vector<Slot>& slots, std::size_t at, Home home) {
    const std::size_t mask = slots.size() - 1;
    slots[at] = Slot{};
    // The slots after the emptied one move back where their search would
    // otherwise stop early.
    for (std::size_t next = (at + 1) & mask; slots[next].count != 0; next = (next + 1) & mask) {
        const std::size_t start = home(slots[next]) & mask;
        // Stays when its home lies cyclically in (at, next].
        const bool stays = at <= next ? (at < start && start <= next) : (at < start || start <= next);
        if (stays) continue;
        slots[at] = std::move(slots[next]);
        slots[next] = Slot{};
        at = next;
    }
}

std::size_t capacityFor(std::size_t entries) {
    std::size_t capacity = 16;
    while (capacity < entries * 2 + 2) capacity *= 2;
    return capacity;
}

template <class Slot, class Home>
void growSlots(std::vector<Slot>& slots, std::size_t used, Home home) {
    if ((used + 1) * 2 <= slots.size()) return;
    std::vector<Slot> old(capacityFor(used + 1) * 2);
    old.swap(slots);
    const std::size_t mask = slots.size() - 1;
    for (Slot& slot : old) {
        if (slot.count == 0) continue;
        std::size_t at = home(slot) & mask;
        while (slots[at].count != 0) at = (at + 1) & mask;
        slots[at] = std::move(slot);
    }
}

std::size_t homeOfCell(const CellBooks* cell) {
    const auto bits = reinterpret_cast<std::uintptr_t>(cell);
    return static_cast<std::size_t>((bits >> 4) * 0x9e3779b97f4a7c15ull >> 20);
}

}  // namespace

// Positions are kept as the element's original number: its position when
// the index was built, or the list's length when it was appended. Removed
// elements are counted in a Fenwick tree over the original numbers, so the
// position now is the original less the removed ones before it, and a
// removal costs a logarithm instead of renumbering every later element.
//
// Each relied-on element is known by its cell, with a copy of its text as
// it was (the copy shares the bytes, so a change to the element's text
// detaches it from them). An element whose watch ended becomes a suspect:
// compared like the others until it is bound by no name and held by the
// list alone again, when its text is checked against the copy.
class ListIndex {
public:
    const void* box = nullptr;
    std::uint64_t stamp = 0;
    std::uint64_t watches = 0;  // the watch log read up to here
    std::uint64_t lastUse = 0;
    // Elements walked by searches of this box at this stamp (no index yet).
    std::size_t walked = 0;
    bool built = false;
    // The list had too many others to be worth an index at this stamp.
    bool unfit = false;

    bool current(const Cow<ItemList>& items) const { return box == items.boxId() && stamp == items.stamp(); }

    // Builds the index of items; false when too few elements are texts it
    // can rely on.
    bool build(const Cow<ItemList>& items) {
        clear();
        static const std::unique_ptr<const CellBooks*[]> log(new const CellBooks*[kWatchLog]());
        gEndedWatches = log.get();
        const ItemList& list = items.get();
        std::size_t others = 0;
        for (const Item& item : list)
            if (!watchable(item)) ++others;
        if (others > list.size() / 4) return false;
        texts_.assign(capacityFor(list.size() - others), TextSlot{});
        cells_.assign(capacityFor(list.size() - others), CellSlot{});
        for (const Item& item : list) append(item);
        built = true;
        return true;
    }

    void clear() {
        built = false;
        originals_ = 0;
        removed_ = 0;
        removedTree_.clear();
        texts_.clear();
        textsUsed_ = 0;
        cells_.clear();
        cellsUsed_ = 0;
        others_.clear();
        suspects_.clear();
        watches = gWatchesEnded;
    }

    // Reads the watch log: elements bound since become suspects. False when
    // the index can no longer be trusted.
    bool catchUp(const ItemList& list) {
        // The common case: nothing was bound since, and nothing is suspect.
        if (watches == gWatchesEnded && suspects_.empty()) return true;
        return catchUpLog(list);
    }
    [[gnu::noinline]] bool catchUpLog(const ItemList& list) {
        if (gWatchesEnded - watches > kWatchLog) return false;
        for (; watches != gWatchesEnded; ++watches) {
            const CellSlot* slot = cellSlot(gEndedWatches[watches % kWatchLog]);
            if (!slot) continue;
            suspects_.insert(std::upper_bound(suspects_.begin(), suspects_.end(), slot->original), slot->original);
        }
        // Suspects no name binds any more are checked and trusted again.
        std::size_t kept = 0;
        for (const std::uint32_t original : suspects_) {
            Cell* cell = list[positionOf(original)].cellOrNull();
            const CellSlot* slot = cell ? cellSlot(cell) : nullptr;
            if (!slot) return false;
            if (cell->bindingCount() != 0 || cell->refCount() != 1) {
                suspects_[kept++] = original;
                continue;
            }
            if (cell->value.kind != Kind::String || cell->value.text.view() != slot->text.view()) return false;
            cell->watch();
        }
        suspects_.resize(kept);
        return suspects_.size() <= kMostSuspects;
    }

    void append(const Item& item) {
        const std::uint32_t original = originals_++;
        growTree();
        Cell* cell = watchable(item);
        if (!cell) {
            others_.push_back(original);
            return;
        }
        cell->watch();
        const Text& text = cell->value.text;
        growSlots(cells_, cellsUsed_, [](const CellSlot& s) { return homeOfCell(s.cell); });
        std::size_t at = homeOfCell(cell) & (cells_.size() - 1);
        while (cells_[at].count != 0) at = (at + 1) & (cells_.size() - 1);
        cells_[at] = CellSlot{cell, text, original, 1};
        ++cellsUsed_;

        growSlots(texts_, textsUsed_, [](const TextSlot& s) { return s.hash; });
        const std::uint64_t hash = hashText(text.view());
        // A text already there keeps its first position; the count says how
        // many relied-on elements hold it.
        at = hash & (texts_.size() - 1);
        while (texts_[at].count != 0) {
            if (texts_[at].hash == hash && texts_[at].text.view() == text.view()) {
                ++texts_[at].count;
                return;
            }
            at = (at + 1) & (texts_.size() - 1);
        }
        texts_[at] = TextSlot{hash, text, original, 1};
        ++textsUsed_;
    }

    // The answer of `where` for a wanted text; sets stale when the list
    // does not hold what the index says (then nothing was compared).
    std::int32_t find(const ItemList& list, const Value& wanted, bool& stale) const {
        const std::string_view text = wanted.text.view();
        const std::size_t at = textSlot(text);
        const bool known = at != kNone;
        const std::size_t hit = known ? positionOf(texts_[at].original) : list.size();
        if (known) {
            const Cell* cell = hit < list.size() ? list[hit].cellOrNull() : nullptr;
            if (!cell || cell->value.kind != Kind::String || !sameBytes(cell->value.text.view(), text)) {
                stale = true;
                return -1;
            }
        }
        if (others_.empty() && suspects_.empty()) return known ? static_cast<std::int32_t>(hit) : -1;
        const std::int32_t before = otherBefore(list, wanted, hit);
        if (before != -1) return before;
        return known ? static_cast<std::int32_t>(hit) : -1;
    }

    // The element at position is about to be removed from list; false
    // when the index cannot follow (it must then be dropped).
    bool remove(const ItemList& list, std::size_t position) {
        const std::uint32_t original = originalAt(position);
        const auto other = std::lower_bound(others_.begin(), others_.end(), original);
        if (other != others_.end() && *other == original) {
            others_.erase(other);
        } else {
            const auto suspect = std::lower_bound(suspects_.begin(), suspects_.end(), original);
            if (suspect != suspects_.end() && *suspect == original) suspects_.erase(suspect);
            const Cell* cell = list[position].cellOrNull();
            const std::size_t cellAt = cell ? cellSlotAt(cell) : kNone;
            if (cellAt == kNone) return false;
            // The text the index holds it under, which may not be its text now.
            const Text text = cells_[cellAt].text;
            eraseSlot(cells_, cellAt, [](const CellSlot& s) { return homeOfCell(s.cell); });
            --cellsUsed_;
            const std::size_t at = textSlot(text.view());
            if (at == kNone) return false;
            if (texts_[at].original == original) {
                // The first of several: where the next one is is not known.
                if (texts_[at].count > 1) return false;
                eraseSlot(texts_, at, [](const TextSlot& s) { return s.hash; });
                --textsUsed_;
            } else {
                --texts_[at].count;
            }
        }
        markRemoved(original);
        // Mostly gaps: a new index is cheaper than the tree.
        return removed_ * 2 <= originals_;
    }

private:
    static constexpr std::size_t kMostSuspects = 64;

    // The first other or suspect before position hit that equals wanted, or
    // -1: they are compared in order, as the walk compares them (a
    // comparison may raise an error). Apart from find, which most lists of
    // texts leave without a call.
    [[gnu::noinline]] std::int32_t otherBefore(const ItemList& list, const Value& wanted, std::size_t hit) const {
        auto other = others_.begin();
        auto suspect = suspects_.begin();
        while (other != others_.end() || suspect != suspects_.end()) {
            const bool takeOther = suspect == suspects_.end() || (other != others_.end() && *other < *suspect);
            const std::uint32_t original = takeOther ? *other++ : *suspect++;
            const std::size_t position = positionOf(original);
            if (position >= hit) break;
            if (otherEquals(list[position], wanted)) return static_cast<std::int32_t>(position);
        }
        return -1;
    }

    struct TextSlot {
        std::uint64_t hash = 0;
        Text text;
        std::uint32_t original = 0;
        std::uint32_t count = 0;  // 0: an empty slot; else the elements holding the text
    };
    struct CellSlot {
        const CellBooks* cell = nullptr;
        Text text;  // the element's text when it was relied on
        std::uint32_t original = 0;
        std::uint32_t count = 0;  // 0: an empty slot
    };

    std::size_t textSlot(std::string_view text) const {
        if (texts_.empty()) return kNone;
        const std::uint64_t hash = hashText(text);
        const std::size_t mask = texts_.size() - 1;
        for (std::size_t at = hash & mask; texts_[at].count != 0; at = (at + 1) & mask)
            if (texts_[at].hash == hash && sameBytes(texts_[at].text.view(), text)) return at;
        return kNone;
    }
    std::size_t cellSlotAt(const CellBooks* cell) const {
        if (cells_.empty()) return kNone;
        const std::size_t mask = cells_.size() - 1;
        for (std::size_t at = homeOfCell(cell) & mask; cells_[at].count != 0; at = (at + 1) & mask)
            if (cells_[at].cell == cell) return at;
        return kNone;
    }
    const CellSlot* cellSlot(const CellBooks* cell) const {
        const std::size_t at = cellSlotAt(cell);
        return at == kNone ? nullptr : &cells_[at];
    }

    // The Fenwick tree (1-based) of removed originals, empty until the
    // first removal.
    void growTree() {
        if (removed_ == 0) return;
        const std::size_t i = removedTree_.size();  // the new node's number
        std::uint32_t value = 0;
        // Node i covers (i - lowbit(i), i]: the sum of the nodes below it.
        for (std::size_t step = 1; step < (i & (~i + 1)); step *= 2) value += removedTree_[i - step];
        removedTree_.push_back(value);
    }
    void markRemoved(std::uint32_t original) {
        if (removed_ == 0) removedTree_.assign(std::size_t(originals_) + 1, 0);
        ++removed_;
        for (std::size_t i = std::size_t(original) + 1; i < removedTree_.size(); i += i & (~i + 1)) ++removedTree_[i];
    }
    // Removed originals below original.
    std::uint32_t removedBefore(std::uint32_t original) const {
        std::uint32_t sum = 0;
        for (std::size_t i = original; i > 0; i -= i & (~i + 1)) sum += removedTree_[i];
        return sum;
    }
    std::size_t positionOf(std::uint32_t original) const {
        return removed_ == 0 ? original : original - removedBefore(original);
    }
    // The original of the element at position (which is not removed).
    std::uint32_t originalAt(std::size_t position) const {
        if (removed_ == 0) return static_cast<std::uint32_t>(position);
        // The largest p whose first p originals hold at most position live ones.
        std::size_t p = 0;
        std::size_t removedBelow = 0;
        std::size_t step = 1;
        while (step * 2 < removedTree_.size()) step *= 2;
        for (; step > 0; step /= 2) {
            const std::size_t next = p + step;
            if (next < removedTree_.size() && next - (removedBelow + removedTree_[next]) <= position) {
                p = next;
                removedBelow += removedTree_[next];
            }
        }
        return static_cast<std::uint32_t>(p);
    }

    std::uint32_t originals_ = 0;
    std::uint32_t removed_ = 0;
    std::vector<std::uint32_t> removedTree_;  // [0] unused
    std::vector<TextSlot> texts_;
    std::size_t textsUsed_ = 0;
    std::vector<CellSlot> cells_;
    std::size_t cellsUsed_ = 0;
    std::vector<std::uint32_t> others_;    // ascending
    std::vector<std::uint32_t> suspects_;  // ascending
};

// The indexes an interpreter keeps, the least recently used one first to go.
struct ListIndexes {
    std::vector<std::unique_ptr<ListIndex>> kept;
    std::uint64_t uses = 0;

    ListIndex* of(const void* box) {
        for (auto& index : kept)
            if (index->box == box) return index.get();
        return nullptr;
    }
    ListIndex& fresh(const Cow<ItemList>& items) {
        ListIndex* slot = nullptr;
        if (kept.size() < kKeptIndexes) {
            kept.push_back(std::make_unique<ListIndex>());
            slot = kept.back().get();
        } else {
            slot = std::min_element(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
                       return a->lastUse < b->lastUse;
                   })->get();
            *slot = ListIndex();
        }
        slot->box = items.boxId();
        restart(*slot, items);
        return *slot;
    }
    static void restart(ListIndex& index, const Cow<ItemList>& items) {
        index.clear();
        index.stamp = items.stamp();
        index.walked = 0;
        index.unfit = false;
    }
};


void DropListIndexes::operator()(ListIndexes* indexes) const { delete indexes; }
std::unique_ptr<ListIndexes, DropListIndexes> makeListIndexes() {
    return std::unique_ptr<ListIndexes, DropListIndexes>(new ListIndexes);
}

namespace {

// A search that the index of the list did not answer: walks the list and
// learns from it, building an index once searches have walked as many
// elements as the list holds.
[[gnu::noinline]] std::int32_t walkAndLearn(Interpreter& interpreter, const Cow<ItemList>& items, const Value& wanted,
                                            ListIndex* index) {
    // Hold the item box: a comparison cannot change the list, but be safe
    // (while it is shared, a change to the list copies the box first).
    const Cow<ItemList> held = items;
    const ItemList& list = held.get();
    ListIndexes& all = interpreter.listIndexes();
    std::size_t passed = 0;
    const std::int32_t found = walk(list, wanted, passed);
    if (!index) {
        index = &all.fresh(items);
        interpreter.noteListIndexKept();
        index->lastUse = ++all.uses;
    } else if (!index->current(items)) {
        ListIndexes::restart(*index, items);
    }
    index->walked += passed;
    if (!index->unfit && index->walked >= list.size()) index->unfit = !index->build(items);
    return found;
}

}  // namespace

std::int32_t findInItems(Interpreter& interpreter, const Cow<ItemList>& items, const Value& wanted) {
    const ItemList& list = items.get();
    if (wanted.kind != Kind::String || list.size() < kMinIndexed ||
        list.size() > std::size_t(std::numeric_limits<std::int32_t>::max())) {
        const Cow<ItemList> held = items;  // as walkAndLearn holds it
        std::size_t passed = 0;
        return walk(held.get(), wanted, passed);
    }

    ListIndexes& all = interpreter.listIndexes();
    ListIndex* index = all.of(items.boxId());
    if (index) {
        index->lastUse = ++all.uses;
        if (index->built && index->current(items)) {
            bool stale = !index->catchUp(list);
            if (!stale) {
                const std::int32_t found = index->find(list, wanted, stale);
                if (!stale) return found;
            }
            ListIndexes::restart(*index, items);
        }
    }
    return walkAndLearn(interpreter, items, wanted, index);
}

void ListChange::follow(Interpreter& interpreter, const Cow<ItemList>& items) {
    // A shared box is copied for the change, and the index stays with the
    // unchanged original.
    if (items.holders() != 1) return;
    ListIndex* index = interpreter.listIndexes().of(items.boxId());
    if (!index || !index->built || !index->current(items)) return;
    if (index->catchUp(items.get())) index_ = index;
    else ListIndexes::restart(*index, items);
}

void ListChange::appendedIndexed(const Cow<ItemList>& items) {
    index_->stamp = items.stamp();
    index_->append(items.get().back());
}

void ListChange::removing(const Cow<ItemList>& items, std::size_t position) {
    if (index_ && !index_->remove(items.get(), position)) {
        ListIndexes::restart(*index_, items);
        index_ = nullptr;
    }
}

void ListChange::removed(const Cow<ItemList>& items) {
    if (index_) index_->stamp = items.stamp();
}

}  // namespace vorn
