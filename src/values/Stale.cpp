// The list of bound Values that carry payloads of another kind.
#include "values/Stale.h"

#include "values/Deferred.h"

namespace vorn {

void noteStale(const ValueRef& value, Symbol* name) {
    if (value && value.cell()->bindingCount() > 0 && value->hasStalePayload()) {
        staleValues().push_back({value, SymbolRef(name)});
        noteDeferredWork();
    }
}

}  // namespace vorn
