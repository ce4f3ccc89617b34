// The prepared form of a text shares the text's bytes: nested pieces view
// them instead of copying, and long runs of empty tokens are kept short
// without changing what evaluating them gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expr/Evaluator.h"
#include "TestInterpreter.h"
#include "parse/Code.h"
#include "parse/Splitter.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Heap.h"

using namespace vorn;

namespace {

bool within(std::string_view piece, std::string_view bytes) {
    return piece.data() >= bytes.data() && piece.data() + piece.size() <= bytes.data() + bytes.size();
}

// What evaluating gives: the kind and text form, or the error's text.
std::string outcome(const Expression& expression, const View& view) {
    try {
        Value v = evaluateExpression(expression, view, InlineBlocks::On);
        return std::to_string(static_cast<int>(v.kind)) + ":" + asText(v);
    } catch (const ScriptError& e) {
        return std::string("error: ") + e.what();
    }
}

}  // namespace

TEST(SharedSource, NestedPiecesViewTheBytesOfTheirBlock) {
    const auto block = prepareBlock("x = ((a + (b \"c\")) {d = 1})\n$f$((e) g)$L(h)");
    ASSERT_TRUE(block->source);
    const std::string_view bytes = *block->source;
    const Operand& group = block->statements[0].tokens[2];
    ASSERT_TRUE(within(group.text, bytes));
    const Expression& outer = group.groupExpression();
    ASSERT_EQ(outer.tokens.size(), 2u);
    const Expression& inner = outer.tokens[0].groupExpression();
    ASSERT_EQ(inner.tokens.size(), 3u);
    EXPECT_EQ(inner.tokens[2].text, "(b \"c\")");
    const Expression& innermost = inner.tokens[2].groupExpression();
    for (const Operand& token : innermost.tokens) EXPECT_TRUE(within(token.text, bytes)) << token.text;
    EXPECT_FALSE(inner.source);  // only the outermost piece holds the bytes
    const Block& body = outer.tokens[1].inlineBody();
    EXPECT_TRUE(within(body.statements[0].tokens[0].text, bytes));

    const CallSite& call = block->statements[1].tokens[0].callSite();
    EXPECT_TRUE(within(call.calleeText, bytes));
    EXPECT_TRUE(within(call.argumentGroup, bytes));
    EXPECT_TRUE(within(call.arguments()[0]->tokens[0].groupExpression().tokens[0].text, bytes));
}

TEST(SharedSource, TextBlocksViewTheTextBuffer) {
    const Text code("{\n    y = (1 + 2)\n}");
    const Block& block = blockOfText(code, true);
    ASSERT_GE(block.statements.size(), 2u);
    EXPECT_TRUE(within(block.statements[1].tokens[2].text, code.view()));
    EXPECT_EQ(&blockOfText(code, true), &block);
}

TEST(SharedSource, OwnCopiesOutliveTheTextsTheyWereMadeFrom) {
    std::shared_ptr<const Expression> expression;
    std::shared_ptr<const CallSite> call;
    {
        std::string text = "(1 + (2 * 3))";
        expression = compileExpression(text);
        std::string token = "$f$(a b)";
        call = compileCall(token);
        text.assign(text.size(), '#');
        token.assign(token.size(), '#');
    }
    EXPECT_EQ(expression->tokens[2].text, "(2 * 3)");
    EXPECT_EQ(expression->tokens[2].groupExpression().tokens[2].text, "3");
    EXPECT_EQ(call->calleeText, "f");
    EXPECT_EQ(call->arguments()[1]->tokens[0].text, "b");
}

TEST(SharedSource, CallGroupsAreViewsUnlessTheirPiecesAreApart) {
    const auto together = compileCall("$f$(a)$(b)$L(x)");
    EXPECT_EQ(together->argumentGroup, "$(a)$(b)");
    EXPECT_EQ(together->sharingGroup, "$L(x)");
    EXPECT_TRUE(within(together->argumentGroup, *together->source));

    const auto apart = compileCall("$f$(a)$L(x)$(b)$L(y)");
    EXPECT_EQ(apart->calleeText, "f");
    EXPECT_EQ(apart->argumentGroup, "$(a)$(b)");
    EXPECT_EQ(apart->sharingGroup, "$L(x)$L(y)");

    const auto empty = compileCall("$f$$(a)");
    EXPECT_EQ(empty->argumentGroup, "$$(a)");
    EXPECT_FALSE(empty->hasSharing);
}

