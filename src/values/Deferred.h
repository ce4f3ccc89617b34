// How the values leave work for the next statement boundary.
//
// Two jobs of the values wait for a statement boundary: the kind trim of the
// noted Values (values/Stale.h) and the cycle collection once the heap has
// grown enough (values/Heap.h). Both are rare, so rather than have the
// executor look at the stale list and the heap's counts before every
// statement, the two set the boundary word that it reads anyway
// (platform::gBoundaryWork) when they have work.
#pragma once

#include "platform/Platform.h"

namespace vorn {

inline void noteDeferredWork() { platform::gBoundaryWork = 1; }

}  // namespace vorn
