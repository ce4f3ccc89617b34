// The builtin table: the 38 native functions scripts call by name.
//
// Each builtin is one Value of kind "cfunc" owned by the table for the whole
// process. Every run binds the builtin names to these very Values, so
// assigning to a builtin's name changes it everywhere.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "values/Scope.h"
#include "values/Value.h"

namespace vorn {

// Fills the table; called once by the program entry before any script runs.
// Calling it again does nothing.
void registerBuiltins();

// The table's entries in name order.
const std::vector<std::pair<std::string, ValueRef>>& builtinTable();

// Binds every builtin name in scope to the builtin's own Value.
void bindBuiltins(Scope& scope);

// Replaces a builtin's native function (test harnesses use it to keep
// generated programs away from the file system). Returns false for a name
// that is no builtin.
bool replaceBuiltinFunction(std::string_view name, NativeFunction function);

}  // namespace vorn
