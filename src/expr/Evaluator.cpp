// The expression evaluator and the operand forms: names, calls, groups,
// inline blocks, text literals and numbers.
#include "expr/Evaluator.h"

#include <optional>

#include "exec/NearName.h"
#include "exec/Run.h"
#include "values/Depth.h"
#include "values/Error.h"
#include "values/Messages.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

// Whether text starts like a number (blanks, a sign, then a digit, or a
// point and a digit), so that only its size can have made it unreadable.
bool startsLikeNumber(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string_view::npos) return false;
    if (text[i] == '+' || text[i] == '-') ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

// The error of a token that is neither a name nor readable as a number,
// saying what the token is: "stoi: unknown name prnt" and the like.
std::string unreadableOperand(const Operand& operand) {
    const std::string_view token = operand.text;
    const char* conversion = token.find('.') != std::string_view::npos ? "stold" : "stoi";
    const std::string shown(token.substr(0, 40));
    std::string detail;
    if (token.empty()) detail = "empty token (two blanks in a row, a blank at an end, or empty parentheses)";
    else if (operand.isNot) detail = "not in operand position";
    else if (operand.op != Operator::None) detail = "operator " + shown + " in operand position";
    else if (startsLikeNumber(token)) detail = "number out of range " + shown;
    else detail = "unknown name " + shown;
    return ScriptError(conversion, detail).what();
}

// The literal Value of a text or number token, as read the first time.
Operand::Literal readLiteralOnce(const Operand& operand) {
    Operand::Literal literal;
    try {
        if (operand.form == Operand::Form::Literal) {
            if (operand.text.size() < 2) throw ScriptError(messages::kTooShort, std::string(operand.text));
            literal.value = Value::ofText(std::string(operand.text.substr(1, operand.text.size() - 2)));
        } else if (operand.text.find('.') != std::string_view::npos) {
            literal.value = Value::ofReal(parseRealPrefix(operand.text));
        } else {
            literal.value = Value::ofInteger(parseIntPrefix(operand.text));
        }
    } catch (const ScriptError& e) {
        literal.fails = true;
        literal.value = Value::ofText(operand.form == Operand::Form::Number ? unreadableOperand(operand) : e.what());
    }
    return literal;
}

// Whether the token's error is "unknown name": a word, not an empty token,
// an operator or a number out of range.
bool namesNothing(const Operand& operand) {
    return operand.form == Operand::Form::Number && !operand.text.empty() && !operand.isNot &&
           operand.op == Operator::None && !startsLikeNumber(operand.text);
}

// A "not" that opens a step flips the integer field and keeps the kind.
void flipInteger(Value& v) { v.integer = v.integer == 0 ? 1 : 0; }

}  // namespace

const Value& readLiteral(const Operand& operand, const View& view) {
    const Operand::Literal* literal = operand.literal();
    if (!literal) literal = &operand.setLiteral(readLiteralOnce(operand));
    if (literal->fails) {
        std::string text = literal->value.text.str();
        if (namesNothing(operand)) text += nearNameHint(operand.text, view);
        throw ScriptError(std::move(text));
    }
    return literal->value;
}

Value evaluateOperand(const Operand& operand, const View& view, InlineBlocks inlineBlocks) {
    if (const Cell* named = view.lookupCell(operand)) return named->value;
    switch (operand.form) {
        case Operand::Form::Call: return performCall(operand.callSite(), view);
        case Operand::Form::Group: return evaluateExpression(operand.groupExpression(), view, InlineBlocks::On);
        case Operand::Form::Block: {
            if (inlineBlocks == InlineBlocks::Off) return Value::ofFunc(Text(std::string(operand.text)));
            const Block& body = operand.inlineBody();
            return runBlockAbove(view.interpreter(), body);
        }
        case Operand::Form::Literal:
        case Operand::Form::Number: return readLiteral(operand, view);
    }
    return Value();
}

Value evaluateAlone(const Operand& token, const View& view, InlineBlocks inlineBlocks) {
    // The depth an expression of its own would take.
    DepthGuard depth;
    return evaluateOperand(token, view, inlineBlocks);
}

Value evaluateExpression(std::string_view text, const View& view, InlineBlocks inlineBlocks) {
    auto expression = compileExpression(text);
    return evaluateExpression(*expression, view, inlineBlocks);
}

namespace {

bool isPlain(const Operand& operand) {
    return operand.form == Operand::Form::Number || operand.form == Operand::Form::Literal;
}

// An operand's value, read in place when the operand is a plain name or
// literal: reading it has no effects, so no copy (and no count) is needed
// as long as nothing with effects runs before the value is used; the
// evaluator takes a copy before it evaluates an operand that can run code.
class OperandValue {
public:
    void load(const Operand& operand, const View& view, InlineBlocks inlineBlocks) {
        if (isPlain(operand)) {
            ptr_ = &plainValue(operand, view);
        } else {
            own_.emplace(evaluateOperand(operand, view, inlineBlocks));
            ptr_ = &*own_;
        }
    }
    // Takes a copy now, before an operand with effects runs.
    void own() {
        if (own_) return;
        own_.emplace(*ptr_);
        ptr_ = &*own_;
    }
    const Value& get() const { return *ptr_; }
    Value& mutableCopy() {
        own();
        return *own_;
    }
    Value take() { return own_ ? std::move(*own_) : *ptr_; }
    void set(Value v) {
        own_.emplace(std::move(v));
        ptr_ = &*own_;
    }

private:
    std::optional<Value> own_;
    const Value* ptr_ = nullptr;
};

}  // namespace

