// runBlock: entry, the statement loop with its kind trim, and the write-back.
#include "exec/Run.h"

#include <new>

#include "exec/Trim.h"
#include "exec/Where.h"
#include "platform/Platform.h"
#include "values/Depth.h"
#include "values/Heap.h"
#include "values/Error.h"

namespace vorn {

ValueRef Run::findName(std::string_view name, std::uint64_t hash) const {
    ValueRef v = inherited.find(name, hash);
    if (!v) v = local.find(name, hash);
    return v;
}

void Run::bindName(std::string_view name, std::uint64_t hash, ValueRef value) {
    if (inherited.find(name, hash)) inherited.set(name, hash, std::move(value));
    else local.set(name, hash, std::move(value));
    tablesChanged();
}

ValueRef Run::assignTarget(std::string_view name, std::uint64_t hash) {
    if (ValueRef v = inherited.find(name, hash)) return v;
    if (ValueRef v = local.find(name, hash)) return v;
    ValueRef fresh = newValue();
    local.set(name, hash, fresh);
    tablesChanged();
    return fresh;
}

namespace {

// Sets the interpreter's boundary flag for a run and restores the enclosing
// run's on every exit path.
class BoundaryScope {
public:
    BoundaryScope(Interpreter& interpreter, ErrorBoundary b)
        : interpreter_(interpreter), saved_(interpreter.enterBoundaryRun(b != ErrorBoundary::No)) {}
    ~BoundaryScope() { interpreter_.enterBoundaryRun(saved_); }
    BoundaryScope(const BoundaryScope&) = delete;
    BoundaryScope& operator=(const BoundaryScope&) = delete;

private:
    Interpreter& interpreter_;
    bool saved_;
};

// The same for the kind of the error-boundary statement being carried out.
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
        beforeStatement(interpreter);
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

}  // namespace

void runEmptyRun(Run& run, const PreparedStatement& statement) {
    static const PreparedStatement kEmpty;
    const bool guarded = run.boundary == ErrorBoundary::Yes || run.boundary == ErrorBoundary::Program;
    std::uint32_t below = 1;
    try {
        for (; below < statement.repeat; ++below) {
            if (!staleValues().empty()) trimNoted(run.view());
            Heap::maybeCollect();
            if (guarded) executeGuarded(run, kEmpty);
            else beforeStatement(run.interpreter);
        }
    } catch (ScriptError& error) {
        // It lies that many lines below the run's first.
        error.leaveStatement(below, false);
        throw;
    }
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

namespace {

// Carries out block's statements in run, stopping after one that ended it.
[[gnu::always_inline]] inline void runStatements(Run& run, const Block& block) {
    const PreparedStatement* current = nullptr;
    const bool guarded = run.boundary == ErrorBoundary::Yes || run.boundary == ErrorBoundary::Program;
    try {
        for (const PreparedStatement& statement : block.statements) {
            current = &statement;
            if (!staleValues().empty()) trimNoted(run.view());
            Heap::maybeCollect();
            if (guarded) {
                executeGuarded(run, statement);
                if (statement.kind == StatementKind::EmptyRun) runEmptyRun(run, statement);
                if (run.returned) break;
            } else {
                beforeStatement(run.interpreter);
                if (statement.kind == StatementKind::Empty) continue;
                executeStatement(run, statement);
                if (run.returned) break;
            }
        }
    } catch (ScriptError& error) {
        // Counts the line for the report of where it happened.
        if (current) error.leaveStatement(current->line, block.ownText);
        throw;
    } catch (UnbalancedText& unbalanced) {
        if (current) unbalanced.trail.leaveStatement(current->line, block.ownText);
        throw;
    }
}

BlockResult runInTables(Interpreter& interpreter, const Block& block, Scope& inherited, Scope& local,
                        ErrorBoundary boundary) {
    DepthGuard depth;
    const BoundaryScope boundaryScope(interpreter, boundary);
    Run run(interpreter, inherited, local);
    run.boundary = boundary;
    if (!run.inherited.builtinsBound()) interpreter.bindBuiltins(run.inherited);
    runStatements(run, block);
    return BlockResult{std::move(run.returnValue), run.returned};
}

}  // namespace

BlockResult runBlock(Interpreter& interpreter, const Block& block, Scope* inheritedScope, Scope* localScope,
                     ErrorBoundary boundary) {
    Scope inherited = inheritedScope ? *inheritedScope : Scope();
    Scope local = localScope ? *localScope : Scope();
    BlockResult result = runInTables(interpreter, block, inherited, local, boundary);
    // Only a table that changed is written back (copying one costs counts).
    if (inheritedScope && !inheritedScope->identicalTo(inherited)) *inheritedScope = std::move(inherited);
    if (localScope && !localScope->identicalTo(local)) *localScope = std::move(local);
    return result;
}

BlockResult runPasses(Interpreter& interpreter, Scope& inherited, Scope& local, ErrorBoundary boundary,
                      Passes& passes) {
    // One Run serves every pass: a pass that did not end through `end`
    // leaves it as a new one would start (return value 0, not returned).
    // Its view stays valid while the tables only change through the run
    // (every binding it makes renews the view); what next() does to them
    // between passes renews it when next() says so.
    Run run(interpreter, inherited, local);
    run.boundary = boundary;
    while (const Block* block = passes.next()) {
        DepthGuard depth;
        const BoundaryScope boundaryScope(interpreter, boundary);
        if (passes.replaced) run.tablesChanged();
        if (!run.inherited.builtinsBound()) {
            interpreter.bindBuiltins(run.inherited);
            run.tablesChanged();
        }
        runStatements(run, *block);
        if (run.returned) return BlockResult{std::move(run.returnValue), true};
    }
    return BlockResult{std::move(run.returnValue), false};
}

BlockResult runBlockIn(Interpreter& interpreter, const Block& block, Scope& inheritedScope, Scope* localScope,
                       ErrorBoundary boundary) {
    if (localScope) return runInTables(interpreter, block, inheritedScope, *localScope, boundary);
    Scope local;
    return runInTables(interpreter, block, inheritedScope, local, boundary);
}

}  // namespace vorn
