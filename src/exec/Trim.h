// The kind trim before every statement, paid only where it has work to do.
//
// Only bound Values that carry payloads of another kind can be affected, and
// those are on the list of values/Stale.h. The trim first tries each noted
// Value under the name it was noted with; only when a noted Value is not
// found that way does it walk the run's whole view.
#pragma once

#include "exec/View.h"
#include "values/Stale.h"
#include "values/Value.h"

namespace vorn {

// Call after the contents of a possibly bound Value changed (assignment,
// add), with a name it is bound under, or null when none is at hand.
inline void noteChange(const ValueRef& value, Symbol* name) {
    if (value->hasStalePayload()) noteStale(value, name);
}

// Trims every Value that view shows and that carries stale payloads.
void trimNoted(const View& view);

// The work the values left for a statement boundary (values/Deferred.h):
// the kind trim of the noted Values, then the cycle collection if it is due.
void doDeferredWork(const View& view);

}  // namespace vorn
