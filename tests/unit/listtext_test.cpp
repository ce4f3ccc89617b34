// Unit tests of the list text and bytes text encodings behind encodelist,
// decodelist, encodebytes and decodebytes.
#include "builtins/ListText.h"
#include "TestInterpreter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <functional>
#include <string>
#include <vector>

#include "builtins/BuiltinTable.h"
#include "exec/View.h"
#include "expr/Evaluator.h"
#include "parse/Splitter.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Numbers.h"

using namespace vorn;

namespace {

// Expects `action` to raise a ScriptError whose text is `operation`, alone or
// followed by ": " and detail.
template <class Action>
void expectError(Action action, const std::string& operation) {
    try {
        action();
        ADD_FAILURE() << "no error, expected \"" << operation << "\"";
    } catch (const ScriptError& error) {
        const std::string text = error.what();
        EXPECT_TRUE(text == operation || text.rfind(operation + ": ", 0) == 0)
            << "got \"" << text << "\", expected \"" << operation << "\"";
    }
}

ValueRef integer(std::int64_t i) { return newValue(Value::ofInteger(i)); }
ValueRef real(long double r) { return newValue(Value::ofReal(r)); }
ValueRef text(const std::string& s) { return newValue(Value::ofText(s)); }
ValueRef list(ItemList items) { return newValue(Value::ofList(std::move(items))); }

// Element texts are evaluated as expressions; brace elements run blocks,
// which reach the builtins.
class ListText : public ::testing::Test {
protected:
};

// ---- writeListText ------------------------------------------------------------

TEST_F(ListText, WritesNestedListsTextsAndNumbers) {
    EXPECT_EQ(writeListText({}), "()");
    EXPECT_EQ(writeListText({integer(1), text("a b"), list({real(2.5L), text("x")})}), "(1 \"a b\" (2.5 \"x\"))");
    EXPECT_EQ(writeListText({list({}), list({list({})})}), "(() (()))");
}

TEST_F(ListText, WritesNumbersInTheirTextForm) {
    EXPECT_EQ(writeListText({real(3.0L), real(1e20L), real(-0.5L)}), "(3 1e+20 -0.5)");
    EXPECT_EQ(writeListText({integer(INT64_MIN), integer(-7)}), "(-9223372036854775808 -7)");
}

TEST_F(ListText, QuotesTextsWithoutEscaping) {
    EXPECT_EQ(writeListText({text("say \"hi\""), text("")}), "(\"say \"hi\"\" \"\")");
}

TEST_F(ListText, WritesFunctionsAsTheirCode) {
    EXPECT_EQ(writeListText({newValue(Value::ofFunc(Text(std::string("{ end 1 }"))))}), "({ end 1 })");
}

TEST_F(ListText, KindsWithoutTextFormLeaveEmptySlots) {
    ValueRef wiped = integer(5);
    wiped->wipe();
    Value builtin;
    builtin.kind = Kind::CFunc;
    Value scaffold;
    scaffold.kind = Kind::Scaffold;
    EXPECT_EQ(writeListText({newValue(), integer(1), newValue(Value::ofBytes({65, 66}))}), "( 1 )");
    EXPECT_EQ(writeListText({wiped, newValue(builtin), newValue(scaffold)}), "(  )");
}

TEST_F(ListText, TheKindDecidesNotTheLeftoverPayload) {
    // A list turned into a text still carries its items until it is trimmed;
    // it is written as the text it now is.
    const Value converted = convertValue(Value::ofList({integer(1)}), Kind::String);
    ASSERT_EQ(converted.items.get().size(), 1u);
    EXPECT_EQ(writeListText({newValue(converted)}), "(\"[1]\")");
}

// ---- readListText -------------------------------------------------------------

TEST_F(ListText, ReadsNestedStructureWithKinds) {
    const ItemList items = readListText(testInterpreter(), "(1 \"a\" (2 3))");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->kind, Kind::Integer);
    EXPECT_EQ(items[0]->integer, 1);
    EXPECT_EQ(items[1]->kind, Kind::String);
    EXPECT_EQ(items[1]->text.str(), "a");
    ASSERT_EQ(items[2]->kind, Kind::List);
    const ItemList& inner = items[2]->items.get();
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner[1]->kind, Kind::Integer);
    EXPECT_EQ(inner[1]->integer, 3);
}

TEST_F(ListText, ReadsNumbersByTheLiteralRules) {
    const ItemList items = readListText(testInterpreter(), "(3 3.0 1e3 .5 -7 12abc)");
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0]->kind, Kind::Integer);
    EXPECT_EQ(items[1]->kind, Kind::Float);
    EXPECT_EQ(items[1]->real(), 3.0L);
    EXPECT_EQ(items[2]->kind, Kind::Integer);  // no point: read up to the "e"
    EXPECT_EQ(items[2]->integer, 1);
    EXPECT_EQ(items[3]->kind, Kind::Float);
    EXPECT_EQ(items[3]->real(), 0.5L);
    EXPECT_EQ(items[4]->integer, -7);
    EXPECT_EQ(items[5]->integer, 12);
}

