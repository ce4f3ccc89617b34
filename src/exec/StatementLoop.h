// The statement loop: how a run carries out its block's statements.
//
// Inlined where runs are made in numbers: runInFrame (every body, call and
// exec text) and the passes of each and until, which set up what stays the
// same from pass to pass once per loop (the boundary flag, and for each the
// nesting guard) and then only make the pass's run (runPass). A statement
// goes from the loop to its executor through one switch, inlined too.
#pragma once

#include "exec/Objects.h"
#include "exec/Run.h"
#include "exec/Statements.h"
#include "exec/Where.h"
#include "values/Error.h"

namespace vorn {

// Carries out one prepared statement in run. Inlined into the statement
// loops: every statement passes here.
[[gnu::always_inline]] inline void executeStatement(Run& run, const PreparedStatement& statement) {
    switch (statement.kind) {
        case StatementKind::Empty: return;
        case StatementKind::End: return executeEnd(run, statement);
        case StatementKind::Compare: return executeCompare(run, statement);
        case StatementKind::Each: return executeEach(run, statement);
        case StatementKind::Until: return executeUntil(run, statement);
        case StatementKind::List: return executeList(run, statement);
        case StatementKind::Add: return executeAdd(run, statement);
        case StatementKind::Index: return executeIndex(run, statement);
        case StatementKind::Where: return executeWhere(run, statement);
        case StatementKind::Remove: return executeRemove(run, statement);
        case StatementKind::Exec: return executeExec(run, statement);
        case StatementKind::Also: return executeAlso(run, statement);
        case StatementKind::Class: return executeClass(run, statement);
        case StatementKind::Delete: return executeDelete(run, statement);
        case StatementKind::Call: return executeCall(run, statement);
        case StatementKind::MemberAssign: return executeMemberAssign(run, statement);
        case StatementKind::Assign: return executeAssign(run, statement);
        case StatementKind::EmptyRun:
            // Its further statements only do what waits before each statement.
            if (statementWaits()) runEmptyRun(run, statement);
            return;
    }
}

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

// A guarded run's statement: what fails is reported and the run goes on.
void runGuardedStatement(Run& run, const PreparedStatement& statement);

// Carries out block's statements in run, stopping after one that ended it.
[[gnu::always_inline]] inline void runStatements(Run& run, const Block& block) {
    const PreparedStatement* current = nullptr;
    try {
        if (isGuarded(run)) {
            for (const PreparedStatement& statement : block.statements) {
                current = &statement;
                runGuardedStatement(run, statement);
                if (statement.kind == StatementKind::EmptyRun) runEmptyRun(run, statement);
                if (run.returned) break;
            }
            return;
        }
        // Blank lines at either end of a body only do what waits before each
        // statement: with nothing waiting, each end is passed over at once.
        const PreparedStatement* next = block.statements.data();
        const PreparedStatement* const last = next + block.statements.size();
        const PreparedStatement* const working = last - block.idleLast;
        if (!statementWaits()) next += block.idleFirst;
        for (; next != working; ++next) {
            current = next;
            if (statementWaits()) [[unlikely]] attendBeforeStatement(run);
            if (next->kind == StatementKind::Empty) continue;
            executeStatement(run, *next);
            if (run.returned) return;
        }
        if (next == last || !statementWaits()) return;
        for (; next != last; ++next) {
            current = next;
            if (statementWaits()) attendBeforeStatement(run);
            if (next->kind == StatementKind::EmptyRun) executeStatement(run, *next);
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

// One run of block in frame, with the boundary flag and the nesting guard
// already set up by the caller; true when it ended through `end`.
[[gnu::always_inline]] inline bool runPass(Interpreter& interpreter, const Block& block, Frame& frame, Value& result,
                                           ErrorBoundary boundary) {
    Run run(interpreter, frame, result);
    run.boundary = boundary;
    // Code that exec runs shares its caller's frame, and the flag.
    if (isGuarded(run)) frame.guarded = true;
    // Every run starts with each builtin bound to its own Value.
    if (interpreter.bindings().builtinsHidden()) interpreter.bindings().rebindBuiltins(frame);
    runStatements(run, block);
    return run.returned;
}

}  // namespace vorn
