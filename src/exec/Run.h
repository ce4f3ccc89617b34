// The block executor: runs a block's statements in a run's two tables.
//
// A run holds an inherited table (what its caller passed on, plus every
// builtin) and a local table (where names the run creates go). Operands see
// both, the inherited table winning. Both tables live in the interpreter's
// stack of bindings (exec/Bindings.h): a run owns the entries from its
// frame's mark on, and what survives it is decided by what the statement
// that started it keeps when it ends: a call, a compare body and an inline
// block drop everything, exec and also keep everything, the passes of each
// and until keep one table each (exec/Control.cpp). A run that fails leaves
// its caller's tables as they were.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "exec/Bindings.h"
#include "exec/Interpreter.h"
#include "exec/View.h"
#include "platform/Platform.h"
#include "values/Deferred.h"
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

class Run {
public:
    Run(Interpreter& owner, Frame& ownFrame, Value& result)
        : interpreter(owner), frame(ownFrame), returnValue(result) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Interpreter& interpreter;
    Frame& frame;
    // Where `end` puts its Value: the result of the call or inline block the
    // run belongs to (integer 0 unless `end` gives one), which the bodies of
    // its compare, each and until statements write into directly, as `end`
    // in a body ends the enclosing run too.
    Value& returnValue;
    bool returned = false;  // the run ended through `end`
    ErrorBoundary boundary = ErrorBoundary::No;

    // What operands see: the inherited table, then the local one.
    const View& view() const { return interpreter.view(); }

    // The Value the name refers to, or null.
    ValueRef findName(const Operand& name) const { return ValueRef(interpreter.view().lookupCell(name)); }
    // Rebinds name in the table that has it (inherited first), else in the local table.
    void bindName(const Operand& name, ValueRef value);
    // The same to a new Value. Where the rebinding would replace the visible
    // entry's Value and nothing else refers to that Value, it is written in
    // place: no one could tell it from a new one.
    void bindNew(const Operand& name, Value&& value);
    // The Value an assignment writes to; a new name gets a default Value in the local table.
    ValueRef assignTarget(const Operand& name) {
        if (Cell* found = interpreter.view().lookupCell(name)) return ValueRef(found);
        return createLocal(name);
    }

private:
    ValueRef createLocal(const Operand& name);
    // The position + 1 of the name's visible entry when a rebinding may
    // give that entry the new Value instead of pushing one, or 0.
    std::uint32_t replaceableEntry(const Symbol* symbol) const;
};

// Whether the run reports what fails in each statement and goes on.
inline bool isGuarded(const Run& run) {
    return run.boundary == ErrorBoundary::Yes || run.boundary == ErrorBoundary::Program;
}

// Pops the bindings pushed since it was made, when it goes, unless kept.
class BindingMark {
public:
    explicit BindingMark(Bindings& bindings) : bindings_(bindings), mark_(bindings.size()) {}
    ~BindingMark() {
        if (!kept_) bindings_.undoTo(mark_);
    }
    BindingMark(const BindingMark&) = delete;
    BindingMark& operator=(const BindingMark&) = delete;
    std::uint32_t position() const { return mark_; }
    void keep() { kept_ = true; }

private:
    Bindings& bindings_;
    std::uint32_t mark_;
    bool kept_ = false;
};

// Puts the barrier back as it was when it goes (a call raises one only
// when it has a sharing group or builds an object).
class BarrierKept {
public:
    explicit BarrierKept(Bindings& bindings) : bindings_(bindings), saved_(bindings.barrier()) {}
    ~BarrierKept() { bindings_.restoreBarrier(saved_); }
    BarrierKept(const BarrierKept&) = delete;
    BarrierKept& operator=(const BarrierKept&) = delete;

private:
    Bindings& bindings_;
    Bindings::Barrier saved_;
};

// Hides every binding older than it while it lives (see Bindings), and the
// builtins too if bare.
class BindingBarrier : BarrierKept {
public:
    explicit BindingBarrier(Bindings& bindings, bool bare = false) : BarrierKept(bindings) {
        bindings.raiseBarrier(bindings.size(), bare);
    }
};

// Runs block's statements as a run of its own in frame, whose entries the
// caller owns: the run pushes its bindings and leaves them for the caller
// to keep or drop. Whether `end` ended it; result then holds its Value.
bool runInFrame(Interpreter& interpreter, const Block& block, Frame& frame, Value& result,
                ErrorBoundary boundary = ErrorBoundary::No);

// Runs block in a new frame starting here and drops what it bound (a
// compare body): the run starts from its caller's two tables merged, the
// local one winning. An `end` in it ends the caller too.
void runDropping(Run& caller, const Block& block, ErrorBoundary boundary = ErrorBoundary::No);

// The names frame's local table holds (the members a class body or an
// instantiation made), each with its newest binding there.
Scope localTableOf(const Bindings& bindings, const Frame& frame);

// The same for an inline block, which starts from what its caller sees, the
// inherited table winning.
Value runBlockAbove(Interpreter& interpreter, const Block& block);

// Runs block in tables kept in Scopes (a program's, a script's): copies of
// them are pushed behind a barrier, and what the run left in each is written
// back when it ends normally; a failed run leaves both as they were. local
// may be null (the names the run creates are dropped) or inherited itself.
void runBlock(Interpreter& interpreter, const Block& block, Scope* inheritedScope, Scope* localScope,
              ErrorBoundary boundary = ErrorBoundary::No);

// Reports an error as one line "error: <text>", on a fresh line.
void reportError(const std::string& text);

// What happens before every statement, empty ones included: the work the
// values left (values/Deferred.h), then one statement of the budget and a
// pending Ctrl-C, so no loop escapes either. All three set one word
// (platform::gBoundaryWork), so with none of them waiting it costs one test.
void spendStatementSlow(Interpreter& interpreter);
inline bool statementWaits() {
    return platform::gBoundaryWork != 0 ||
           (platform::kStatementsReadInterruptFlag && platform::gInterruptRequested != 0);
}
void attendBeforeStatement(Run& run);

// Carries out the second and later statements of a run of empty ones, its
// first just carried out: each gets what every statement gets before it.
void runEmptyRun(Run& run, const PreparedStatement& statement);

}  // namespace vorn