TEST_F(ListText, AnyTwoEndCharactersAreTheBrackets) {
    EXPECT_EQ(readListText(testInterpreter(), "[1 2]").size(), 2u);
    EXPECT_EQ(writeListText(readListText(testInterpreter(), "x1 \"b\"y")), "(1 \"b\")");
}

TEST_F(ListText, KeepsBlanksBracesQuotesAndLineBreaksInsideTexts) {
    const ItemList items = readListText(testInterpreter(), "(\"a { b } 'c'\" \"one\ntwo\")");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->text.str(), "a { b } 'c'");
    EXPECT_EQ(items[1]->text.str(), "one\ntwo");
}

TEST_F(ListText, OnlyTheFirstLineHoldsElements) {
    EXPECT_EQ(readListText(testInterpreter(), "(1 2\n3)").size(), 2u);
    EXPECT_EQ(readListText(testInterpreter(), "(1\t2)").size(), 2u);
}

TEST_F(ListText, BraceElementsRunOnceAndReachTheBuiltins) {
    const ItemList items = readListText(testInterpreter(), "({ end 4 } { end $size$(\"abc\") })");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->kind, Kind::Integer);
    EXPECT_EQ(items[0]->integer, 4);
    EXPECT_EQ(items[1]->integer, 3);
}

TEST_F(ListText, EveryElementIsANewValue) {
    const ItemList first = readListText(testInterpreter(), "(1 1)");
    const ItemList second = readListText(testInterpreter(), "(1 1)");
    EXPECT_NE(first[0], first[1]);
    EXPECT_NE(first[0], second[0]);
}

TEST_F(ListText, EmptyListsAndEmptySlotsDoNotReadBack) {
    expectError([] { readListText(testInterpreter(), "()"); }, "stoi");
    expectError([] { readListText(testInterpreter(), "((1) ())"); }, "stoi");
    expectError([] { readListText(testInterpreter(), "(1  2)"); }, "stoi");
    expectError([] { readListText(testInterpreter(), "( 1)"); }, "stoi");
}

TEST_F(ListText, NamesCallsAndBadNumbersFail) {
    expectError([] { readListText(testInterpreter(), "(abc)"); }, "stoi");
    expectError([] { readListText(testInterpreter(), "($print$(1))"); }, "stoi");
    expectError([] { readListText(testInterpreter(), "(1 .x)"); }, "stold");
    expectError([] { readListText(testInterpreter(), "(3000000000)"); }, "stoi");
}

TEST_F(ListText, TooShortTextFails) {
    expectError([] { readListText(testInterpreter(), "x"); }, "text too short to strip its delimiters");
    expectError([] { readListText(testInterpreter(), ""); }, "text too short to strip its delimiters");
}

TEST_F(ListText, ParenthesisInNestedTextLeavesTheTextUnbalanced) {
    try {
        readListText(testInterpreter(), "((\")\"))");
        ADD_FAILURE() << "no report of unbalanced text";
    } catch (const UnbalancedText& unbalanced) {
        EXPECT_EQ(unbalanced.doubleQuotes, 1);
        EXPECT_EQ(unbalanced.parentheses, 0);
    }
}

TEST_F(ListText, WrittenTextsReadBackUnchanged) {
    for (const std::string t : {"(1 \"a b\" (2.5 \"x\"))", "((1) (2 (3 \"z\")) -4)", "(\"\" \"(\" \"{\")",
                                "(2.5 0.125)"}) {
        EXPECT_EQ(writeListText(readListText(testInterpreter(), t)), t);
    }
    EXPECT_EQ(writeListText(readListText(testInterpreter(), "(1e+20)")), "(1)");
}

// Plain elements (numbers and quoted texts) are read without the expression
// evaluator; every element must still read exactly as the evaluator reads it
// in an empty scope, error texts included.
std::string outcomeOfElement(const std::function<Value()>& read) {
    try {
        const Value v = read();
        std::string out(kindName(v.kind));
        out.append(" ").append(textOf(v).str());
        if (v.kind == Kind::Float) {
            const long double r = v.real();
            out += " bits";
            const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
            for (std::size_t i = 0; i < 10; ++i) out.append(" ").append(std::to_string(bytes[i]));
        }
        return out;
    } catch (const ScriptError& e) {
        return std::string("error ").append(e.what());
    }
}

