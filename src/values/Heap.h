// The heap of script-reachable Values and its cycle collector.
//
// Values are reference counted, which releases almost everything as soon as
// nothing refers to it. Cycles are the exception: an object's methods refer
// back to the object, and a list can be made to contain itself. The collector
// finds Values that only other collectable Values refer to (every reference
// from a scope, a run, a temporary or a cache counts as outside) and breaks
// their references, so such islands are released too. The collector finds
// every cell by walking the cells' pool; a cell carries no list links, and
// the collector counts holders in the reference counts themselves, so what
// it needs while it runs grows with the depth of nesting and the garbage it
// finds, not with the Values that live. A list element kept as an integer
// in its item word is no cell and refers to nothing, so the collector
// never sees it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "values/Deferred.h"
#include "values/Value.h"

namespace vorn {

class Heap {
public:
    // A new cell becomes known to the collector; its destruction forgets it.
    static void adopt(Cell& cell) {
        cell.word_ |= CellBooks::kOnHeap;
        if (++count_ > nextCollection_) noteDeferredWork();
    }
    static void forget() { --count_; }

    static std::size_t liveCount() { return count_; }

    // Releases every Value that is reachable only from other heap Values.
    // Safe wherever no code holds a plain pointer to a Value without also
    // holding a counted reference to it (between statements).
    static std::size_t collectCycles();

    // Collects when the heap has grown enough since the last collection, so
    // the cost stays proportional to the allocations made. A heap that grows
    // past that point notes deferred work (values/Deferred.h).
    static void maybeCollect() {
        if (count_ > nextCollection_) collectAndReschedule();
    }

private:
    static void collectAndReschedule();
    static std::uint32_t outside(const RefCounted* box);
    template <class F>
    static void countBox(const RefCounted* box, int adjust, F&& children);
    static void countChildren(const Value& v, int adjust);
    template <class F>
    static void forEachCell(F&& f);
    static inline std::size_t count_ = 0;
    static inline std::size_t nextCollection_ = 20000;
};

}  // namespace vorn
