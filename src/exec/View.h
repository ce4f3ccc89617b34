// What operands see: the names of the running program's current run.
//
// A View is a handle on the interpreter's stack of bindings (exec/Bindings.h),
// which holds the current run's two tables, the inherited one winning: a
// name's visible binding is the newest entry for it above the barrier, else
// its builtin. Every operand and builtin reads names through it.
#pragma once

#include <string_view>

#include "exec/Bindings.h"
#include "parse/Code.h"

namespace vorn {

class Interpreter;

class View {
public:
    View(Interpreter& interpreter, const Bindings& bindings) : interpreter_(&interpreter), bindings_(&bindings) {}

    // The interpreter the run belongs to: code an operand runs (a call, an
    // inline block) runs in it too.
    Interpreter& interpreter() const { return *interpreter_; }
    const Bindings& bindings() const { return *bindings_; }

    // The cell the name refers to (borrowed), or null.
    Cell* lookupCell(const Symbol* name) const { return bindings_->find(name); }
    Cell* lookupCell(const Operand& name) const {
        const Symbol* symbol = symbolOf(name);
        return symbol ? bindings_->find(symbol) : nullptr;
    }
    // The Symbol of a name token, or null when no name of its text exists: a
    // long token has no Symbol of its own, unless some name of its text was
    // bound.
    static Symbol* symbolOf(const Operand& name) {
        if (Symbol* symbol = name.symbol.get()) [[likely]] return symbol;
        return findSymbol(name.text, name.hash);
    }
    ValueRef lookup(std::string_view name, std::uint64_t hash) const {
        const Symbol* symbol = findSymbol(name, hash);
        return ValueRef(symbol ? bindings_->find(symbol) : nullptr);
    }
    ValueRef lookup(std::string_view name) const { return lookup(name, preparedHash(name)); }

    // Calls f(name, value) once for each visible name, in no particular order.
    template <class F>
    void forEachVisible(F&& f) const {
        bindings_->forEachVisible(f);
    }

private:
    Interpreter* interpreter_;
    const Bindings* bindings_;
};

}  // namespace vorn