TEST_F(ListText, PlainElementsReadAsTheEvaluatorReadsThem) {
    std::vector<std::string> elements = {
        "0", "-0", "7", "-7", "007", "123456789", "-123456789", "999999999", "1000000000", "2147483647",
        "2147483648", "-2147483648", "-2147483649", "99999999999999999999", "12abc", "1e3", "-", "--1", "+5",
        "1.5", "-1.5", "0.1", "3.", ".5", "-.5", "1.5.2", "1.0e3", "1.5e+20", "1.5e-07", "1.5e", "1.5e+",
        "2.5E2", "1.2x", "1e+20", "0.33333333333333333334", "1.18973149535723176502e+4932", "1.0e99999",
        "\"\"", "\"a b\"", "''", "'x'", "\"it's\"", "'say \"hi\"'", "\"a\"b",
        "\"{ } ( )\"", "\"one\ntwo\"", "abc", "not", "+", "{ end 2 }", "$size$(\"ab\")", "inf", "nan",
        "1.5abc", "0x10", "1 + 2",
    };
    Scope empty;
    const TableView view(empty);
    for (const std::string& element : elements) {
        SCOPED_TRACE(element);
        const std::string wanted =
            outcomeOfElement([&] { return evaluateExpression(element, view, InlineBlocks::On); });
        const std::string got = outcomeOfElement([&] {
            std::string listText(1, '(');
            listText.append(element).push_back(')');
            const ItemList items = readListText(testInterpreter(), listText);
            if (items.size() != 1) throw ScriptError(std::string("elements: ").append(std::to_string(items.size())));
            Value scratch;
            return items[0].read(scratch);
        });
        // An element holding a blank splits into more elements in a list.
        if (element.find(' ') != std::string::npos && element[0] != '"' && element[0] != '{') continue;
        EXPECT_EQ(got, wanted);
    }
    // Many plain elements in a row, of every form, as a writer makes them.
    const ItemList items = readListText(testInterpreter(), "(1 -2 \"x\" 2.5 'y' -0.125 1.5e+20 \"\")");
    EXPECT_EQ(writeListText(items), "(1 -2 \"x\" 2.5 \"y\" -0.125 1.5e+20 \"\")");
}

// Floats of up to 19 significant digits are read without the C library; the
// value must be the very one it gives (nearest, ties to even), bit for bit.
TEST_F(ListText, FloatsReadExactlyAsTheLibraryReadsThem) {
    std::mt19937_64 random(21);
    std::vector<std::string> texts = {"0.5", "-0.0", "0.1", "2.675", "1.5e-27", "9.999999999999999999e27",
                                      "1.0000000000000000001", "18446744073709551615.5", "0.000000000000000000001",
                                      "4.4501477170144027e-10", "1.23456789012345678e+20", "7.0e-28", "5.0e27"};
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 20);
        std::string mantissa;
        for (int d = 0; d < digits; ++d) mantissa += static_cast<char>('0' + random() % 10);
        const std::size_t point = 1 + random() % mantissa.size();
        std::string text(random() % 2 ? "-" : "");
        text.append(mantissa, 0, point).push_back('.');
        text.append(point < mantissa.size() ? mantissa.substr(point) : std::string("0"));
        if (random() % 2) text.append("e").append(std::to_string(static_cast<int>(random() % 61) - 30));
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        long double wanted;
        try {
            wanted = parseRealPrefix(text);
        } catch (const ScriptError&) {
            continue;
        }
        std::string list(1, '(');
        list.append(text).push_back(')');
        const ItemList items = readListText(testInterpreter(), list);
        ASSERT_EQ(items.size(), 1u);
        ASSERT_EQ(items[0]->kind, Kind::Float) << text;
        const long double got = items[0]->real();
        EXPECT_EQ(std::memcmp(&got, &wanted, 10), 0) << text;
    }
}

// ---- bytes text ---------------------------------------------------------------

TEST(BytesText, WritesThreeDigitsPerByte) {
    EXPECT_EQ(writeBytesText({}), "");
    EXPECT_EQ(writeBytesText({7, 65, 200, 255}), "007065200255");
    EXPECT_EQ(writeBytesText({0, 1, 255}), "000001255");
}

TEST(BytesText, AllByteValuesRoundTrip) {
    std::vector<std::uint8_t> all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
    const std::string written = writeBytesText(all);
    EXPECT_EQ(written.size(), 768u);
    EXPECT_EQ(written.substr(3 * 100, 3), "100");
    EXPECT_EQ(readBytesText(written), all);
}

TEST(BytesText, ReadsGroupsOfThreeWithTheLowEightBits) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(readBytesText(""), Bytes{});
    EXPECT_EQ(readBytesText("065066"), (Bytes{65, 66}));
    EXPECT_EQ(readBytesText("65066"), (Bytes{138, 66}));
    EXPECT_EQ(readBytesText("1234"), (Bytes{123, 4}));
    EXPECT_EQ(readBytesText("256"), Bytes{0});
    EXPECT_EQ(readBytesText("999"), Bytes{231});
    EXPECT_EQ(readBytesText("-01"), Bytes{255});
    EXPECT_EQ(readBytesText("-1"), Bytes{255});
    EXPECT_EQ(readBytesText(" 65+12"), (Bytes{65, 12}));
    EXPECT_EQ(readBytesText("0650x1"), (Bytes{65, 0}));
    EXPECT_EQ(readBytesText("9"), Bytes{9});
}

TEST(BytesText, GroupWithoutDigitsFails) {
    expectError([] { readBytesText("065abc"); }, "stoi");
    expectError([] { readBytesText("065-"); }, "stoi");
    expectError([] { readBytesText("   "); }, "stoi");
}

}  // namespace