namespace {

// The integer an operand of a plain row gives, when it gives one without a
// new Value: a name or number holding an integer, or a group (of plain
// operands only, see Expression::plainRow) that is one such operand or an
// integer row itself, as `((a * 2) + 1)` has.
bool integerOperand(const Operand& token, const View& view, std::int64_t& out) {
    if (token.form == Operand::Form::Group) {
        const DepthGuard depth;
        const Expression& inner = token.groupExpression();
        if (inner.tooShort || inner.tokens.size() != 1) return integerRow(inner, view, out);
        return isPlainOperand(inner.tokens[0]) && integerOperand(inner.tokens[0], view, out);
    }
    const Value& v = plainValue(token, view);
    if (v.kind != Kind::Integer) return false;
    out = v.integer;
    return true;
}

// A plain row with a group among its operands, taken as integerRow takes
// it: each operand an integer, the first step's included.
[[gnu::noinline]] bool integerRowOfGroups(const Expression& expression, const View& view, std::int64_t& out) {
    const TokenList& tokens = expression.tokens;
    std::int64_t result;
    if (!integerOperand(tokens[0], view, result)) return false;
    for (std::size_t i = 1; i + 1 < tokens.size(); i += 2) {
        std::int64_t b;
        if (!integerOperand(tokens[i + 1], view, b)) return false;
        const std::optional<std::int64_t> step = integerOperator(result, b, tokens[i].op);
        if (!step) return false;
        result = *step;
    }
    out = result;
    return true;
}

}  // namespace

// Reading plain operands, and evaluating groups of them, has no effects and
// reads them in the general path's order, so falling back to it after a row
// that is not all integers changes nothing (a name or literal that cannot be
// read raises the error the general path would raise first).
bool integerRowOfPlain(const Expression& expression, const View& view, std::int64_t& out) {
    if (expression.groupedRow) return integerRowOfGroups(expression, view, out);
    const TokenList& tokens = expression.tokens;
    const std::size_t n = tokens.size();
    const Value& a = plainValue(tokens[0], view);
    if (a.kind != Kind::Integer) {
        // A text opens an integer row only by being compared for equality.
        if (a.kind != Kind::String) return false;
        if (tokens[1].op != Operator::Equal && tokens[1].op != Operator::NotEqual) return false;
    }
    std::optional<std::int64_t> step = integerResult(a, plainValue(tokens[2], view), tokens[1].op);
    if (!step) return false;
    std::int64_t result = *step;
    for (std::size_t i = 3; i + 1 < n; i += 2) {
        const Value& b = plainValue(tokens[i + 1], view);
        if (b.kind != Kind::Integer) return false;
        step = integerOperator(result, b.integer, tokens[i].op);
        if (!step) return false;
        result = *step;
    }
    out = result;
    return true;
}

Value evaluateRow(const Expression& expression, const View& view, InlineBlocks inlineBlocks) {
    // `a op b` of two plain operands: the loop below would read a, then b,
    // and apply op once, with nothing to nest.
    if (expression.plainRow && !expression.groupedRow && expression.tokens.size() == 3) {
        const TokenList& tokens = expression.tokens;
        const Value& a = plainValue(tokens[0], view);
        return applyOperator(a, plainValue(tokens[2], view), tokens[1].op);
    }
    DepthGuard depth;
    if (expression.tooShort) throw ScriptError(messages::kTooShort, "(");
    const TokenList& tokens = expression.tokens;
    const std::size_t n = tokens.size();

    // The common case: one operand alone.
    if (n == 1 && !tokens[0].isNot) return evaluateOperand(tokens[0], view, inlineBlocks);

    Value result = Value::ofInteger(0);
    const Operand* pending = nullptr;
    bool firstPass = true;
    std::size_t i = 0;
    while (i < n) {
        bool negated = false;
        if (tokens[i].isNot) {
            negated = true;
            if (++i == n) throw ScriptError(messages::kTrailingNot);
        }
        OperandValue a;
        a.load(tokens[i++], view, inlineBlocks);
        if (negated && !firstPass) flipInteger(a.mutableCopy());
        if (pending && !pending->text.empty()) {
            a.set(applyOperator(result, a.get(), pending->op));
        }
        if (i == n) {
            result = a.take();
            if (firstPass && negated) flipInteger(result);
            return result;
        }
        const Operand& op = tokens[i++];
        if (i == n) throw ScriptError(messages::kMissingOperand, std::string(op.text));
        const Operand& right = tokens[i++];
        if (!isPlain(right)) a.own();
        OperandValue b;
        b.load(right, view, inlineBlocks);
        result = applyOperator(a.get(), b.get(), op.op);
        if (firstPass && negated) {
            result.kind = Kind::Integer;
            flipInteger(result);
        }
        if (i == n) return result;
        pending = &tokens[i++];
        firstPass = false;
    }
    return result;
}

Value evaluateExpression(const Expression& expression, const View& view, InlineBlocks inlineBlocks) {
    std::int64_t result;
    if (integerRow(expression, view, result)) return Value::ofInteger(result);
    return evaluateRow(expression, view, inlineBlocks);
}

// A token that is no group, or a group that is no row integerRow takes.
std::int64_t evaluateTokenIntegerOther(const Operand& token, const View& view, InlineBlocks inlineBlocks) {
    if (token.form != Operand::Form::Group && !token.isNot) {
        if (isPlainOperand(token)) return integerOf(plainValue(token, view));
        return integerOf(evaluateAlone(token, view, inlineBlocks));
    }
    const Expression& expression = token.groupExpression();
    if (!expression.tooShort && expression.tokens.size() == 1 && isPlainOperand(expression.tokens[0]))
        return integerOf(plainValue(expression.tokens[0], view));
    return integerOf(evaluateRow(expression, view, inlineBlocks));
}

}  // namespace vorn
