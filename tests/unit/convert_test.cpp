// Unit tests of kind conversion, text forms and equality.
#include "values/Convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "values/Depth.h"
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

Value nativeStub(const CallScope&) { return Value(); }

Value integer(std::int64_t i) { return Value::ofInteger(i); }
Value real(long double r) { return Value::ofReal(r); }
Value text(const std::string& s) { return Value::ofText(s); }
Value func(const std::string& s) { return Value::ofFunc(Text(s)); }
Value list(std::vector<Value> elements) {
    ItemList items;
    for (Value& e : elements) items.push_back(newValue(std::move(e)));
    return Value::ofList(std::move(items));
}
Value scaffold(const std::vector<std::pair<std::string, ValueRef>>& members) {
    Value v;
    v.kind = Kind::Scaffold;
    std::vector<MemberTable::Entry> entries;
    for (const auto& [name, member] : members) entries.push_back({intern(name), member});
    v.setMembers(MemberTable::of(std::move(entries)));
    return v;
}
Value bytes(std::vector<std::uint8_t> b) { return Value::ofBytes(std::move(b)); }
Value cfunc() {
    Value v;
    v.kind = Kind::CFunc;
    v.setNative(&nativeStub);
    return v;
}
Value wiped() {
    Value v = Value::ofText("gone");
    v.wipe();
    return v;
}

std::string textFormOf(const Value& v) { return textOf(v).str(); }
std::string funcTextOf(const Value& v) {
    const Value f = convertValue(v, Kind::Func);
    EXPECT_EQ(f.kind, Kind::Func);
    return f.text.str();
}

// The kinds with no text form and no number.
std::vector<Value> formlessValues() {
    return {bytes({65, 66}), scaffold({{"x", newValue(integer(1))}}), cfunc(), Value(), wiped()};
}

}  // namespace