TEST(SharedSource, RunsOfEmptyArgumentsShareOneExpression) {
    const std::string token = "$f$(a" + std::string(10000, ' ') + "b  c)";
    const auto call = compileCall(token);
    const ArgumentList& arguments = call->arguments();
    ASSERT_EQ(arguments.size(), 10003u);  // a, 9,999 empty ones, b, one empty, c
    EXPECT_EQ(arguments.compiled(), 0u);  // each is compiled when its turn comes
    EXPECT_EQ(arguments[0]->tokens[0].text, "a");
    EXPECT_TRUE(arguments[1]->tokens[0].text.empty());
    EXPECT_EQ(arguments[1], arguments[9999]);
    EXPECT_EQ(arguments[10000]->tokens[0].text, "b");
    EXPECT_EQ(arguments[10001], arguments[1]);
    EXPECT_EQ(arguments[10002]->tokens[0].text, "c");
    EXPECT_EQ(arguments.compiled(), 4u);
}

TEST(SharedSource, ArgumentGroupErrorsComeBeforeErrorsOfItsArguments) {
    // "(a)(b)" alone would be unbalanced once stripped; the group's open
    // quote is what splitting the group reports.
    const auto call = compileCall("$f$((a)(b) \")");
    try {
        (void)call->arguments();
        FAIL() << "no error";
    } catch (const UnbalancedText& unbalanced) {
        EXPECT_EQ(unbalanced.doubleQuotes, 1);
        EXPECT_EQ(unbalanced.parentheses, 0);
    }
}

TEST(SharedSource, LongRunsOfEmptyTokensAreShortAndStandForTheirLength) {
    for (std::uint32_t k : {1u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 1000u, 1001u, 1002u, 1003u}) {
        const auto expression = compileExpression("(a" + std::string(k + 1, ' ') + "b)");
        std::uint32_t empties = 0;
        std::size_t kept = 0;
        for (const Operand& token : expression->tokens) {
            if (!token.text.empty()) continue;
            empties += token.count();
            ++kept;
        }
        EXPECT_EQ(empties, k);
        EXPECT_LE(kept, Expression::kEmptyRunKept + 3u);
        EXPECT_EQ(kept % 4, k % 4) << k;
    }
}

TEST(SharedSource, LongRunsOfEmptyTokensEvaluateAsTheWholeRun) {
    // Every run length against the same row with every empty token kept,
    // with the empty name bound and unbound, in several surroundings.
    Scope unbound;
    Scope bound;
    bound.set("", newValue(Value::ofInteger(4)));
    Scope boundText;
    boundText.set("", newValue(Value::ofText("t")));
    const std::vector<std::pair<std::string, std::string>> around = {
        {"", ""},         {"1", ""},          {"1", "3"},     {"1 +", "3"},   {"not", "3"}, {"1 + 2", "+ 3"},
        {"\"a\"", "\"b\""}, {"1 + 2 -", "not 3"}, {"not 1", "3 *"}, {"1 + 2 + 3", ""},
    };
    for (const auto& [before, after] : around) {
        for (std::size_t k = 1; k <= 44; ++k) {
            std::string inside = before;
            if (!before.empty()) inside += ' ';
            inside += std::string(k, ' ');
            inside += after;
            const auto compiled = compileExpression("(" + inside + ")");
            // The same row, every token kept.
            const StatementList split = splitStatements(inside);
            Expression whole;
            whole.store.records.reserve(split.front().size());
            for (const std::string& token : split.front())
                whole.store.order.push_back(&whole.store.records.emplace_back(token));
            whole.tokens = TokenList(whole.store.order.data(), static_cast<std::uint32_t>(whole.store.order.size()));
            for (const Scope* scope : {&unbound, &bound, &boundText}) {
                const TableView view(*scope);
                EXPECT_EQ(outcome(*compiled, view), outcome(whole, view))
                    << "(" << before << " + " << k << " blanks + " << after << ")";
            }
        }
    }
}

