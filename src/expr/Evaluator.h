// Expression evaluation: flat rows of operands and operators, left to right.
//
// An expression is the first statement of its text's split: operand,
// operator, operand, ... applied strictly from left to right, with
// parenthesised operands as the only grouping and "not" opening a step.
// Every operand is first looked up as a variable name, whatever it looks like.
#pragma once

#include <cstdint>
#include <string_view>

#include "exec/View.h"
#include "parse/Code.h"
#include "values/Convert.h"
#include "values/Value.h"

namespace vorn {

// With inline blocks on, an operand "{...}" runs at once and yields its
// return value; off, it yields a "func" Value holding the token.
enum class InlineBlocks : bool { Off = false, On = true };

Value evaluateExpression(std::string_view text, const View& view, InlineBlocks inlineBlocks);
Value evaluateExpression(const Expression& expression, const View& view, InlineBlocks inlineBlocks);
Value evaluateOperand(const Operand& operand, const View& view, InlineBlocks inlineBlocks);

// An expression of one operand: token alone, evaluated where it stands.
Value evaluateAlone(const Operand& token, const View& view, InlineBlocks inlineBlocks);

// A statement's operand token is an expression text of its own. Split again,
// a token that is not a group gives itself alone, so it is evaluated as that
// operand without an expression holding a second record of it ("not" alone
// is still the expression that fails).
inline Value evaluateToken(const Operand& token, const View& view, InlineBlocks inlineBlocks) {
    if (token.form != Operand::Form::Group && !token.isNot) return evaluateAlone(token, view, inlineBlocks);
    return evaluateExpression(token.groupExpression(), view, inlineBlocks);
}

// A plain operand is a name, a text or a number (no call, group, block or
// "not"): reading it has no effects.
inline bool isPlainOperand(const Operand& operand) {
    return (operand.form == Operand::Form::Number || operand.form == Operand::Form::Literal) && !operand.isNot;
}
// The Value of a text or number token, read once and kept on the token;
// raises the token's error when it is no readable literal (naming the
// nearest name the view shows when the token names nothing).
const Value& readLiteral(const Operand& operand, const View& view);

// The Value a plain operand reads, where it lies: a name's Value, else the
// literal's (raising the literal's error as evaluating it would). Valid
// until something with effects runs.
[[gnu::always_inline]] inline const Value& plainValue(const Operand& operand, const View& view) {
    if (const Cell* named = view.lookupCell(operand)) return named->value;
    const Operand::Literal* literal = operand.literal();
    if (literal && !literal->fails) [[likely]] return literal->value;
    return readLiteral(operand, view);
}

// Whether expression is a row "a op b op c ..." of plain operands whose
// every step has an integer result without a new Value (integerResult:
// integers under an integer rule, or two texts compared for equality in
// the first step), and if so its result, computed left to right.
bool integerRowOfPlain(const Expression& expression, const View& view, std::int64_t& result);
inline bool integerRow(const Expression& expression, const View& view, std::int64_t& result) {
    return expression.plainRow && integerRowOfPlain(expression, view, result);
}
// Any other expression (not one plain operand alone, no row of plain
// integers), applied operand by operand.
Value evaluateRow(const Expression& expression, const View& view, InlineBlocks inlineBlocks);

// The same Value as evaluateExpression, without a copy where none is needed.
// One plain operand alone is read where it lies; a row of plain operands
// holding integers under integer operators is computed into scratch without
// a Value per operand; anything else is evaluated into scratch. Every
// statement and every call argument reads its operands through here, so the
// integer rule of the operators (integerOperator) is taken in one place.
// The result is valid until something with effects runs. scratch must be
// a default Value (an integer result only sets its kind and integer).
inline const Value& evaluateInPlace(const Expression& expression, const View& view, InlineBlocks inlineBlocks,
                                    Value& scratch) {
    if (!expression.tooShort && expression.tokens.size() == 1 && isPlainOperand(expression.tokens[0]))
        return plainValue(expression.tokens[0], view);
    std::int64_t result;
    if (integerRow(expression, view, result)) {
        scratch.kind = Kind::Integer;
        scratch.integer = result;
    } else {
        scratch = evaluateRow(expression, view, inlineBlocks);
    }
    return scratch;
}
// The same for a statement's operand token (see evaluateToken).
[[gnu::always_inline]] inline const Value& evaluateTokenInPlace(const Operand& token, const View& view,
                                                                InlineBlocks inlineBlocks, Value& scratch) {
    if (token.form != Operand::Form::Group && !token.isNot) {
        if (isPlainOperand(token)) return plainValue(token, view);
        scratch = evaluateAlone(token, view, inlineBlocks);
        return scratch;
    }
    return evaluateInPlace(token.groupExpression(), view, inlineBlocks, scratch);
}
// The integer form of what a statement's operand token gives (a condition,
// a position), through the same paths.
std::int64_t evaluateTokenIntegerOther(const Operand& token, const View& view, InlineBlocks inlineBlocks);
inline std::int64_t evaluateTokenInteger(const Operand& token, const View& view, InlineBlocks inlineBlocks) {
    std::int64_t result;
    if (token.form == Operand::Form::Group && integerRow(token.groupExpression(), view, result)) return result;
    return evaluateTokenIntegerOther(token, view, inlineBlocks);
}
// What evaluateInPlace gave, as a Value of its own.
inline Value ownValue(const Value& value, Value& scratch) {
    if (&value == &scratch) return std::move(scratch);
    return value;
}
// The same in a new cell: scratch moved in, or the Value copied there once.
inline ValueRef ownCell(const Value& value, Value& scratch) {
    return &value == &scratch ? newValue(std::move(scratch)) : newValue(value);
}

// Calls: "$f", "$f$(a b)", "$f$(a)$L(x y)".
Value performCall(const CallSite& call, const View& view);
Value performCall(std::string_view callText, const View& view);

}  // namespace vorn
