// Runs: their entry, the statement loop and its dispatch, and the write-back.
#include "exec/Run.h"

#include <new>

#include "exec/Objects.h"
#include "exec/StatementLoop.h"
#include "exec/Statements.h"
#include "exec/Trim.h"
#include "exec/Where.h"
#include "platform/Platform.h"
#include "values/Depth.h"
#include "values/Heap.h"
#include "values/Stale.h"
#include "values/Error.h"

namespace vorn {

std::uint32_t Run::replaceableEntry(const Symbol* symbol) const {
    // A rebinding pushes an entry that hides the old one for as long as
    // both live; when they die together, the old one can take the Value
    // instead. That holds for the run's own entries and an each pass's loop
    // scope (which keeps what the pass rebinds), unless a failed statement
    // leaves the run going, or the entry is in both tables (where the
    // rebinding would leave the local one as it is).
    const Bindings& bindings = interpreter.bindings();
    const std::uint32_t at = bindings.visibleEntry(symbol);
    return at > frame.keptFrom && !frame.guarded && bindings.entry(at).table != Table::Both ? at : 0;
}

void Run::bindName(const Operand& name, ValueRef value) {
    SymbolRef symbol = name.symbol ? name.symbol : intern(name.text);
    Bindings& bindings = interpreter.bindings();
    if (const std::uint32_t at = replaceableEntry(symbol.get())) return bindings.replace(at, std::move(value));
    const Table table = bindings.tableOf(symbol.get(), frame);
    if (table == Table::Inherited || table == Table::Both) bindings.bindInherited(std::move(symbol), std::move(value), frame);
    else bindings.push(std::move(symbol), std::move(value), Table::Local);
}

void Run::bindNew(const Operand& name, Value&& value) {
    const std::uint32_t at = name.symbol ? replaceableEntry(name.symbol.get()) : 0;
    Cell* cell = at ? interpreter.bindings().entry(at).value.cell() : nullptr;
    if (!cell || cell->refCount() != 1) return bindName(name, newValue(std::move(value)));
    // A position (where) over a position, or a character (index) over a
    // character: the number or the text is all that changes.
    if (Item::isPlainInteger(value) && Item::isPlainInteger(cell->value)) {
        cell->value.integer = value.integer;
        return;
    }
    if (Item::isPlainText(value) && Item::isPlainText(cell->value)) {
        cell->value.text = std::move(value.text);
        return;
    }
    cell->value = std::move(value);
    const Binding& entry = interpreter.bindings().entry(at);
    if (cell->value.hasStalePayload()) noteStale(entry.value, entry.name.get());
}

ValueRef Run::createLocal(const Operand& name) {
    ValueRef fresh = newValue();
    interpreter.bindings().push(name.symbol ? name.symbol : intern(name.text), fresh, Table::Local);
    return fresh;
}

namespace {

// Sets the kind of the error-boundary statement being carried out, and
// restores the enclosing one's on every exit path (see BoundaryScope).
class BoundaryStatement {
public:
    BoundaryStatement(Interpreter& interpreter, StatementKind kind)
        : interpreter_(interpreter), saved_(interpreter.enterBoundaryStatement(kind)) {}
    ~BoundaryStatement() { interpreter_.enterBoundaryStatement(saved_); }
    BoundaryStatement(const BoundaryStatement&) = delete;
    BoundaryStatement& operator=(const BoundaryStatement&) = delete;

private:
    Interpreter& interpreter_;
    StatementKind saved_;
};

void executeGuarded(Run& run, const PreparedStatement& statement) {
    Interpreter& interpreter = run.interpreter;
    const BoundaryStatement current(interpreter, statement.kind);
    StatementHooks* hooks = run.boundary == ErrorBoundary::Program ? interpreter.hooks.get() : nullptr;
    if (hooks) hooks->before(statement.kind);
    try {
        if (interpreter.budgeted() || platform::gInterruptRequested) spendStatementSlow(interpreter);
        // A run of empty statements goes on after this, its first.
        if (statement.kind != StatementKind::Empty && statement.kind != StatementKind::EmptyRun)
            executeStatement(run, statement);
        return;
    } catch (const ScriptError& error) {
        reportError(errorReport(interpreter, error));
    } catch (const std::bad_alloc&) {
        reportError("out of memory");
    } catch (const UnbalancedText& unbalanced) {
        // Someone at a terminal keeps the session and its names; a pipe or a
        // file fed in ends as any unbalanced text ends the program.
        if (!platform::promptIsInteractive()) throw;
        reportError(unbalancedReport(interpreter, unbalanced));
    }
    if (hooks) hooks->abandoned();
}

// Clears the boundary word before doing what the values left, so whatever
// still waits afterwards (noted Values out of reach, a budget, a Ctrl-C
// pressed meanwhile) has set it again.
void takeBoundaryWork(Run& run) {
    platform::gBoundaryWork = 0;
    doDeferredWork(run.view());
    if (run.interpreter.budgeted() || platform::gInterruptRequested) platform::gBoundaryWork = 1;
}

}  // namespace

void runGuardedStatement(Run& run, const PreparedStatement& statement) {
    if (platform::gBoundaryWork) takeBoundaryWork(run);
    executeGuarded(run, statement);
}

void runEmptyRun(Run& run, const PreparedStatement& statement) {
    static const PreparedStatement kEmpty;
    const bool guarded = isGuarded(run);
    std::uint32_t below = 1;
    try {
        for (; below < statement.repeat; ++below) {
            if (guarded) runGuardedStatement(run, kEmpty);
            else if (statementWaits()) attendBeforeStatement(run);
        }
    } catch (ScriptError& error) {
        // It lies that many lines below the run's first.
        error.leaveStatement(below, false);
        throw;
    }
}

void attendBeforeStatement(Run& run) {
    if (platform::gBoundaryWork) takeBoundaryWork(run);
    if (run.interpreter.budgeted() || platform::gInterruptRequested) spendStatementSlow(run.interpreter);
}

void reportError(const std::string& text) {
    // The error has ended the line, which is all a Ctrl-C pressed meanwhile
    // asked for: left pending, it would end the next statement too and
    // report a second error for the same line.
    platform::gInterruptRequested = 0;
    if (!platform::atLineStart()) platform::writeOut("\n");
    platform::writeOut("error: " + text + "\n");
    platform::flushOut();
}

bool runInFrame(Interpreter& interpreter, const Block& block, Frame& frame, Value& result, ErrorBoundary boundary) {
    DepthGuard depth;
    const BoundaryScope boundaryScope(interpreter, boundary);
    return runPass(interpreter, block, frame, result, boundary);
}

void runDropping(Run& caller, const Block& block, ErrorBoundary boundary) {
    Bindings& bindings = caller.interpreter.bindings();
    const BindingMark mark(bindings);
    bindings.showLocalWinners(caller.frame);
    Frame frame{bindings.size()};
    // runInFrame written out: a compare body is the most common run.
    const DepthGuard depth;
    const BoundaryScope boundaryScope(caller.interpreter, boundary);
    if (runPass(caller.interpreter, block, frame, caller.returnValue, boundary)) caller.returned = true;
}

Value runBlockAbove(Interpreter& interpreter, const Block& block) {
    const BindingMark mark(interpreter.bindings());
    Frame frame{mark.position()};
    Value result = Value::ofInteger(0);
    runInFrame(interpreter, block, frame, result);
    return result;
}

Scope localTableOf(const Bindings& bindings, const Frame& frame) {
    Scope table;
    for (std::uint32_t at = bindings.size(); at > frame.mark; --at) {
        const Binding& b = bindings.entry(at);
        if (bindings.ownTables(b.name.get(), frame).second == &b) table.set(b.name, b.value);
    }
    return table;
}

void runBlock(Interpreter& interpreter, const Block& block, Scope* inheritedScope, Scope* localScope,
              ErrorBoundary boundary) {
    Bindings& bindings = interpreter.bindings();
    const BindingMark mark(bindings);
    const BindingBarrier barrier(bindings);
    const bool same = inheritedScope && inheritedScope == localScope;
    Frame frame{mark.position()};
    if (localScope && !same)
        localScope->forEachBinding([&](const SymbolRef& name, const ValueRef& value) { bindings.push(name, value, Table::Local); });
    if (inheritedScope) {
        inheritedScope->forEachBinding([&](const SymbolRef& name, const ValueRef& value) {
            if (same) return bindings.push(name, value, Table::Both);
            const bool hidesLocal = bindings.visibleEntry(name.get()) != 0;
            if (hidesLocal) frame.shadowed = true;
            bindings.push(name, value, Table::Inherited, hidesLocal);
        });
    }
    Value result = Value::ofInteger(0);
    runInFrame(interpreter, block, frame, result, boundary);

    // Each scope takes the newest binding its table holds of every name the
    // run saw; when both are one scope, the local table's binding wins (it
    // was written back last).
    Scope inherited = inheritedScope ? *inheritedScope : Scope();
    Scope local = localScope && !same ? *localScope : Scope();
    for (std::uint32_t at = bindings.size(); at > mark.position(); --at) {
        const Binding& b = bindings.entry(at);
        if (b.name->binding != at) continue;
        const auto [inInherited, inLocal] = bindings.ownTables(b.name.get(), frame);
        if (same) {
            const Binding* wins = inLocal ? inLocal : inInherited;
            if (wins) inherited.set(b.name, wins->value);
            continue;
        }
        if (inInherited && inheritedScope) inherited.set(b.name, inInherited->value);
        if (inLocal && localScope) local.set(b.name, inLocal->value);
    }
    if (inheritedScope) *inheritedScope = std::move(inherited);
    if (localScope && !same) *localScope = std::move(local);
}

}  // namespace vorn
