// Unit tests of the statement splitter: statements, tokens (empty ones
// included) and the unbalanced-text report.
#include "parse/Splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using vorn::splitStatements;
using vorn::StatementList;
using vorn::UnbalancedText;

namespace {

// The depths reported for an unbalanced text; all -1 when nothing was thrown.
UnbalancedText unbalancedOf(std::string_view source) {
    try {
        const StatementList result = splitStatements(source);
        ADD_FAILURE() << "text was accepted as balanced: \"" << source << "\" (" << result.size() << " statements)";
    } catch (const UnbalancedText& unbalanced) {
        return unbalanced;
    }
    return UnbalancedText{-1, -1, -1, -1};
}

void expectDepths(std::string_view source, int braces, int parentheses, int doubleQuotes, int singleQuotes) {
    SCOPED_TRACE(std::string("source: ") + std::string(source));
    const UnbalancedText u = unbalancedOf(source);
    EXPECT_EQ(u.braces, braces);
    EXPECT_EQ(u.parentheses, parentheses);
    EXPECT_EQ(u.doubleQuotes, doubleQuotes);
    EXPECT_EQ(u.singleQuotes, singleQuotes);
}

}  // namespace

TEST(SplitterLines, StatementEndsAtNewlineAndTrailingNewlineGivesEmptyStatement) {
    EXPECT_EQ(splitStatements("x = 1\n"), (StatementList{{"x", "=", "1"}, {""}}));
    EXPECT_EQ(splitStatements("a\nb"), (StatementList{{"a"}, {"b"}}));
    EXPECT_EQ(splitStatements("\n\n"), (StatementList{{""}, {""}, {""}}));
}

TEST(SplitterLines, EmptyTextIsOneStatementOfOneEmptyToken) {
    EXPECT_EQ(splitStatements(""), (StatementList{{""}}));
}

TEST(SplitterBlanks, EveryTopLevelBlankEndsAToken) {
    EXPECT_EQ(splitStatements("a  b"), (StatementList{{"a", "", "b"}}));
    EXPECT_EQ(splitStatements("a   b"), (StatementList{{"a", "", "", "b"}}));
    // A blank before the newline leaves an empty last token.
    EXPECT_EQ(splitStatements("a \nb"), (StatementList{{"a", ""}, {"b"}}));
    EXPECT_EQ(splitStatements("a "), (StatementList{{"a", ""}}));
    EXPECT_EQ(splitStatements(" \n"), (StatementList{{"", ""}, {""}}));
}

TEST(SplitterBlanks, LeadingBlanksDroppedOnlyAfterANewline) {
    // At the very start of the text each blank ends an (empty) token...
    EXPECT_EQ(splitStatements(" a"), (StatementList{{"", "a"}}));
    EXPECT_EQ(splitStatements("\ta"), (StatementList{{"", "a"}}));
    // ...but after a top-level newline the indentation disappears.
    EXPECT_EQ(splitStatements("\n  a"), (StatementList{{""}, {"a"}}));
    EXPECT_EQ(splitStatements("\n\t \ta"), (StatementList{{""}, {"a"}}));
    // Only the leading run is dropped; later double blanks still give empty tokens.
    EXPECT_EQ(splitStatements("x\n  a  b"), (StatementList{{"x"}, {"a", "", "b"}}));
    // An indented empty line is a statement of one empty token.
    EXPECT_EQ(splitStatements("a\n   \nb"), (StatementList{{"a"}, {""}, {"b"}}));
}

TEST(SplitterBlanks, TabSeparatesLikeABlank) {
    EXPECT_EQ(splitStatements("a\tb"), (StatementList{{"a", "b"}}));
    EXPECT_EQ(splitStatements("a\t b"), (StatementList{{"a", "", "b"}}));
    EXPECT_EQ(splitStatements("\"a\tb\"\tc"), (StatementList{{"\"a\tb\"", "c"}}));
}