TEST(ConvertToString, NumbersInDecimalAndTwentyDigitFloats) {
    EXPECT_EQ(textFormOf(integer(42)), "42");
    EXPECT_EQ(textFormOf(integer(-5)), "-5");
    EXPECT_EQ(textFormOf(integer(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(textFormOf(real(0.1L)), "0.1");
    EXPECT_EQ(textFormOf(real(2.0L)), "2");
    EXPECT_EQ(textFormOf(real(1e20L)), "1e+20");
    EXPECT_EQ(textFormOf(real(-2.5L)), "-2.5");

    const Value s = convertValue(integer(42), Kind::String);
    EXPECT_EQ(s.kind, Kind::String);
    EXPECT_EQ(s.text.str(), "42");
    // The integer payload rides along until the Value is trimmed.
    EXPECT_EQ(s.integer, 42);
}

TEST(ConvertToString, FuncKeepsItsTextAndParameterNames) {
    Value f = func("{ arg0 }");
    f.mutableArgNames().assign({"a", "b"});
    Value s = convertValue(f, Kind::String);
    EXPECT_EQ(s.kind, Kind::String);
    EXPECT_EQ(s.text.str(), "{ arg0 }");
    s.trimToKind();
    EXPECT_EQ(s.argNames().get(), (std::vector<std::string>{"a", "b"}));
}

TEST(ConvertToString, ListFormQuotesTextElements) {
    EXPECT_EQ(textFormOf(list({text("abc"), integer(1), real(2.5L)})), "[\"abc\", 1, 2.5]");
    EXPECT_EQ(textFormOf(list({})), "[]");
    EXPECT_EQ(textFormOf(list({text("")})), "[\"\"]");
    // Quotes inside texts are not escaped; nested lists are not quoted.
    EXPECT_EQ(textFormOf(list({list({integer(1), text("a")}), text("b \"q\"")})), "[[1, \"a\"], \"b \"q\"\"]");
    EXPECT_EQ(textFormOf(list({list({})})), "[[]]");
    // Elements without a text form leave empty places; a func is unquoted.
    EXPECT_EQ(textFormOf(list({scaffold({}), integer(1), Value(), bytes({1})})), "[, 1, , ]");
    EXPECT_EQ(textFormOf(list({func("{x}")})), "[{x}]");
}

TEST(ConvertToString, ListContainingItselfRaisesNestingTooDeep) {
    // Rendering recurses once per nested list; a list that contains itself
    // must end in an ordinary error, not a stack overflow. Run on a stack as
    // large as the interpreter's own.
    struct Outcome {
        std::string textError, funcError;
    } outcome;
    auto entry = [](void* raw) -> int {
        Outcome& o = *static_cast<Outcome*>(raw);
        ValueRef self = newValue(Value::ofList({}));
        self->items.edit().push_back(newValue(Value::ofInteger(1)));
        self->items.edit().push_back(self);
        try {
            (void)textOf(*self);
        } catch (const ScriptError& e) {
            o.textError = e.what();
        }
        try {
            (void)convertValue(*self, Kind::Func);
        } catch (const ScriptError& e) {
            o.funcError = e.what();
        }
        self->items.edit().clear();  // break the cycle
        return 0;
    };
    platform::runWithLargeStack(std::size_t(4) << 30, entry, &outcome);
    EXPECT_EQ(outcome.textError, kNestingTooDeep);
    EXPECT_EQ(outcome.funcError, kNestingTooDeep);
}

TEST(ConvertToString, FormlessKindsGiveEmptyText) {
    for (const Value& v : formlessValues()) {
        SCOPED_TRACE(std::string(kindName(v.kind)));
        const Value s = convertValue(v, Kind::String);
        EXPECT_EQ(s.kind, Kind::String);
        EXPECT_EQ(s.text.str(), "");
    }
}

TEST(ConvertToString, ScaffoldKeepsItsSharedMembers) {
    ValueRef x = newValue(integer(5));
    const Value object = scaffold({{"x", x}});
    Value s = convertValue(object, Kind::String);
    EXPECT_EQ(s.kind, Kind::String);
    EXPECT_EQ(s.text.str(), "");
    ASSERT_EQ(s.members().size(), 1u);
    EXPECT_EQ(*s.members().find("x"), x);

    // Trimming the text drops the member references without wiping the
    // members: they still belong to the object.
    s.trimToKind();
    EXPECT_TRUE(s.members().empty());
    EXPECT_EQ(x->kind, Kind::Integer);
    EXPECT_EQ(x->integer, 5);
    EXPECT_EQ(object.members().size(), 1u);
}

TEST(ConvertToString, SameKindIsReturnedUnchanged) {
    Value s = text("abc");
    s.integer = 9;
    s.items.assign({newValue(integer(1))});
    const Value same = convertValue(s, Kind::String);
    EXPECT_EQ(same.text.str(), "abc");
    EXPECT_EQ(same.integer, 9);
    EXPECT_EQ(same.items.size(), 1u);
}

TEST(ConvertToFunc, TextIntegerFloatAndListForms) {
    EXPECT_EQ(funcTextOf(text("{ $print$(1) }")), "{ $print$(1) }");
    EXPECT_EQ(funcTextOf(integer(7)), "7");
    EXPECT_EQ(funcTextOf(integer(-7)), "-7");
    EXPECT_EQ(funcTextOf(real(2.0L)), "2.000000");
    EXPECT_EQ(funcTextOf(real(2.5L)), "2.500000");
    EXPECT_EQ(funcTextOf(real(0.1L)), "0.100000");
    EXPECT_EQ(funcTextOf(list({text("abc"), integer(1)})), "[abc ,1]");
    EXPECT_EQ(funcTextOf(list({})), "[]");
    EXPECT_EQ(funcTextOf(list({text("a")})), "[a]");
    // Elements are written in their text form: a float with 20 digits, a
    // nested list in the quoted list form.
    EXPECT_EQ(funcTextOf(list({real(2.5L), list({text("x"), integer(2)})})), "[2.5 ,[\"x\", 2]]");
}

TEST(ConvertToFunc, FormlessKindsGiveEmptyText) {
    for (const Value& v : formlessValues()) {
        SCOPED_TRACE(std::string(kindName(v.kind)));
        EXPECT_EQ(funcTextOf(v), "");
    }
}

TEST(ConvertToInteger, TextReadsLikeStoi) {
    EXPECT_EQ(integerOf(text("12abc")), 12);
    EXPECT_EQ(integerOf(text(" -7")), -7);
    EXPECT_EQ(integerOf(text("2.5")), 2);
    EXPECT_EQ(integerOf(text("-2147483648")), -2147483648LL);
    EXPECT_SCRIPT_ERROR(integerOf(text("abc")), "stoi: abc");
    EXPECT_SCRIPT_ERROR(integerOf(text("")), "stoi");
    EXPECT_SCRIPT_ERROR(integerOf(text("3000000000")), "stoi: 3000000000");
}

TEST(ConvertToInteger, FloatTruncatesInto32Bits) {
    EXPECT_EQ(integerOf(real(2.9L)), 2);
    EXPECT_EQ(integerOf(real(-2.9L)), -2);
    EXPECT_EQ(integerOf(real(1e10L)), -2147483648LL);
    EXPECT_EQ(integerOf(real(std::numeric_limits<long double>::quiet_NaN())), -2147483648LL);
}

TEST(ConvertToInteger, OtherKindsGiveZero) {
    for (const Value& v : formlessValues()) EXPECT_EQ(integerOf(v), 0) << kindName(v.kind);
    EXPECT_EQ(integerOf(func("{5}")), 0);
    EXPECT_EQ(integerOf(func("5")), 0);
    EXPECT_EQ(integerOf(list({integer(5)})), 0);
    // A stale integer payload of another kind is not read.
    Value staleList = list({});
    staleList.integer = 8;
    EXPECT_EQ(integerOf(staleList), 0);
}

TEST(ConvertToFloat, TextReadsLikeStold) {
    EXPECT_EQ(realOf(text("2.5e3")), 2500.0L);
    EXPECT_EQ(realOf(text("1.5x")), 1.5L);
    EXPECT_EQ(realOf(text("0x10")), 16.0L);
    EXPECT_SCRIPT_ERROR(realOf(text("abc")), "stold: abc");
    EXPECT_SCRIPT_ERROR(realOf(text("1e99999")), "stold: 1e99999");
}

TEST(ConvertToFloat, IntegerConvertsExactlyAndOtherKindsGiveZero) {
    EXPECT_EQ(realOf(integer(std::numeric_limits<std::int64_t>::max())), 9223372036854775807.0L);
    EXPECT_EQ(realOf(integer(std::numeric_limits<std::int64_t>::max() - 1)), 9223372036854775806.0L);
    EXPECT_EQ(realOf(integer(std::numeric_limits<std::int64_t>::min())), -9223372036854775808.0L);
    for (const Value& v : formlessValues()) EXPECT_EQ(realOf(v), 0.0L) << kindName(v.kind);
    EXPECT_EQ(realOf(func("{1.5}")), 0.0L);
    EXPECT_EQ(realOf(list({real(1.5L)})), 0.0L);
}

TEST(ConvertToBytes, AlwaysEmpty) {
    for (const Value& v : {text("abc"), integer(65), real(1.0L), func("{x}"), list({integer(1)}), Value()}) {
        SCOPED_TRACE(std::string(kindName(v.kind)));
        Value withStaleBytes = v;
        withStaleBytes.mutableBytes().assign({1, 2, 3});
        const Value b = convertValue(withStaleBytes, Kind::Bytes);
        EXPECT_EQ(b.kind, Kind::Bytes);
        EXPECT_TRUE(b.bytes().empty());
    }
    // Bytes stay bytes.
    EXPECT_EQ(convertValue(bytes({7, 8}), Kind::Bytes).bytes().get(), (std::vector<std::uint8_t>{7, 8}));
}

TEST(ConvertToOtherKinds, NothingChanges) {
    for (Kind target : {Kind::List, Kind::Scaffold, Kind::CFunc, Kind::Unspecified, Kind::Wiped}) {
        SCOPED_TRACE(std::string("target ") + std::string(kindName(target)));
        const Value s = convertValue(text("abc"), target);
        EXPECT_EQ(s.kind, Kind::String);
        EXPECT_EQ(s.text.str(), "abc");
        EXPECT_TRUE(s.items.empty());
        const Value i = convertValue(integer(3), target);
        EXPECT_EQ(i.kind, Kind::Integer);
        EXPECT_EQ(i.integer, 3);
    }
}

TEST(ConvertInPlace, WrappersReplaceTheirArgument) {
    Value v = integer(12);
    EXPECT_EQ(asText(v), "12");
    EXPECT_EQ(v.kind, Kind::String);

    Value t = text("34x");
    EXPECT_EQ(asInteger(t), 34);
    EXPECT_EQ(t.kind, Kind::Integer);
    EXPECT_EQ(t.text.str(), "34x");  // stale until trimmed

    Value r = text("1.25");
    EXPECT_EQ(asReal(r), 1.25L);
    EXPECT_EQ(r.kind, Kind::Float);

    ValueRef element = newValue(integer(1));
    Value l = Value::ofList({element});
    const ItemList items = asList(l);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], element);
    EXPECT_EQ(l.kind, Kind::List);

    // Nothing converts to a list: a text stays a text and has no items.
    Value notAList = text("[1, 2]");
    EXPECT_TRUE(asList(notAList).empty());
    EXPECT_EQ(notAList.kind, Kind::String);

    Value b = text("AB");
    EXPECT_TRUE(asBytes(b).empty());
    EXPECT_EQ(b.kind, Kind::Bytes);

}

TEST(ConvertInPlace, FailedConversionLeavesTheArgumentAsItWas) {
    // The argument is replaced only by a finished conversion; an error leaves
    // it whole (kind and payloads), like any other abandoned operation.
    Value bad = text("zz");
    bad.mutableArgNames().assign({"p"});
    EXPECT_SCRIPT_ERROR(asInteger(bad), "stoi: zz");
    EXPECT_EQ(bad.kind, Kind::String);
    EXPECT_EQ(bad.text.str(), "zz");
    EXPECT_EQ(bad.argNames().size(), 1u);
    EXPECT_SCRIPT_ERROR(asReal(bad), "stold: zz");
    EXPECT_EQ(bad.text.str(), "zz");
}

TEST(ConvertEquality, NumbersCompareNumerically) {
    EXPECT_TRUE(valuesEqual(text("1.0"), integer(1)));
    EXPECT_TRUE(valuesEqual(integer(1), text("1.0")));
    EXPECT_TRUE(valuesEqual(integer(1), real(1.0L)));
    EXPECT_TRUE(valuesEqual(text(" 2.5abc"), real(2.5L)));
    EXPECT_FALSE(valuesEqual(integer(1), integer(2)));
    // Extended precision tells neighbouring 64-bit integers apart.
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    EXPECT_FALSE(valuesEqual(integer(big), integer(big - 1)));
    EXPECT_TRUE(valuesEqual(integer(big), real(9223372036854775807.0L)));
    // Kinds without a number read as zero next to a number.
    EXPECT_TRUE(valuesEqual(list({integer(5)}), integer(0)));
    EXPECT_TRUE(valuesEqual(real(0.0L), Value()));
}

TEST(ConvertEquality, NanEqualsNothing) {
    const Value nan = real(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_FALSE(valuesEqual(nan, nan));
    EXPECT_FALSE(valuesEqual(nan, text("nan")));
    EXPECT_FALSE(valuesEqual(nan, integer(0)));
}

TEST(ConvertEquality, TextsCompareByteForByte) {
    EXPECT_FALSE(valuesEqual(text("1.0"), text("1")));
    EXPECT_TRUE(valuesEqual(text("abc"), text("abc")));
    EXPECT_FALSE(valuesEqual(text("abc"), text("abc ")));
    EXPECT_FALSE(valuesEqual(text("a"), text("A")));
    EXPECT_TRUE(valuesEqual(text(std::string("a\0b", 3)), text(std::string("a\0b", 3))));
    EXPECT_FALSE(valuesEqual(text(std::string("a\0b", 3)), text(std::string("a\0c", 3))));
    // Non-numbers of other kinds compare through their text forms.
    EXPECT_TRUE(valuesEqual(list({integer(1), text("a")}), text("[1, \"a\"]")));
    EXPECT_TRUE(valuesEqual(func("{x}"), text("{x}")));
    EXPECT_TRUE(valuesEqual(Value(), text("")));
    EXPECT_TRUE(valuesEqual(wiped(), text("")));
    EXPECT_TRUE(valuesEqual(cfunc(), bytes({1, 2})));
    EXPECT_TRUE(valuesEqual(scaffold({{"x", newValue(integer(1))}}), text("")));
    EXPECT_FALSE(valuesEqual(scaffold({}), text(" ")));
}

TEST(ConvertEquality, TextThatIsNoNumberNextToANumberRaisesStold) {
    EXPECT_SCRIPT_ERROR(valuesEqual(text("abc"), integer(1)), "stold: abc");
    EXPECT_SCRIPT_ERROR(valuesEqual(integer(1), text("abc")), "stold: abc");
    EXPECT_SCRIPT_ERROR(valuesEqual(real(1.0L), text("")), "stold");
}

TEST(ConvertEquality, ScaffoldsAreEqualWhenTheyShareTheVeryMemberValues) {
    ValueRef x = newValue(integer(1));
    ValueRef y = newValue(text("a"));
    const Value object = scaffold({{"x", x}, {"y", y}});
    const Value copy = object;
    EXPECT_TRUE(valuesEqual(object, copy));
    EXPECT_TRUE(valuesEqual(object, scaffold({{"y", y}, {"x", x}})));
    EXPECT_TRUE(valuesEqual(scaffold({}), scaffold({})));

    // Equal contents in distinct Values are not enough.
    EXPECT_FALSE(valuesEqual(object, scaffold({{"x", newValue(integer(1))}, {"y", y}})));
    // Same Values under other names, or a member more or less, differ.
    EXPECT_FALSE(valuesEqual(object, scaffold({{"x", y}, {"y", x}})));
    EXPECT_FALSE(valuesEqual(object, scaffold({{"x", x}, {"z", y}})));
    EXPECT_FALSE(valuesEqual(object, scaffold({{"x", x}})));
    EXPECT_FALSE(valuesEqual(scaffold({{"x", x}}), object));
}
