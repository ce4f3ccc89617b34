// Expression evaluation: flat rows of operands and operators, left to right.
//
// An expression is the first statement of its text's split: operand,
// operator, operand, ... applied strictly from left to right, with
// parenthesised operands as the only grouping and "not" opening a step.
// Every operand is first looked up as a variable name, whatever it looks like.
#pragma once

#include <string_view>

#include "exec/View.h"
#include "parse/Code.h"
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

// Calls: "$f", "$f$(a b)", "$f$(a)$L(x y)".
Value performCall(const CallSite& call, const View& view);
Value performCall(std::string_view callText, const View& view);

}  // namespace vorn
