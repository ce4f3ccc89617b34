// Tokens of the same text and line share one record within a prepared piece,
// and a run of blank lines is one statement that still runs as many.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "builtins/BuiltinTable.h"
#include "TestInterpreter.h"
#include "exec/Run.h"
#include "exec/Where.h"
#include "expr/Evaluator.h"
#include "parse/Code.h"
#include "parse/Splitter.h"
#include "platform/Platform.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Limits.h"

namespace vorn {
namespace {

std::size_t distinct(const TokenList& tokens) {
    std::set<const Operand*> seen;
    for (const Operand& token : tokens) seen.insert(&token);
    return seen.size();
}

// What evaluating gives in empty tables: its text form, or the error's text.
std::string outcome(const Expression& expression) {
    const Scope none;
    try {
        Value v = evaluateExpression(expression, TableView(none), InlineBlocks::On);
        return asText(v);
    } catch (const ScriptError& e) {
        return std::string("error: ") + e.what();
    }
}

std::int64_t integerAt(const Scope& scope, const char* name) {
    const ValueRef v = scope.find(name);
    return v ? v->integer : -1;
}

TEST(SharedRecords, RepeatedTokensShareOneRecord) {
    const auto row = compileExpression("(1 + 1 + 1 + 1 - x - x)");
    ASSERT_EQ(row->tokens.size(), 11u);
    EXPECT_EQ(&row->tokens[0], &row->tokens[2]);
    EXPECT_EQ(&row->tokens[1], &row->tokens[3]);
    EXPECT_EQ(distinct(row->tokens), 4u);  // 1 + - x
    EXPECT_EQ(row->store.records.size(), 4u);

    // Past the few compared one by one, a table finds them.
    std::string names = "(";
    for (int round = 0; round < 50; ++round) {
        for (int k = 0; k < 20; ++k) {
            if (names.size() > 1) names.append(" ");
            names.append("n").append(std::to_string(k));
        }
    }
    names.append(")");
    const auto many = compileExpression(names);
    ASSERT_EQ(many->tokens.size(), 1000u);
    EXPECT_EQ(distinct(many->tokens), 20u);
    for (std::size_t i = 0; i < 1000; ++i) EXPECT_EQ(many->tokens[i].text.substr(1), std::to_string(i % 20)) << i;

    // A long text is counted first; the count must match what is made.
    std::string longRow = "(1";
    while (longRow.size() < 100 * 1024) longRow.append(" + 1 - x").append(std::to_string(longRow.size() % 5000));
    const auto counted = compileExpression(std::string(longRow).append(")"));
    EXPECT_EQ(counted->store.records.capacity(), counted->store.records.size());
    EXPECT_EQ(counted->tokens.size(), splitStatements(longRow.substr(1)).front().size());
}

TEST(SharedRecords, StatementsShareRecordsButNotAcrossLines) {
    // In "x = (a\n) a" the last a is a line below its statement's start;
    // in "z = a" it is not, so those two are different records.
    const auto block = prepareBlock("x = (a\n) a\nz = a\nx = a");
    ASSERT_EQ(block->statements.size(), 3u);
    const TokenList& first = block->statements[0].tokens;
    const TokenList& second = block->statements[1].tokens;
    const TokenList& third = block->statements[2].tokens;
    EXPECT_EQ(first[3].line, 1u);
    EXPECT_EQ(second[2].line, 0u);
    EXPECT_NE(&first[3], &second[2]);
    EXPECT_EQ(&second[2], &third[2]);
    EXPECT_EQ(&first[0], &third[0]);
    EXPECT_EQ(&first[1], &second[1]);
    EXPECT_EQ(block->store.order.size(), 10u);
}

TEST(SharedRecords, SharedRecordsEvaluateAsSeparateOnes) {
    // One record's lookup cache, literal and group serve every place of it;
    // rebinding between uses must still show.
    Scope scope;
    const auto block = prepareBlock("a = 2\nx = ((a + 1) * (a + 1))\na = 5\ny = ((a + 1) * (a + 1))\nz = (1 + 1 + 1)\n"
                                    "w = \"t\"\nv = (w + \"t\")");
    runBlock(testInterpreter(), *block, &scope, &scope);
    EXPECT_EQ(integerAt(scope, "x"), 9);
    EXPECT_EQ(integerAt(scope, "y"), 36);
    EXPECT_EQ(integerAt(scope, "z"), 3);
    EXPECT_EQ(scope.find("v")->text.str(), "tt");
    // A failing token fails at every place it appears, with the same error.
    const auto failing = compileExpression("(nosuch + nosuch)");
    const TableView view(scope);
    for (int round = 0; round < 2; ++round) {
        try {
            (void)evaluateExpression(*failing, view, InlineBlocks::On);
            ADD_FAILURE() << "no error";
        } catch (const ScriptError& e) {
            EXPECT_STREQ(e.what(), "stoi: unknown name nosuch");
        }
    }
}

TEST(SharedRecords, RunsOfEmptyTokensKeepTheirOwnCounts) {
    // Two runs of different lengths: each last kept token stands for its own
    // run's surplus, so the two must not share a record.
    const std::string inside = std::string("1").append(30, ' ').append("+").append(47, ' ').append("1");
    const auto row = compileExpression(std::string("(").append(inside).append(")"));
    std::size_t stands = 0;
    for (const Operand& token : row->tokens) stands += token.count();
    EXPECT_EQ(stands, splitStatements(inside).front().size());
    // The empty name is bound nowhere: the row fails at its first empty token.
    EXPECT_EQ(outcome(*row).rfind("error: stoi: empty token", 0), 0u) << outcome(*row);
}

// An expression of one token lists it through a pointer of its own, and
// more than eight distinct tokens move the interner from its inline list to
// its table: both must give the same tokens as any other expression, and a
// moved expression must list its own record, not the one it was moved from.
TEST(SharedRecords, ShortAndLongPiecesListTheirOwnRecords) {
    auto one = compileExpression("(\"item\")");
    ASSERT_EQ(one->tokens.size(), 1u);
    EXPECT_EQ(one->tokens[0].text, "\"item\"");
    EXPECT_EQ(outcome(*one), "item");

    Expression& source = const_cast<Expression&>(*one);
    Expression moved(std::move(source));
    source.single = nullptr;  // what the moved-from expression holds is no longer the token
    ASSERT_EQ(moved.tokens.size(), 1u);
    EXPECT_EQ(&moved.tokens[0], moved.single);
    EXPECT_EQ(moved.tokens[0].text, "\"item\"");
    EXPECT_EQ(outcome(moved), "item");

    auto many = compileExpression("(1 + 2 + 3 + 4 + 5 + 6 + 1 + 2 + 7)");
    EXPECT_EQ(many->tokens.size(), 17u);
    EXPECT_EQ(distinct(many->tokens), 8u);  // 1 to 7 and "+"
    EXPECT_EQ(outcome(*many), "31");
    auto past = compileExpression("(a b c d e f g h i a b)");
    EXPECT_EQ(past->tokens.size(), 11u);
    EXPECT_EQ(distinct(past->tokens), 9u);
    EXPECT_EQ(&past->tokens[0], &past->tokens[9]);
}

TEST(SharedRecords, RecordsStaySmall) {
    // Every statement, and every token of one, costs this much.
    EXPECT_LE(sizeof(PreparedStatement), 24u);
    EXPECT_EQ(sizeof(TokenList), 2 * sizeof(void*));
}

TEST(SharedRecords, ATakenTextIsTheBlocksOwnBytes) {
    std::string script = "x = 1\n";
    while (script.size() < 4096) script += "y = (x + 1)\n";
    const char* const bytes = script.data();
    const auto block = prepareTakenBlock(std::move(script));
    ASSERT_FALSE(block->statements.empty());
    EXPECT_EQ(block->statements[0].tokens[0].text.data(), bytes);
    // The last statement is the empty one after the last line end.
    ASSERT_EQ(block->statements.back().kind, StatementKind::Empty);
    const PreparedStatement& last = block->statements[block->statements.size() - 2];
    ASSERT_EQ(last.tokens.size(), 3u);
    EXPECT_EQ(last.tokens[2].text, "(x + 1)");
}

TEST(EmptyRuns, BlankLinesAreOneStatementOfTheirLines) {
    const auto block = prepareBlock("x = 1\n\n\n\ny = 2\n\nz = 3\n\n");
    ASSERT_EQ(block->statements.size(), 6u);
    const StatementKind kinds[] = {StatementKind::Assign, StatementKind::EmptyRun, StatementKind::Assign,
                                   StatementKind::Empty,  StatementKind::Assign,   StatementKind::EmptyRun};
    const std::uint32_t lines[] = {0, 1, 4, 5, 6, 7};
    const std::uint16_t repeats[] = {1, 3, 1, 1, 1, 2};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(block->statements[i].kind, kinds[i]) << i;
        EXPECT_EQ(block->statements[i].line, lines[i]) << i;
        EXPECT_EQ(block->statements[i].repeat, repeats[i]) << i;
    }
    // A run longer than a repeat count can hold goes on in a second one.
    const auto huge = prepareBlock(std::string(70000, '\n'));
    ASSERT_EQ(huge->statements.size(), 2u);
    EXPECT_EQ(huge->statements[0].repeat, UINT16_MAX);
    EXPECT_EQ(huge->statements[1].line, UINT16_MAX);
    EXPECT_EQ(huge->statements[1].repeat, 70001 - UINT16_MAX);
}

TEST(EmptyRuns, EveryBlankLineSpendsAStatement) {
    // Whether a budget of that many statements ran out before code ended.
    const auto exhausts = [](const char* code, std::uint64_t budget, Scope& scope) {
        testInterpreter().setStatementBudget(budget);
        bool exhausted = false;
        try {
            runBlock(testInterpreter(), *prepareBlock(code), &scope, &scope);
        } catch (const StatementBudgetExhausted&) {
            exhausted = true;
        }
        testInterpreter().setStatementBudget(0);
        return exhausted;
    };
    for (const std::uint64_t budget : {4u, 5u}) {
        // Four blank lines and the assignment: five statements, whether the
        // blank lines come first or last.
        Scope first;
        EXPECT_EQ(exhausts("\n\n\n\nx = 1", budget, first), budget == 4u) << budget;
        EXPECT_EQ(integerAt(first, "x"), budget == 4u ? -1 : 1) << budget;
        Scope last;
        EXPECT_EQ(exhausts("x = 1\n\n\n\n", budget, last), budget == 4u) << budget;
    }
}

struct CountingHooks final : StatementHooks {
    void before(StatementKind) override {
        if (++before_ == 4) platform::requestInterrupt();
    }
    void abandoned() override { ++abandoned_; }
    int before_ = 0;
    int abandoned_ = 0;
};

TEST(EmptyRuns, EachBlankLineOfASessionIsGuardedOnItsOwn) {
    // A Ctrl-C noticed before the third blank line is reported for that
    // line alone; the lines after it still run.
    Interpreter interpreter{builtinEntries()};
    auto hooks = std::make_unique<CountingHooks>();
    const CountingHooks& counts = *hooks;
    interpreter.hooks = std::move(hooks);
    Scope scope;
    Scope local;
    runBlock(interpreter, *prepareBlock("w = 1\n\n\n\n\n\nx = 1"), &scope, &local, ErrorBoundary::Program);
    EXPECT_EQ(counts.before_, 7);
    EXPECT_EQ(counts.abandoned_, 1);
    EXPECT_EQ(integerAt(local, "x"), 1);
}

TEST(EmptyRuns, AnErrorNamesTheBlankLineItCameIn) {
    const auto block = prepareBlock("x = 1\n\n\n\n\ny = 2");
    const PreparedStatement& run = block->statements[1];
    ASSERT_EQ(run.kind, StatementKind::EmptyRun);
    Frame frame;
    Value result;
    vorn::Run state(testInterpreter(), frame, result);
    platform::requestInterrupt();
    try {
        runEmptyRun(state, run);
        ADD_FAILURE() << "no error";
    } catch (ScriptError& e) {
        // The run starts on line 2 (from 1); its second line is line 3.
        e.leaveStatement(run.line, true);
        e.locateInFile("f.VORN");
        EXPECT_EQ(errorReport(testInterpreter(), e), "interrupted (in f.VORN, line 3)");
    }
    platform::gInterruptRequested = 0;
}

}  // namespace
}  // namespace vorn
