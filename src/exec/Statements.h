// The keyword statements that steer execution and build lists, and the
// assignment shared by plain and member targets.
#pragma once

#include "exec/Run.h"
#include "expr/Evaluator.h"
#include "expr/Operators.h"
#include "values/Stale.h"

namespace vorn {

void executeCompare(Run& run, const PreparedStatement& statement);
void executeUntil(Run& run, const PreparedStatement& statement);
void executeEach(Run& run, const PreparedStatement& statement);
void executeEnd(Run& run, const PreparedStatement& statement);
void executeExec(Run& run, const PreparedStatement& statement);
void executeAlso(Run& run, const PreparedStatement& statement);

void executeList(Run& run, const PreparedStatement& statement);
void executeAdd(Run& run, const PreparedStatement& statement);
void executeIndex(Run& run, const PreparedStatement& statement);
void executeWhere(Run& run, const PreparedStatement& statement);
void executeRemove(Run& run, const PreparedStatement& statement);

// Assigns the value token to target in place: a one-character operator
// token assigns, a longer one applies its first character as an operator.
void executeCall(Run& run, const PreparedStatement& statement);

// Assigns to target's Value; the caller keeps the cell alive meanwhile.
// targetName is a name target is bound under, or null (a member).
void assignInPlace(Run& run, Cell& target, Symbol* targetName, const Operand& operatorToken,
                   const Operand& valueToken);

// Assigns a plain operand's Value, read where it lies, to target: inlined
// into the statement loop with the assignment, which is the most common
// statement, and mostly of this form (`i += 1`, `s += t`, `x = y`).
inline void assignPlain(Cell& target, Symbol* targetName, const Operand& operatorToken, const Value& right) {
    Value& into = target.value;
    if (operatorToken.text.size() >= 2) {
        if (applyInPlace(into, right, operatorToken.firstOp)) return;
        Value result = applyOperator(into, right, operatorToken.firstOp);
        into = std::move(result);
    } else if (&right != &into) {
        into = right;
    }
    if (into.hasStalePayload()) noteStale(ValueRef(&target), targetName);
}

// The operand tokens a statement needs; raises an error when one is missing.
[[noreturn]] void missingTokens(const char* what);
inline void requireTokens(const PreparedStatement& statement, std::size_t count, const char* what) {
    if (statement.tokens.size() < count) missingTokens(what);
}

// Finds a name for a statement that needs it bound; raises an error naming it.
ValueRef requireName(const Run& run, const Operand& name);
[[noreturn]] void unknownName(const Run& run, const Operand& name);
// The cell of a name the statement reads, found where it lies: the caller
// holds a reference of its own while code it runs could unbind the name.
inline Cell& requireCell(const Run& run, const Operand& name) {
    Cell* found = run.view().lookupCell(name);
    if (!found) unknownName(run, name);
    return *found;
}

// The most common statement, inlined into the statement loop.
inline void executeAssign(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 3, "assignment needs a target, an operator and a value");
    const Operand& name = statement.tokens[0];
    const Operand& value = statement.tokens[2];
    // A value that runs no code cannot unbind the name meanwhile, so its
    // binding keeps the cell alive; otherwise the statement holds it too.
    Cell* found = run.view().lookupCell(name);
    if (found && isPlainOperand(value))
        return assignPlain(*found, View::symbolOf(name), statement.tokens[1], plainValue(value, run.view()));
    const ValueRef target = found ? ValueRef(found) : run.assignTarget(name);
    assignInPlace(run, *target.cell(), View::symbolOf(name), statement.tokens[1], value);
}

}  // namespace vorn
