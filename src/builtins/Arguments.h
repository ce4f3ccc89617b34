// Shared argument access for builtins.
//
// A builtin's argument i is whatever its call's scope binds "arg<i>" to: the
// call's own argument, or, when the call passed fewer, a name the caller
// sees. A missing required argument reads as a default Value, so `$print`
// prints an empty line; optional arguments are tested for without creating
// an entry.
#pragma once

#include <string>

#include "exec/CallScope.h"
#include "values/Convert.h"
#include "values/Value.h"

namespace vorn::builtins {

// The Value the call's scope binds argument i to (not a copy), or null.
inline ValueRef argumentRef(const CallScope& scope, int index) {
    return scope.find(argumentName(static_cast<std::size_t>(index)));
}
// A copy of argument i, or a default Value when there is none.
inline Value argument(const CallScope& scope, int index) {
    ValueRef v = argumentRef(scope, index);
    return v ? *v : Value();
}
// Whether the call's scope has argument i.
inline bool hasArgument(const CallScope& scope, int index) { return static_cast<bool>(argumentRef(scope, index)); }

// The text form of argument i.
inline std::string textArgument(const CallScope& scope, int index) { return textOf(argument(scope, index)).str(); }

}  // namespace vorn::builtins
