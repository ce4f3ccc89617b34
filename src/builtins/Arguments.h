// Shared argument access for builtins.
//
// A missing required argument reads as a default Value, so `$print` prints
// an empty line; optional arguments are tested for without creating an entry.
#pragma once

#include <string>

#include "values/Convert.h"
#include "values/Scope.h"
#include "values/Value.h"

namespace vorn::builtins {

// The name of positional argument i: "arg0", "arg1", ...
const std::string& argumentName(int index);

// A copy of argument i, or a default Value when the call has none.
Value argument(const Scope* scope, int index);
// Whether the scope has an entry for argument i.
bool hasArgument(const Scope* scope, int index);
// The Value the scope's argument entry refers to itself (not a copy), or null.
ValueRef argumentRef(const Scope* scope, int index);

// The text form of argument i.
inline std::string textArgument(const Scope* scope, int index) { return textOf(argument(scope, index)).str(); }

}  // namespace vorn::builtins
