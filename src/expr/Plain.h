// Plain operands read in place, for the statements' short paths.
//
// A plain operand (a name, a text or a number) has no effects when it is
// read: a lookup through the site's cache, or the literal read once and kept.
// The statements that take a short path (a condition `a < b` or `a == "x"`,
// an integer step `i += 1`, `add L i`) read their operands with peekPlain and
// use the Value where it lies, without copying it. Whenever a short path
// cannot decide — a literal not read yet or unreadable, kinds or operators it
// does not handle — it gives the statement to the general path, which reads
// every operand again from the start. Since the peek changed nothing, the
// result, the errors and their order are exactly the general path's.
#pragma once

#include "exec/View.h"
#include "parse/Code.h"
#include "values/Value.h"

namespace vorn {

inline bool isPlainOperand(const Operand& operand) {
    return (operand.form == Operand::Form::Number || operand.form == Operand::Form::Literal) && !operand.isNot;
}

// The Value a plain operand reads (a name's Value first, else the literal's),
// borrowed; null when the operand is not plain or its literal has not been
// read successfully yet. Valid until something with effects runs.
inline const Value* peekPlain(const Operand& operand, const View& view) {
    if (!isPlainOperand(operand)) return nullptr;
    if (const Cell* named = view.lookupCell(operand.text, operand.hash, operand.lookup)) return &named->value;
    const Operand::Literal* literal = operand.literal();
    return literal && !literal->fails ? &literal->value : nullptr;
}

// A statement's operand token when it is a plain operand on its own, or a
// group holding one plain operand ("x", "(x)"): its Value, borrowed, as
// peekPlain gives it; otherwise null.
inline const Value* peekPlainToken(const Operand& token, const View& view) {
    if (token.form != Operand::Form::Group) return peekPlain(token, view);
    const Expression& group = token.groupExpression();
    if (group.tooShort || group.tokens.size() != 1) return nullptr;
    return peekPlain(group.tokens[0], view);
}

}  // namespace vorn
