// runBlock: entry, the statement loop with its kind trim, and the write-back.
#include "exec/Run.h"

#include <new>

#include "builtins/BuiltinTable.h"
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

bool gInBoundaryRun = false;
StartUpHooks gStartUpHooks;

// Restores the boundary flag of the enclosing run on every exit path.
class BoundaryScope {
public:
    explicit BoundaryScope(ErrorBoundary b) : saved_(gInBoundaryRun) { gInBoundaryRun = b != ErrorBoundary::No; }
    ~BoundaryScope() { gInBoundaryRun = saved_; }
    BoundaryScope(const BoundaryScope&) = delete;
    BoundaryScope& operator=(const BoundaryScope&) = delete;

private:
    bool saved_;
};

// The kind of the error-boundary statement being carried out.
StatementKind gBoundaryStatementKind = StatementKind::Empty;

class BoundaryStatement {
public:
    explicit BoundaryStatement(StatementKind kind) : saved_(gBoundaryStatementKind) { gBoundaryStatementKind = kind; }
    ~BoundaryStatement() { gBoundaryStatementKind = saved_; }
    BoundaryStatement(const BoundaryStatement&) = delete;
    BoundaryStatement& operator=(const BoundaryStatement&) = delete;

private:
    StatementKind saved_;
};

void executeGuarded(Run& run, const PreparedStatement& statement) {
    const BoundaryStatement current(statement.kind);
    const bool program = run.boundary == ErrorBoundary::Program;
    if (program && gStartUpHooks.before) gStartUpHooks.before();
    try {
        beforeStatement();
        // A run of empty statements goes on after this, its first.
        if (statement.kind != StatementKind::Empty && statement.kind != StatementKind::EmptyRun)
            executeStatement(run, statement);
        return;
    } catch (const ScriptError& error) {
        reportError(errorReport(error));
    } catch (const std::bad_alloc&) {
        reportError("out of memory");
    } catch (const UnbalancedText& unbalanced) {
        // Someone at a terminal keeps the session and its names; a pipe or a
        // file fed in ends as any unbalanced text ends the program.
        if (!platform::promptIsInteractive()) throw;
        reportError(unbalancedReport(unbalanced));
    }
    if (program && gStartUpHooks.abandoned) gStartUpHooks.abandoned();
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
            else beforeStatement();
        }
    } catch (ScriptError& error) {
        // It lies that many lines below the run's first.
        error.leaveStatement(below, false);
        throw;
    }
}

bool inBoundaryStatement() { return gInBoundaryRun; }

bool inBoundaryExec() { return gInBoundaryRun && gBoundaryStatementKind == StatementKind::Exec; }

StatementKind boundaryStatementKind() { return gBoundaryStatementKind; }

void setStartUpHooks(StartUpHooks hooks) { gStartUpHooks = hooks; }

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
                beforeStatement();
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

BlockResult runInTables(const Block& block, Scope& inherited, Scope& local, ErrorBoundary boundary) {
    DepthGuard depth;
    const BoundaryScope boundaryScope(boundary);
    Run run(inherited, local);
    run.boundary = boundary;
    if (!run.inherited.builtinsBound()) bindBuiltins(run.inherited);
    runStatements(run, block);
    return BlockResult{std::move(run.returnValue), run.returned};
}

}  // namespace

BlockResult runBlock(const Block& block, Scope* inheritedScope, Scope* localScope, ErrorBoundary boundary) {
    Scope inherited = inheritedScope ? *inheritedScope : Scope();
    Scope local = localScope ? *localScope : Scope();
    BlockResult result = runInTables(block, inherited, local, boundary);
    // Only a table that changed is written back (copying one costs counts).
    if (inheritedScope && !inheritedScope->identicalTo(inherited)) *inheritedScope = std::move(inherited);
    if (localScope && !localScope->identicalTo(local)) *localScope = std::move(local);
    return result;
}

BlockResult runPasses(Scope& inherited, Scope& local, ErrorBoundary boundary, Passes& passes) {
    // One Run serves every pass: a pass that did not end through `end`
    // leaves it as a new one would start (return value 0, not returned).
    // Its view stays valid while the tables only change through the run
    // (every binding it makes renews the view); what next() does to them
    // between passes renews it when next() says so.
    Run run(inherited, local);
    run.boundary = boundary;
    while (const Block* block = passes.next()) {
        DepthGuard depth;
        const BoundaryScope boundaryScope(boundary);
        if (passes.replaced) run.tablesChanged();
        if (!run.inherited.builtinsBound()) {
            bindBuiltins(run.inherited);
            run.tablesChanged();
        }
        runStatements(run, *block);
        if (run.returned) return BlockResult{std::move(run.returnValue), true};
    }
    return BlockResult{std::move(run.returnValue), false};
}

BlockResult runBlockIn(const Block& block, Scope& inheritedScope, Scope* localScope, ErrorBoundary boundary) {
    if (localScope) return runInTables(block, inheritedScope, *localScope, boundary);
    Scope local;
    return runInTables(block, inheritedScope, local, boundary);
}

}  // namespace vorn