TEST(SplitterBlanks, CarriageReturnIsAnOrdinaryCharacter) {
    EXPECT_EQ(splitStatements("a\r\nb"), (StatementList{{"a\r"}, {"b"}}));
    EXPECT_EQ(splitStatements("a \r"), (StatementList{{"a", "\r"}}));
    // A carriage return after a newline is not indentation: it ends the skipping.
    EXPECT_EQ(splitStatements("x\n\r a"), (StatementList{{"x"}, {"\r", "a"}}));
}

TEST(SplitterGroups, BraceBlockSpanningLinesIsOneToken) {
    const std::string source = "compare (x == 1) {\n    y = 2\n}\n";
    EXPECT_EQ(splitStatements(source), (StatementList{{"compare", "(x == 1)", "{\n    y = 2\n}"}, {""}}));
}

TEST(SplitterGroups, NewlineInsideGroupsOrQuotesDoesNotEndTheStatement) {
    EXPECT_EQ(splitStatements("x = (1 +\n  2)\ny"), (StatementList{{"x", "=", "(1 +\n  2)"}, {"y"}}));
    EXPECT_EQ(splitStatements("x = \"a\n b\"\ny"), (StatementList{{"x", "=", "\"a\n b\""}, {"y"}}));
    EXPECT_EQ(splitStatements("'a\n\n b' c"), (StatementList{{"'a\n\n b'", "c"}}));
}

TEST(SplitterGroups, DelimitersStickToNeighbouringCharacters) {
    EXPECT_EQ(splitStatements("$print$(\"a b\" \"c\")"), (StatementList{{"$print$(\"a b\" \"c\")"}}));
    EXPECT_EQ(splitStatements("$f$(a b)$L(x y) z"), (StatementList{{"$f$(a b)$L(x y)", "z"}}));
    EXPECT_EQ(splitStatements("abc\"d e\"f g"), (StatementList{{"abc\"d e\"f", "g"}}));
    EXPECT_EQ(splitStatements("x{a b}y'c d'z"), (StatementList{{"x{a b}y'c d'z"}}));
}

TEST(SplitterGroups, BracesAndParenthesesNest) {
    EXPECT_EQ(splitStatements("{a {b c} d} e"), (StatementList{{"{a {b c} d}", "e"}}));
    EXPECT_EQ(splitStatements("((a b) c) d"), (StatementList{{"((a b) c)", "d"}}));
    EXPECT_EQ(splitStatements("{{{ }}} x"), (StatementList{{"{{{ }}}", "x"}}));
}

TEST(SplitterGroups, ClosersWithoutOpenerAreOrdinaryCharacters) {
    EXPECT_EQ(splitStatements("a}b c)"), (StatementList{{"a}b", "c)"}}));
    EXPECT_EQ(splitStatements("} ) x"), (StatementList{{"}", ")", "x"}}));
    // A stray closer does not drive a counter below zero: the group after it
    // still opens and closes normally.
    EXPECT_EQ(splitStatements(")(a b) c"), (StatementList{{")(a b)", "c"}}));
    EXPECT_EQ(splitStatements("}}{a b} c"), (StatementList{{"}}{a b}", "c"}}));
}

TEST(SplitterGroups, InsideParenthesesOnlyParenthesesCount) {
    EXPECT_EQ(splitStatements("(a{b)"), (StatementList{{"(a{b)"}}));
    EXPECT_EQ(splitStatements("(a \" b) c"), (StatementList{{"(a \" b)", "c"}}));
    EXPECT_EQ(splitStatements("(a ' b) c"), (StatementList{{"(a ' b)", "c"}}));
    EXPECT_EQ(splitStatements("(a } b) c"), (StatementList{{"(a } b)", "c"}}));
}

TEST(SplitterGroups, InsideBracesOnlyBracesCount) {
    EXPECT_EQ(splitStatements("{a ( b} c"), (StatementList{{"{a ( b}", "c"}}));
    EXPECT_EQ(splitStatements("{ \" } x"), (StatementList{{"{ \" }", "x"}}));
    EXPECT_EQ(splitStatements("{ ' ) } x"), (StatementList{{"{ ' ) }", "x"}}));
}

