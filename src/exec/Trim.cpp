// The kind trim over the noted Values.
#include "exec/Trim.h"

#include "values/Deferred.h"
#include "values/Heap.h"

namespace vorn {

void trimNoted(const View& view) {
    auto& list = staleValues();
    if (list.empty()) return;

    bool unresolved = false;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        StaleEntry& entry = list[i];
        Value& v = *entry.value;
        // Nothing to trim any more, or bound nowhere: a new binding notes it again.
        if (!v.hasStalePayload() || entry.value.cell()->bindingCount() == 0) continue;
        if (entry.name && view.lookupCell(entry.name.get()) == entry.value.cell()) {
            v.trimToKind();
            continue;
        }
        unresolved = true;
        if (kept != i) list[kept] = std::move(entry);
        ++kept;
    }
    list.resize(kept);
    if (!unresolved) return;

    // Some noted Value is bound but not under its noted name here: look at
    // every visible Value.
    view.forEachVisible([](const SymbolRef&, const ValueRef& value) {
        if (value->hasStalePayload()) value->trimToKind();
    });
    std::size_t still = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].value->hasStalePayload()) continue;
        if (still != i) list[still] = std::move(list[i]);
        ++still;
    }
    list.resize(still);
}

void doDeferredWork(const View& view) {
    if (!staleValues().empty()) {
        trimNoted(view);
        // Noted Values the trim could not reach yet stay for the next statement.
        if (!staleValues().empty()) noteDeferredWork();
    }
    Heap::maybeCollect();
}

}  // namespace vorn