TEST(SharedSource, EveryTokenKeepsASmallRecord) {
    // Every token of a text has one, so a line of short tokens costs this
    // much per token; what only some tokens need is built apart.
    EXPECT_LE(sizeof(Operand), 96u);
    const auto expression = compileExpression("(a + b)");
    EXPECT_EQ(expression->tokens[0].literal(), nullptr);
    EXPECT_EQ(expression->tokens[0].count(), 1u);
}

TEST(SharedSource, LongTextsAreCountedBeforeTheirRecordsAreMade) {
    // Long texts are split once to count their pieces; the count must be
    // exactly what is then made, runs of empty tokens included.
    for (const std::string& gap : {std::string(" "), std::string(3, ' '), std::string(40, ' '), std::string(42, ' ')}) {
        std::string row = "(1";
        while (row.size() < 100 * 1024) row += gap + "+" + gap + "1";
        row += std::string(1001, ' ') + ")";
        const auto expression = compileExpression(row);
        EXPECT_EQ(expression->store.order.capacity(), expression->tokens.size()) << gap.size();
        EXPECT_EQ(expression->store.records.capacity(), expression->store.records.size()) << gap.size();
        std::size_t stands = 0;
        for (const Operand& token : expression->tokens) stands += token.count();
        EXPECT_EQ(stands, splitStatements(row.substr(1, row.size() - 2)).front().size()) << gap.size();
    }
    std::string script;
    while (script.size() < 100 * 1024) script += "x = 1\n\n  y = (x + 1)\n";
    const auto block = prepareBlock(script);
    EXPECT_EQ(block->statements.capacity(), block->statements.size());
    EXPECT_EQ(block->store.order.capacity(), block->store.order.size());
    EXPECT_EQ(block->store.records.capacity(), block->store.records.size());
    EXPECT_EQ(block->statements.size(), splitStatements(script).size());
}

TEST(SharedSource, StatementTokensThatAreNoGroupAreEvaluatedWithoutASecondRecord) {
    Scope scope;
    scope.set("x", newValue(Value::ofInteger(5)));
    scope.set("f", newValue(Value::ofFunc(Text("{\n    end 7\n}"))));
    const TableView view(scope);
    const char* tokens[] = {"x",     "nosuch", "1",      "2.5",          "99999999999", "\"s\"", "'q'",
                            "not",   "+",      "$f",     "$f$(1)",       "$nosuch",     "a\"b c\"d",
                            "{end 3}", "(x + 1)", "(not)", "x(y)",     ")", "a}b"};
    for (const char* token : tokens) {
        const auto block = prepareBlock(std::string("t = ") + token);
        ASSERT_EQ(block->statements[0].tokens.size(), 3u) << token;
        const Operand& operand = block->statements[0].tokens[2];
        for (const InlineBlocks inlineBlocks : {InlineBlocks::On, InlineBlocks::Off}) {
            std::string alone;
            try {
                Value v = evaluateToken(operand, view, inlineBlocks);
                alone = std::to_string(static_cast<int>(v.kind)) + ":" + asText(v);
            } catch (const ScriptError& e) {
                alone = std::string("error: ") + e.what();
            }
            std::string general;
            try {
                Value v = evaluateExpression(*compileExpression(token, 0), view, inlineBlocks);
                general = std::to_string(static_cast<int>(v.kind)) + ":" + asText(v);
            } catch (const ScriptError& e) {
                general = std::string("error: ") + e.what();
            }
            EXPECT_EQ(alone, general) << token;
        }
    }
    // A plain token keeps no expression of itself; a group does.
    const auto block = prepareBlock("t = 1\nu = (1)");
    (void)evaluateToken(block->statements[0].tokens[2], view, InlineBlocks::On);
    (void)evaluateToken(block->statements[1].tokens[2], view, InlineBlocks::On);
    EXPECT_EQ(block->statements[0].tokens[2].count(), 1u);
    EXPECT_NE(block->statements[0].tokens[2].literal(), nullptr);
    EXPECT_EQ(block->statements[1].tokens[2].literal(), nullptr);
}