TEST(SplitterGroups, InsideQuotesOnlyTheSameQuoteCounts) {
    EXPECT_EQ(splitStatements("\"{ ( '\" x"), (StatementList{{"\"{ ( '\"", "x"}}));
    EXPECT_EQ(splitStatements("'{ ( \"' x"), (StatementList{{"'{ ( \"'", "x"}}));
    EXPECT_EQ(splitStatements("\"it's\" x"), (StatementList{{"\"it's\"", "x"}}));
    EXPECT_EQ(splitStatements("'say \"hi\"' x"), (StatementList{{"'say \"hi\"'", "x"}}));
    // Two quoted texts written against each other form one token.
    EXPECT_EQ(splitStatements("\"a b\"\"c d\" e"), (StatementList{{"\"a b\"\"c d\"", "e"}}));
}

TEST(SplitterUnbalanced, QuotedClosingBraceClosesTheBlockAndLeavesAQuoteOpen) {
    const UnbalancedText u = unbalancedOf("{ \"}\" }");
    EXPECT_EQ(u.braces, 0);
    EXPECT_EQ(u.parentheses, 0);
    EXPECT_EQ(u.doubleQuotes, 1);
    EXPECT_EQ(u.singleQuotes, 0);
    EXPECT_EQ(u.report(), "parser error, markers over 1, grammatically not valid.0/0/1/0/0/");
}

TEST(SplitterUnbalanced, QuotedClosingParenthesisClosesTheGroup) {
    expectDepths("(\"a)\" b)", 0, 0, 1, 0);
    expectDepths("{'}'}", 0, 0, 0, 1);
}

TEST(SplitterUnbalanced, UnclosedBraceAtEnd) {
    const UnbalancedText u = unbalancedOf("x = 1\ny = {");
    EXPECT_EQ(u.braces, 1);
    EXPECT_EQ(u.parentheses, 0);
    EXPECT_EQ(u.doubleQuotes, 0);
    EXPECT_EQ(u.singleQuotes, 0);
    EXPECT_EQ(u.report(), "parser error, markers over 1, grammatically not valid.1/0/0/0/0/");
}

TEST(SplitterUnbalanced, EachCounterReportsItsOwnDepth) {
    expectDepths("{{", 2, 0, 0, 0);
    expectDepths("((a", 0, 2, 0, 0);
    expectDepths("\"abc", 0, 0, 1, 0);
    expectDepths("'abc", 0, 0, 0, 1);
    // Openers that do not count inside the open group do not add depth.
    expectDepths("{(", 1, 0, 0, 0);
    expectDepths("({\"'", 0, 1, 0, 0);
    expectDepths("\"'{(", 0, 0, 1, 0);
    expectDepths("'\"{(", 0, 0, 0, 1);
    EXPECT_EQ((UnbalancedText{2, 3, 0, 1}).report(), "parser error, markers over 1, grammatically not valid.2/3/0/1/0/");
}

TEST(SplitterUnbalanced, OnlyTheEndOfTheTextCounts) {
    // Depths may stay above zero across many lines as long as they return to zero.
    expectDepths("{\n(\n\"\n", 1, 0, 0, 0);
    EXPECT_EQ(splitStatements("{\n(\n\"\n} x"), (StatementList{{"{\n(\n\"\n}", "x"}}));
}

TEST(SplitterScale, ManyStatementsInOnePass) {
    std::string source;
    for (int i = 0; i < 100000; ++i) source += "x = (x + 1)\n";
    const StatementList result = splitStatements(source);
    ASSERT_EQ(result.size(), 100001u);
    EXPECT_EQ(result[0], (vorn::Statement{"x", "=", "(x + 1)"}));
    EXPECT_EQ(result[99999], (vorn::Statement{"x", "=", "(x + 1)"}));
    EXPECT_EQ(result[100000], (vorn::Statement{""}));

    const std::string block = "{" + std::string(200000, 'a') + "\n}";
    const StatementList one = splitStatements(block);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], (vorn::Statement{block}));
}
