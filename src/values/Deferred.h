// The one word that says the values left work for the next statement.
//
// Two jobs of the values wait for a statement boundary: the kind trim of the
// noted Values (values/Stale.h) and the cycle collection once the heap has
// grown enough (values/Heap.h). Both are rare, so rather than look at the
// stale list and the heap's counts before every statement, the executor
// reads this word, which the two set when they have work. The word may stay
// set after the work is done (the executor then looks once and finds
// nothing), but it is never clear while work waits. Process-wide, like the
// list and the heap it stands for.
#pragma once

namespace vorn {

inline bool gValuesDeferredWork = false;

}  // namespace vorn
