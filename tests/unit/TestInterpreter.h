// The interpreter that cases run in when they do not depend on its state
// (no statement budget, no recorded texts); cases that do make their own.
#pragma once

#include "exec/Interpreter.h"

namespace vorn {

inline Interpreter& testInterpreter() {
    static Interpreter interpreter;
    return interpreter;
}

}  // namespace vorn
