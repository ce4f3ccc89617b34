// The kind trim before every statement, paid only where it has work to do.
//
// Before each statement every Value visible in the run loses the payloads
// that do not belong to its kind. Only Values that were given such payloads
// can be affected, and they can only become visible through a binding or an
// assignment. Those places call noteBinding; the trim before a statement
// visits just the noted Values and trims those that the run can see under
// the noted name. A Value that is not visible keeps its payloads, exactly as
// an untrimmed list element or member does.
#pragma once

#include <string_view>

#include "exec/View.h"
#include "values/Value.h"

namespace vorn {

// Call after name was bound or assigned to value.
void noteBinding(const ValueRef& value, std::string_view name);

// Trims every noted Value that view shows under its noted name.
void trimVisible(const View& view);

}  // namespace vorn
