// Unit tests of the binary operator table: result kinds, values and the
// conversion errors that pass through it.
#include "expr/Operators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "values/Error.h"

using namespace vorn;

// Expects `statement` to raise a ScriptError whose text is exactly `message`.
#define EXPECT_SCRIPT_ERROR(statement, message)                                          \
    do {                                                                                 \
        try {                                                                            \
            (void)(statement);                                                           \
            ADD_FAILURE() << "no error from " #statement ", expected \"" << (message) << "\""; \
        } catch (const vorn::ScriptError& error_) {                                      \
            EXPECT_EQ(std::string(error_.what()), std::string(message)) << #statement;   \
        }                                                                                \
    } while (0)

namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

Value I(std::int64_t i) { return Value::ofInteger(i); }
Value F(long double r) { return Value::ofReal(r); }
Value S(const std::string& s) { return Value::ofText(s); }
Value nan() { return Value::ofReal(std::numeric_limits<long double>::quiet_NaN()); }
Value L(std::vector<Value> elements) {
    ItemList items;
    for (Value& e : elements) items.push_back(newValue(std::move(e)));
    return Value::ofList(std::move(items));
}

Value op(const Value& left, std::string_view text, const Value& right) { return applyOperator(left, right, text); }

::testing::AssertionResult isInteger(const Value& v, std::int64_t expected) {
    if (v.kind != Kind::Integer)
        return ::testing::AssertionFailure() << "kind \"" << kindName(v.kind) << "\", expected integer " << expected;
    if (v.integer != expected) return ::testing::AssertionFailure() << "integer " << v.integer << ", expected " << expected;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isFloat(const Value& v, long double expected) {
    if (v.kind != Kind::Float)
        return ::testing::AssertionFailure() << "kind \"" << kindName(v.kind) << "\", expected float "
                                             << static_cast<double>(expected);
    if (!(v.real() == expected))
        return ::testing::AssertionFailure() << "float " << static_cast<double>(v.real()) << ", expected "
                                             << static_cast<double>(expected);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isText(const Value& v, const std::string& expected) {
    if (v.kind != Kind::String)
        return ::testing::AssertionFailure() << "kind \"" << kindName(v.kind) << "\", expected text \"" << expected << "\"";
    if (v.text.str() != expected)
        return ::testing::AssertionFailure() << "text \"" << v.text.str() << "\", expected \"" << expected << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isUnspecified(const Value& v) {
    if (v.kind != Kind::Unspecified) return ::testing::AssertionFailure() << "kind \"" << kindName(v.kind) << "\"";
    if (v.integer != 0 || v.real() != 0.0L || !v.text.empty() || !v.items.empty() || !v.members().empty())
        return ::testing::AssertionFailure() << "payload not empty";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(OperatorsTable, EveryOperatorTextIsRecognisedExactly) {
    const std::vector<std::pair<std::string, Operator>> names = {
        {"and", Operator::And},  {"or", Operator::Or},       {"==", Operator::Equal},  {"!=", Operator::NotEqual},
        {">", Operator::Greater}, {">=", Operator::GreaterEqual}, {"<", Operator::Less}, {"<=", Operator::LessEqual},
        {"+", Operator::Plus},   {"-", Operator::Minus},     {"*", Operator::Times},   {"/", Operator::Divide},
        {"->", Operator::Member},
    };
    for (const auto& [text, expected] : names) EXPECT_EQ(operatorFromText(text), expected) << text;
    for (const char* text : {"%", "", "=", "AND", "Or", "not", "=>", "<>", "+=", "--", "and ", " and", "**", "==="})
        EXPECT_EQ(operatorFromText(text), Operator::None) << "\"" << text << "\"";
}

TEST(OperatorsTable, UnknownOperatorYieldsADefaultValue) {
    EXPECT_TRUE(isUnspecified(op(I(1), "%", I(2))));
    EXPECT_TRUE(isUnspecified(op(S("a"), "=", S("a"))));
    // No conversion is attempted, so even unreadable operands raise nothing.
    EXPECT_TRUE(isUnspecified(op(S("abc"), "^", F(1.0L))));
}

TEST(OperatorsLogic, AndOrGiveZeroOrOneAndSkipTheRightConversion) {
    EXPECT_TRUE(isInteger(op(I(2), "and", I(3)), 1));
    EXPECT_TRUE(isInteger(op(I(-1), "and", I(1)), 1));
    EXPECT_TRUE(isInteger(op(I(1), "and", I(0)), 0));
    EXPECT_TRUE(isInteger(op(I(0), "or", I(0)), 0));
    EXPECT_TRUE(isInteger(op(I(0), "or", I(5)), 1));
    EXPECT_TRUE(isInteger(op(I(kMin64), "or", I(0)), 1));

    EXPECT_TRUE(isInteger(op(I(0), "and", S("x")), 0));
    EXPECT_TRUE(isInteger(op(I(1), "or", S("x")), 1));
    EXPECT_SCRIPT_ERROR(op(I(1), "and", S("x")), "stoi: x");
    EXPECT_SCRIPT_ERROR(op(I(0), "or", S("x")), "stoi: x");
    EXPECT_SCRIPT_ERROR(op(S("x"), "and", I(0)), "stoi: x");
}

TEST(OperatorsLogic, TruthIsTheIntegerForm) {
    // The integer form of 0.5 is 0; of 1e10 and NaN the smallest 32-bit integer.
    EXPECT_TRUE(isInteger(op(F(0.5L), "and", I(1)), 0));
    EXPECT_TRUE(isInteger(op(F(-0.9L), "or", I(0)), 0));
    EXPECT_TRUE(isInteger(op(F(1e10L), "and", I(1)), 1));
    EXPECT_TRUE(isInteger(op(nan(), "and", I(1)), 1));
    EXPECT_TRUE(isInteger(op(S("5"), "and", S(" 7")), 1));
    EXPECT_TRUE(isInteger(op(S("0abc"), "or", S("00")), 0));
    // Kinds without a number are false.
    EXPECT_TRUE(isInteger(op(L({I(1)}), "or", Value()), 0));
    EXPECT_TRUE(isInteger(op(Value::ofFunc(Text("{1}")), "or", I(0)), 0));
}

TEST(OperatorsEquality, FollowsValueEquality) {
    EXPECT_TRUE(isInteger(op(I(1), "==", F(1.0L)), 1));
    EXPECT_TRUE(isInteger(op(I(1), "==", S("1.0")), 1));
    EXPECT_TRUE(isInteger(op(S("1"), "==", S("1.0")), 0));
    EXPECT_TRUE(isInteger(op(S("a"), "!=", S("b")), 1));
    EXPECT_TRUE(isInteger(op(S("a"), "==", S("a")), 1));
    EXPECT_TRUE(isInteger(op(S("a"), "!=", S("a")), 0));
    EXPECT_TRUE(isInteger(op(L({I(1), S("a")}), "==", S("[1, \"a\"]")), 1));
    EXPECT_TRUE(isInteger(op(I(kMax64), "==", I(kMax64 - 1)), 0));
    EXPECT_TRUE(isInteger(op(nan(), "==", nan()), 0));
    EXPECT_TRUE(isInteger(op(nan(), "!=", nan()), 1));
    EXPECT_SCRIPT_ERROR(op(I(1), "==", S("abc")), "stold: abc");
    EXPECT_SCRIPT_ERROR(op(S("abc"), "!=", I(1)), "stold: abc");
}

TEST(OperatorsEquality, ScaffoldsCompareByMemberIdentity) {
    Value object;
    object.kind = Kind::Scaffold;
    object.setMembers(MemberTable::of({{intern("x"), newValue(I(1))}}));
    const Value copy = object;
    Value twin;
    twin.kind = Kind::Scaffold;
    twin.setMembers(MemberTable::of({{intern("x"), newValue(I(1))}}));
    EXPECT_TRUE(isInteger(op(object, "==", copy), 1));
    EXPECT_TRUE(isInteger(op(object, "==", twin), 0));
    EXPECT_TRUE(isInteger(op(object, "!=", twin), 1));
    EXPECT_TRUE(isInteger(op(object, "==", S("")), 1));
}

TEST(OperatorsCompare, AlwaysInExtendedPrecision) {
    EXPECT_TRUE(isInteger(op(I(3), ">", I(2)), 1));
    EXPECT_TRUE(isInteger(op(I(2), ">", I(2)), 0));
    EXPECT_TRUE(isInteger(op(I(2), ">=", I(2)), 1));
    EXPECT_TRUE(isInteger(op(I(2), "<", F(2.5L)), 1));
    EXPECT_TRUE(isInteger(op(F(2.5L), "<=", I(2)), 0));
    EXPECT_TRUE(isInteger(op(S("10"), ">", S("9")), 1));  // numbers, not texts
    EXPECT_TRUE(isInteger(op(S("2"), ">=", I(2)), 1));
    // Neighbouring 64-bit integers stay distinct.
    EXPECT_TRUE(isInteger(op(I(kMax64), ">", I(kMax64 - 1)), 1));
    EXPECT_TRUE(isInteger(op(I(kMin64), "<", I(kMin64 + 1)), 1));
    // Kinds without a number compare as zero.
    EXPECT_TRUE(isInteger(op(L({I(9)}), "<", I(1)), 1));
}

TEST(OperatorsCompare, NanMakesAllFourFalse) {
    for (const char* text : {">", ">=", "<", "<="}) {
        EXPECT_TRUE(isInteger(op(nan(), text, I(1)), 0)) << text;
        EXPECT_TRUE(isInteger(op(I(1), text, nan()), 0)) << text;
        EXPECT_TRUE(isInteger(op(nan(), text, nan()), 0)) << text;
    }
}

TEST(OperatorsCompare, TextsHaveNoOrder) {
    EXPECT_SCRIPT_ERROR(op(S("a"), "<", S("b")), "stold: a");
    EXPECT_SCRIPT_ERROR(op(I(1), ">=", S("b")), "stold: b");
    EXPECT_SCRIPT_ERROR(op(S("1"), "<=", S("")), "stold");
}

TEST(OperatorsPlus, TextsJoinOtherwiseIntegerUnlessAFloatIsInvolved) {
    EXPECT_TRUE(isInteger(op(I(2), "+", I(3)), 5));
    EXPECT_TRUE(isFloat(op(I(2), "+", F(3.0L)), 5.0L));
    EXPECT_TRUE(isInteger(op(S("2.5"), "+", I(1)), 3));
    EXPECT_TRUE(isFloat(op(S("2.5"), "+", F(1.0L)), 3.5L));
    EXPECT_TRUE(isText(op(S("ab"), "+", S("cd")), "abcd"));
    EXPECT_TRUE(isText(op(S(""), "+", S("")), ""));
    EXPECT_TRUE(isText(op(S("12"), "+", S("1")), "121"));
    EXPECT_TRUE(isInteger(op(S("12"), "+", I(1)), 13));
    EXPECT_TRUE(isInteger(op(I(1), "+", S("12")), 13));
    EXPECT_SCRIPT_ERROR(op(S("ab"), "+", I(1)), "stoi: ab");
    EXPECT_SCRIPT_ERROR(op(S("ab"), "+", F(1.0L)), "stold: ab");
    // A float payload is read with extended precision.
    EXPECT_TRUE(isFloat(op(F(0.1L), "+", F(0.2L)), 0.1L + 0.2L));
    // Other kinds take the integer path with the number zero.
    EXPECT_TRUE(isInteger(op(L({I(4)}), "+", I(1)), 1));
    EXPECT_TRUE(isFloat(op(L({I(4)}), "+", F(1.5L)), 1.5L));
    EXPECT_TRUE(isInteger(op(Value(), "+", Value()), 0));
    EXPECT_TRUE(isInteger(op(Value::ofFunc(Text("{5}")), "+", I(2)), 2));
}

TEST(OperatorsMinus, IntegerUnlessAFloatIsInvolved) {
    EXPECT_TRUE(isInteger(op(I(2), "-", I(5)), -3));
    EXPECT_TRUE(isFloat(op(F(2.5L), "-", I(5)), -2.5L));
    EXPECT_TRUE(isInteger(op(S("7"), "-", S("2")), 5));  // two texts: numbers, not text
    EXPECT_SCRIPT_ERROR(op(S("a"), "-", S("b")), "stoi: a");
}

TEST(OperatorsTimes, TextOnTheLeftRepeats) {
    EXPECT_TRUE(isText(op(S("ab"), "*", I(3)), "ababab"));
    EXPECT_TRUE(isText(op(S("ab"), "*", I(0)), ""));
    EXPECT_TRUE(isText(op(S("ab"), "*", I(-2)), ""));
    EXPECT_TRUE(isText(op(S(""), "*", I(1000)), ""));
    // The count is the low 32 bits of the integer.
    EXPECT_TRUE(isText(op(S("ab"), "*", I(4294967296LL + 2)), "abab"));
    EXPECT_TRUE(isText(op(S("ab"), "*", I(4294967296LL)), ""));
    EXPECT_TRUE(isText(op(S("x"), "*", I(kMin64 + 1)), "x"));
    EXPECT_SCRIPT_ERROR(op(I(3), "*", S("ab")), "stoi: ab");
    // Anything but an integer on the right is arithmetic.
    EXPECT_TRUE(isInteger(op(S("3"), "*", S("4")), 12));
    EXPECT_TRUE(isFloat(op(S("3"), "*", F(2.0L)), 6.0L));
    EXPECT_SCRIPT_ERROR(op(S("ab"), "*", S("2")), "stoi: ab");
    EXPECT_SCRIPT_ERROR(op(S("ab"), "*", F(2.0L)), "stold: ab");
}

TEST(OperatorsTimes, Arithmetic) {
    EXPECT_TRUE(isInteger(op(I(6), "*", I(-7)), -42));
    EXPECT_TRUE(isFloat(op(I(3), "*", F(0.5L)), 1.5L));
}

TEST(OperatorsDivide, IntegerTruncatesAndZeroOnEitherSideGivesZero) {
    EXPECT_TRUE(isInteger(op(I(7), "/", I(2)), 3));
    EXPECT_TRUE(isInteger(op(I(-7), "/", I(2)), -3));
    EXPECT_TRUE(isInteger(op(I(7), "/", I(-2)), -3));
    EXPECT_TRUE(isInteger(op(I(7), "/", I(0)), 0));
    EXPECT_TRUE(isInteger(op(I(0), "/", I(7)), 0));
    EXPECT_TRUE(isInteger(op(S("9"), "/", S("2")), 4));
    EXPECT_TRUE(isInteger(op(I(7), "/", L({})), 0));
}

TEST(OperatorsDivide, FloatQuotientAndZeroOnEitherSideGivesZero) {
    EXPECT_TRUE(isFloat(op(F(7.0L), "/", I(2)), 3.5L));
    EXPECT_TRUE(isFloat(op(I(1), "/", F(3.0L)), 1.0L / 3.0L));
    EXPECT_TRUE(isFloat(op(F(7.0L), "/", I(0)), 0.0L));
    EXPECT_TRUE(isFloat(op(F(7.0L), "/", F(-0.0L)), 0.0L));
    EXPECT_TRUE(isFloat(op(F(0.0L), "/", F(2.0L)), 0.0L));
    EXPECT_TRUE(isFloat(op(F(0.5L), "/", I(0)), 0.0L));
    const Value q = op(nan(), "/", I(2));
    EXPECT_EQ(q.kind, Kind::Float);
    EXPECT_TRUE(std::isnan(q.real()));
}

TEST(OperatorsWrap, IntegerArithmeticWrapsAt64Bits) {
    EXPECT_TRUE(isInteger(op(I(kMax64), "+", I(1)), kMin64));
    EXPECT_TRUE(isInteger(op(I(kMin64), "-", I(1)), kMax64));
    EXPECT_TRUE(isInteger(op(I(kMax64), "*", I(2)), -2));
    EXPECT_TRUE(isInteger(op(I(kMin64), "*", I(-1)), kMin64));
    EXPECT_TRUE(isInteger(op(I(kMin64), "/", I(-1)), kMin64));
    EXPECT_TRUE(isInteger(op(I(kMin64), "/", I(1)), kMin64));
    EXPECT_TRUE(isInteger(op(I(kMax64), "/", I(-1)), -kMax64));
}

TEST(OperatorsMember, YieldsACopyOfTheNamedMember) {
    ValueRef x = newValue(I(1));
    ValueRef y = newValue(S("why"));
    Value object;
    object.kind = Kind::Scaffold;
    object.setMembers(MemberTable::of({{intern("x"), x}, {intern("y"), y}, {intern("1"), newValue(S("one"))}}));

    Value got = op(object, "->", S("x"));
    EXPECT_TRUE(isInteger(got, 1));
    got.integer = 50;
    EXPECT_EQ(x->integer, 1);

    EXPECT_TRUE(isText(op(object, "->", S("y")), "why"));
    // The name is the right operand's text form.
    EXPECT_TRUE(isText(op(object, "->", I(1)), "one"));

    EXPECT_SCRIPT_ERROR(op(object, "->", S("z")), "no such member: z");
    EXPECT_SCRIPT_ERROR(op(S("abc"), "->", S("x")), "no such member: x");
}

TEST(OperatorsOperands, NeitherOperandIsChanged) {
    const Value left = S("12");
    const Value right = F(2.0L);
    for (const char* text : {"and", "or", "==", "!=", ">", ">=", "<", "<=", "+", "-", "*", "/"}) {
        (void)op(left, text, right);
        EXPECT_EQ(left.kind, Kind::String) << text;
        EXPECT_EQ(left.text.str(), "12") << text;
        EXPECT_EQ(left.integer, 0) << text;
        EXPECT_EQ(right.kind, Kind::Float) << text;
        EXPECT_EQ(right.real(), 2.0L) << text;
    }
}

TEST(OperatorsResults, ResultCarriesOnlyItsOwnPayload) {
    // Results are fresh Values: no payload of an operand leaks into them.
    Value left = S("5");
    left.items.assign({newValue(I(1))});
    left.mutableArgNames().assign({"p"});
    for (const char* text : {"+", "-", "/", "==", "and"}) {
        const Value r = op(left, text, I(1));
        EXPECT_TRUE(r.items.empty()) << text;
        EXPECT_TRUE(r.argNames().empty()) << text;
        EXPECT_TRUE(r.text.empty()) << text;
    }
}

// Two integers take a shortcut past the conversions; it must agree with the
// general rules, which compare extended-precision numbers and fall back to a
// float only when a float is involved.
TEST(IntegerShortcut, AgreesWithTheGeneralRulesAtTheEdges) {
    const std::vector<std::int64_t> samples = {0, 1, -1, 2, 7, -7, kMax64, kMax64 - 1, kMin64, kMin64 + 1,
                                               std::int64_t(1) << 53, (std::int64_t(1) << 53) + 1};
    for (std::int64_t l : samples) {
        for (std::int64_t r : samples) {
            const std::string where = std::to_string(l) + " and " + std::to_string(r);
            // The same numbers as floats decide the comparisons exactly
            // (the 64-bit significand holds every integer).
            const long double lr = static_cast<long double>(l), rr = static_cast<long double>(r);
            EXPECT_TRUE(isInteger(op(I(l), "<", I(r)), lr < rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "<=", I(r)), lr <= rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), ">", I(r)), lr > rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), ">=", I(r)), lr >= rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "==", I(r)), lr == rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "!=", I(r)), lr != rr)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "and", I(r)), l != 0 && r != 0)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "or", I(r)), l != 0 || r != 0)) << where;
            EXPECT_TRUE(isInteger(op(I(l), "+", I(r)), static_cast<std::int64_t>(static_cast<std::uint64_t>(l) +
                                                                                  static_cast<std::uint64_t>(r))))
                << where;
            if (r != -1) {  // the smallest integer divided by -1 wraps; tested on its own
                EXPECT_TRUE(isInteger(op(I(l), "/", I(r)), (l == 0 || r == 0) ? 0 : l / r)) << where;
            }
        }
    }
    // Operators that are no integer rule keep their general meaning.
    EXPECT_EQ(op(I(1), "%", I(2)).kind, Kind::Unspecified);
    EXPECT_FALSE(integerOperator(1, 2, Operator::Member).has_value());
    EXPECT_FALSE(integerOperator(1, 2, Operator::None).has_value());
}
