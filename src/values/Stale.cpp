// The list of bound Values that carry payloads of another kind.
#include "values/Stale.h"

#include "values/Deferred.h"
#include "values/Scope.h"

namespace vorn {

void noteStale(const ValueRef& value, std::string_view name, std::uint64_t hash) {
    if (value && value.cell()->bindingCount() > 0 && value->hasStalePayload()) {
        staleValues().push_back({value, std::string(name), hash});
        noteDeferredWork();
    }
}

void noteStale(const ValueRef& value, std::string_view name) { noteStale(value, name, hashName(name)); }

}  // namespace vorn
