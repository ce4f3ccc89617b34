// The builtin table: the 38 native functions scripts call by name.
//
// Each interpreter makes one Value of kind "cfunc" per entry
// (exec/Interpreter.h). Every run binds the builtin names to these very
// Values, so assigning to a builtin's name changes it everywhere.
#pragma once

#include <span>

#include "values/Value.h"

namespace vorn {

struct BuiltinEntry {
    const char* name;
    NativeFunction function;
};

// The table, in registration order.
std::span<const BuiltinEntry> builtinEntries();

}  // namespace vorn
