// The thirteen binary operators of VORN, applied strictly to two Values.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "values/Numbers.h"
#include "values/Value.h"

namespace vorn {

enum class Operator : std::uint8_t {
    And, Or, Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, Plus, Minus, Times, Divide, Member, None,
};

// The operator that text names; Operator::None for any other text.
Operator operatorFromText(std::string_view text);

// The result of op on two integers when it is an integer computed from the
// two numbers alone (every operator but "->" and unknown texts): exactly
// what applyOperator gives for two Values of kind "integer". This is the
// one integer rule: applyOperator, applyInPlace and the evaluator's rows of
// plain integers all take it from here.
inline std::optional<std::int64_t> integerOperator(std::int64_t l, std::int64_t r, Operator op) {
    switch (op) {
        case Operator::And: return l != 0 && r != 0;
        case Operator::Or: return l != 0 || r != 0;
        // Every 64-bit integer converts exactly to the extended-precision
        // number the general rules compare, so comparing the integers
        // themselves gives the same answers.
        case Operator::Equal: return l == r;
        case Operator::NotEqual: return l != r;
        case Operator::Greater: return l > r;
        case Operator::GreaterEqual: return l >= r;
        case Operator::Less: return l < r;
        case Operator::LessEqual: return l <= r;
        case Operator::Plus: return wrapAdd(l, r);
        case Operator::Minus: return wrapSub(l, r);
        case Operator::Times: return wrapMul(l, r);
        case Operator::Divide: return (l == 0 || r == 0) ? 0 : wrapDiv(l, r);
        case Operator::Member:
        case Operator::None: break;
    }
    return std::nullopt;
}

// The result of op on two Values when it is an integer that needs no new
// Value: two integers under an operator with an integer rule, or two texts
// compared for equality (byte for byte, as valuesEqual compares two texts).
// Exactly the integer applyOperator gives; nothing otherwise.
inline std::optional<std::int64_t> integerResult(const Value& left, const Value& right, Operator op) {
    if (left.kind == Kind::Integer && right.kind == Kind::Integer) return integerOperator(left.integer, right.integer, op);
    if (left.kind == Kind::String && right.kind == Kind::String) {
        if (op == Operator::Equal) return sameBytes(left.text.view(), right.text.view());
        if (op == Operator::NotEqual) return !sameBytes(left.text.view(), right.text.view());
    }
    return std::nullopt;
}

// The float rule of "+", "-", "*" and "/" (op is one of them), from the
// left number and a reader of the right one: a zero dividend gives zero
// before the divisor is even read, and a zero divisor gives zero.
template <class ReadRight>
inline long double realArithmetic(long double l, ReadRight&& readRight, Operator op) {
    switch (op) {
        case Operator::Plus: return l + readRight();
        case Operator::Minus: return l - readRight();
        case Operator::Times: return l * readRight();
        default: {
            if (l == 0) return 0.0L;
            const long double r = readRight();
            return r == 0 ? 0.0L : l / r;
        }
    }
}

// A text joined to a text in place (see applyInPlace).
bool appendInPlace(Value& target, const Value& right, Operator op);
// A float's arithmetic with a number in place (see applyInPlace).
bool realInPlace(Value& target, const Value& right, Operator op);

// Applies op to target and right leaving the result in target itself, when
// that needs no new Value: two integers under an operator with an integer
// rule, a text joined to a text, or a float and a number under "+", "-",
// "*" or "/" (the float keeps its box). The result is exactly applyOperator's,
// with every other field at its default. False (target unchanged) for
// everything else, and for an integer target that still carries payloads
// of an earlier kind, which the kind trim must see go.
inline bool applyInPlace(Value& target, const Value& right, Operator op) {
    if (target.kind == Kind::Integer && right.kind == Kind::Integer) {
        if (target.hasStalePayload()) return false;
        const std::optional<std::int64_t> result = integerOperator(target.integer, right.integer, op);
        if (!result) return false;
        target.integer = *result;
        target.dropExtras();
        return true;
    }
    if (target.kind == Kind::Float) return realInPlace(target, right, op);
    return appendInPlace(target, right, op);
}

// Applies op to copies of left and right; neither operand changes. Any text
// that is no operator yields a default ("unspecified") Value.
Value applyOperator(const Value& left, const Value& right, Operator op);
inline Value applyOperator(const Value& left, const Value& right, std::string_view opText) {
    return applyOperator(left, right, operatorFromText(opText));
}

}  // namespace vorn
