// The block executor: runs a block's statements in a run's two tables.
//
// A run holds an inherited table (a copy of the caller's inherited scope plus
// every builtin) and a local table (a copy of the caller's local scope, where
// names the run creates go). Operands see both through a View in which the
// inherited table wins. When the run ends both tables are written back to the
// scopes the caller passed; a caller that passed no local scope loses the
// names the run created (their Values stay intact wherever else they are
// referred to).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "exec/Interpreter.h"
#include "exec/View.h"
#include "platform/Platform.h"
#include "values/Limits.h"
#include "parse/Code.h"
#include "values/Scope.h"
#include "values/Value.h"

namespace vorn {

// Whether a run's statements each catch and report the errors raised below
// them. The boot script's top-level statements do (Program), and so do those
// of its until bodies (Yes): an error abandons the whole start-up statement,
// or one line of the interactive loop, and the session goes on. The bodies
// of compare statements among them (Within) belong to the session but catch
// nothing, so a failed snapshot or restore is abandoned whole; code run
// through exec, also or a call has No boundary.
enum class ErrorBoundary : std::uint8_t { No, Yes, Within, Program };

// Raised when the interactive loop asks for a line and input has ended.
struct EndOfSession {};

struct BlockResult {
    Value value;            // the return value; integer 0 unless `end` gave one
    bool returned = false;  // the run ended through `end`
};

class Run {
public:
    // The run works in these two tables (distinct objects) directly.
    Run(Interpreter& owner, Scope& inheritedTable, Scope& localTable)
        : interpreter(owner), inherited(inheritedTable), local(localTable) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Interpreter& interpreter;
    Scope& inherited;
    Scope& local;
    Value returnValue = Value::ofInteger(0);
    bool returned = false;
    ErrorBoundary boundary = ErrorBoundary::No;

    // What operands see: the inherited table, then the local one.
    const View& view() const {
        if (!view_) view_.emplace(interpreter, inherited, local);
        return *view_;
    }
    // Must follow every change of either table's bindings.
    void tablesChanged() { view_.reset(); }

    // The Value the name refers to (inherited table first), or null.
    ValueRef findName(std::string_view name, std::uint64_t hash) const;
    // The same for a prepared name, through the name's lookup cache.
    ValueRef findName(const Operand& name) const {
        return ValueRef(view().lookupCell(name.text, name.hash, name.lookup));
    }
    // Rebinds name in the table that has it (inherited first), else in the local table.
    void bindName(std::string_view name, std::uint64_t hash, ValueRef value);
    // The Value an assignment writes to; a new name gets a default Value in the local table.
    ValueRef assignTarget(std::string_view name, std::uint64_t hash);
    ValueRef assignTarget(const Operand& name) {
        if (Cell* found = view().lookupCell(name.text, name.hash, name.lookup)) return ValueRef(found);
        return assignTarget(name.text, name.hash);
    }

    // The body run of compare/each/until starts from this: every inherited
    // entry, then every local entry, the local one winning.
    Scope nestedScope() const { return Scope::merge(local, inherited); }

private:
    mutable std::optional<View> view_;
};

// Runs block in copies of the two scopes and writes a copy that changed
// back when the run ends normally: a failed run leaves both scopes as they
// were. Either scope may be null; both may be the same Scope.
BlockResult runBlock(Interpreter& interpreter, const Block& block, Scope* inheritedScope, Scope* localScope,
                     ErrorBoundary boundary = ErrorBoundary::No);

// Runs block in the caller's own tables, without copying them: what the run
// binds changes them at once, also when it fails part-way, so this is for
// callers that drop the tables after a failure (a call's scope, a compare
// body's scope, an each loop's scope). A null local table stands for a new
// empty one, dropped at the end. The two tables must be distinct objects.
BlockResult runBlockIn(Interpreter& interpreter, const Block& block, Scope& inheritedScope, Scope* localScope,
                       ErrorBoundary boundary = ErrorBoundary::No);

// The passes of a loop body (until, each). Before each pass next() gives
// the block to run, or null when the loop is done; it may change the two
// tables' contents (they stay the same objects).
class Passes {
public:
    virtual const Block* next() = 0;
    // Set by next() when it changed the tables in a way the pass's view
    // must see afresh: another table put in place, or local names dropped.
    bool replaced = true;

protected:
    ~Passes() = default;
};

// Runs each pass in the two tables themselves, exactly as one runBlockIn
// per pass would, but with one Run for all of them; ends after the first
// pass that ended through `end`, with its result. The tables must be
// distinct objects.
BlockResult runPasses(Interpreter& interpreter, Scope& inherited, Scope& local, ErrorBoundary boundary, Passes& passes);

// Reports an error as one line "error: <text>", on a fresh line.
void reportError(const std::string& text);

// Spends one statement of the budget and honours a pending Ctrl-C; runs
// before every statement, empty ones included, so no loop escapes either.
// Without a budget and without a Ctrl-C it costs one test.
void spendStatementSlow(Interpreter& interpreter);
inline void beforeStatement(Interpreter& interpreter) {
    if (interpreter.budgeted() || platform::gInterruptRequested) spendStatementSlow(interpreter);
}

// Carries out one prepared statement in run.
void executeStatement(Run& run, const PreparedStatement& statement);

// Carries out the second and later statements of a run of empty ones, its
// first just carried out: each gets what every statement gets before it.
void runEmptyRun(Run& run, const PreparedStatement& statement);

}  // namespace vorn
