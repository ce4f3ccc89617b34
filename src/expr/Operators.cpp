// Operator table: logic, equality, comparisons, arithmetic, member access.
#include "expr/Operators.h"

#include <cstdint>

#include "values/Convert.h"
#include "values/Error.h"
#include "values/Limits.h"
#include "values/Messages.h"
#include "values/Numbers.h"

namespace vorn {

Operator operatorFromText(std::string_view text) {
    switch (text.size()) {
        case 1:
            switch (text[0]) {
                case '>': return Operator::Greater;
                case '<': return Operator::Less;
                case '+': return Operator::Plus;
                case '-': return Operator::Minus;
                case '*': return Operator::Times;
                case '/': return Operator::Divide;
                default: return Operator::None;
            }
        case 2:
            if (text == "or") return Operator::Or;
            if (text == "==") return Operator::Equal;
            if (text == "!=") return Operator::NotEqual;
            if (text == ">=") return Operator::GreaterEqual;
            if (text == "<=") return Operator::LessEqual;
            if (text == "->") return Operator::Member;
            return Operator::None;
        case 3: return text == "and" ? Operator::And : Operator::None;
        default: return Operator::None;
    }
}

namespace {

Value boolean(bool b) { return Value::ofInteger(b ? 1 : 0); }

// Text repetition; the count is the low 32 bits of the right operand, and a
// count of zero or less gives the empty text.
Value repeat(const Value& left, std::int64_t rawCount) {
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(rawCount)));
    const std::string& unit = left.text.str();
    if (count <= 0 || unit.empty()) return Value::ofText(std::string());
    const std::size_t total = unit.size() * static_cast<std::size_t>(count);
    Limits::checkTextSize(total);
    std::string out;
    out.reserve(total);
    for (std::int32_t i = 0; i < count; ++i) out += unit;
    return Value::ofText(std::move(out));
}

}  // namespace

bool appendInPlace(Value& target, const Value& right, Operator op) {
    if (op == Operator::Plus && target.kind == Kind::String && right.kind == Kind::String) {
        // Appending in place keeps `s += c` linear.
        Limits::checkTextSize(target.text.size() + right.text.size());
        if (&right == &target) {
            // `s += s`: a string appended to itself is well defined.
            std::string& text = target.text.edit();
            text.append(text);
        } else if (const std::string_view bytes = right.text.view(); bytes.size() == 1) {
            // The common step of a loop that builds a text character by character.
            target.text.edit().push_back(bytes[0]);
        } else {
            target.text.edit() += bytes;
        }
        target.integer = 0;
        target.items.clear();
        target.dropExtras();
        return true;
    }
    return false;
}

bool realInPlace(Value& target, const Value& right, Operator op) {
    if (op != Operator::Plus && op != Operator::Minus && op != Operator::Times && op != Operator::Divide) return false;
    if (right.kind != Kind::Float && right.kind != Kind::Integer) return false;
    // The result has every field but the number at its default: so must
    // the target, the other fields of its box included.
    if (!target.isPlainReal()) return false;
    const long double result = realArithmetic(target.real(), [&] { return realOf(right); }, op);
    if (ValueExtras::isPlainZero(result)) target.dropExtras();
    else target.setReal(result);
    return true;
}

Value applyOperator(const Value& left, const Value& right, Operator op) {
    if (left.kind == Kind::Integer && right.kind == Kind::Integer) {
        if (const auto result = integerOperator(left.integer, right.integer, op)) return Value::ofInteger(*result);
    }
    const bool anyFloat = left.kind == Kind::Float || right.kind == Kind::Float;
    switch (op) {
        case Operator::And:
            if (integerOf(left) == 0) return boolean(false);
            return boolean(integerOf(right) != 0);
        case Operator::Or:
            if (integerOf(left) != 0) return boolean(true);
            return boolean(integerOf(right) != 0);
        case Operator::Equal: return boolean(valuesEqual(left, right));
        case Operator::NotEqual: return boolean(!valuesEqual(left, right));
        case Operator::Greater: { const long double l = realOf(left); return boolean(l > realOf(right)); }
        case Operator::GreaterEqual: { const long double l = realOf(left); return boolean(l >= realOf(right)); }
        case Operator::Less: { const long double l = realOf(left); return boolean(l < realOf(right)); }
        case Operator::LessEqual: { const long double l = realOf(left); return boolean(l <= realOf(right)); }
        case Operator::Plus:
            if (left.kind == Kind::String && right.kind == Kind::String) {
                Limits::checkTextSize(left.text.size() + right.text.size());
                std::string out;
                out.reserve(left.text.size() + right.text.size());
                out += left.text.view();
                out += right.text.view();
                return Value::ofText(std::move(out));
            }
            if (!anyFloat) { const std::int64_t l = integerOf(left); return Value::ofInteger(wrapAdd(l, integerOf(right))); }
            return Value::ofReal(realArithmetic(realOf(left), [&] { return realOf(right); }, op));
        case Operator::Minus:
            if (!anyFloat) { const std::int64_t l = integerOf(left); return Value::ofInteger(wrapSub(l, integerOf(right))); }
            return Value::ofReal(realArithmetic(realOf(left), [&] { return realOf(right); }, op));
        case Operator::Times:
            if (left.kind == Kind::String && right.kind == Kind::Integer) return repeat(left, right.integer);
            if (!anyFloat) { const std::int64_t l = integerOf(left); return Value::ofInteger(wrapMul(l, integerOf(right))); }
            return Value::ofReal(realArithmetic(realOf(left), [&] { return realOf(right); }, op));
        case Operator::Divide:
            // A zero dividend gives zero before the divisor is even read.
            if (!anyFloat) {
                const std::int64_t l = integerOf(left);
                if (l == 0) return Value::ofInteger(0);
                const std::int64_t r = integerOf(right);
                return Value::ofInteger(r == 0 ? 0 : wrapDiv(l, r));
            }
            return Value::ofReal(realArithmetic(realOf(left), [&] { return realOf(right); }, op));
        case Operator::Member: {
            const Text name = textOf(right);
            const Item* member = left.members().find(name.view());
            if (!member) throw ScriptError(messages::kNoSuchMember, name.str());
            Value scratch;
            return member->read(scratch);
        }
        case Operator::None: break;
    }
    return Value();
}

}  // namespace vorn

