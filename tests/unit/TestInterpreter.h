// The interpreter that cases run in when they do not depend on its state
// (no statement budget, no recorded texts); cases that do make their own.
#pragma once

#include "builtins/BuiltinTable.h"
#include "exec/Interpreter.h"

namespace vorn {

inline Interpreter& testInterpreter() {
    static Interpreter interpreter(builtinEntries());
    return interpreter;
}

}  // namespace vorn

#include "exec/Run.h"

namespace vorn {

// What code sees in these tables alone, while it lives: their bindings
// pushed behind a barrier that hides the builtins too, on the test
// interpreter, the inherited table winning.
class TableView {
public:
    explicit TableView(const Scope& inherited, const Scope& local = Scope())
        : mark_(testInterpreter().bindings()), barrier_(testInterpreter().bindings(), true) {
        Bindings& bindings = testInterpreter().bindings();
        local.forEachBinding([&](const SymbolRef& n, const ValueRef& v) { bindings.push(n, v, Table::Local); });
        inherited.forEachBinding([&](const SymbolRef& n, const ValueRef& v) { bindings.push(n, v, Table::Inherited); });
    }
    operator const View&() const { return testInterpreter().view(); }
    const View& view() const { return testInterpreter().view(); }

private:
    BindingMark mark_;
    BindingBarrier barrier_;
};

}  // namespace vorn
