// The Values that may need the kind trim before the next statement.
//
// Before each statement every Value visible in the run loses the payloads
// that do not belong to its kind. Only a Value that carries such payloads
// and is bound to some name can be affected, so the trim looks only at the
// Values noted here: a Value is noted when a binding of it is made while it
// carries stale payloads, or when its contents change while it is bound.
#pragma once

#include <vector>

#include "values/Symbol.h"
#include "values/Value.h"

namespace vorn {

struct StaleEntry {
    ValueRef value;
    SymbolRef name;  // a name it was bound under when noted (a lookup hint), or null
};

// The noted Values; usually empty.
inline std::vector<StaleEntry> gStaleValues;
inline std::vector<StaleEntry>& staleValues() { return gStaleValues; }

// Notes value if it is bound somewhere and carries stale payloads; name is
// a name it is bound under, or null when none is at hand.
void noteStale(const ValueRef& value, Symbol* name);

}  // namespace vorn
