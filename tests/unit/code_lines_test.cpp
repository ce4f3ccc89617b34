// Line numbers of prepared statements and the location an error collects.
#include <gtest/gtest.h>

#include "parse/Code.h"
#include "TestInterpreter.h"
#include "exec/Where.h"
#include "values/Error.h"

using namespace vorn;

TEST(PreparedLines, StatementsCountLineEndsInsideTheirTokens) {
    const auto block = prepareBlock("a = 1\n\nf = {\n    x = 2\n}\n  s = \"p\nq\" t\nend s");
    ASSERT_EQ(block->statements.size(), 5u);
    EXPECT_TRUE(block->ownText);
    const std::uint32_t lines[] = {0, 1, 2, 5, 7};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(block->statements[i].line, lines[i]) << i;
    // s, =, "p\nq", t: the token after the two-line text starts a line lower.
    const auto& tokens = block->statements[3].tokens;
    ASSERT_EQ(tokens.size(), 4u);
    EXPECT_EQ(tokens[2].line, 0u);
    EXPECT_EQ(tokens[3].line, 1u);
}

TEST(PreparedLines, BodiesCountFromTheirStatement) {
    const auto block = prepareBlock("x = 1\ncompare (\n1) {\n    y = 2\n\n    z = 3\n}");
    const PreparedStatement& compare = block->statements[1];
    EXPECT_EQ(compare.line, 1u);
    const Block& body = compare.tokens[1].inlineBody();
    EXPECT_FALSE(body.ownText);
    ASSERT_EQ(body.statements.size(), 5u);
    EXPECT_EQ(body.statements[1].line, 2u);  // y = 2, two lines below "compare"
    EXPECT_EQ(body.statements[3].line, 4u);
    // A token of an expression text of unknown origin: its body is a text of its own.
    const auto expr = compileExpression("{\n    a = 1\n}");
    EXPECT_TRUE(expr->tokens[0].inlineBody().ownText);
}

TEST(ErrorLocation, CountsThroughBodiesAndRestartsAfterOwnTexts) {
    ScriptError inBody("stoi", "unknown name q");
    inBody.leaveStatement(3, false);  // a body statement
    inBody.leaveStatement(4, true);   // the file statement holding the body
    inBody.locateInFile("f.VORN");
    EXPECT_EQ(errorReport(testInterpreter(), inBody), "stoi: unknown name q (in f.VORN, line 8)");

    ScriptError inCall("stoi");
    inCall.leaveStatement(9, true);   // inside a function's own text
    inCall.leaveStatement(2, true);   // the calling statement of the file
    inCall.locateInFile("g.VORN");
    inCall.leaveStatement(5, true);   // an outer file that ran it
    inCall.locateInFile("outer.VORN");
    EXPECT_STREQ(inCall.what(), "stoi");
    EXPECT_EQ(errorReport(testInterpreter(), inCall), "stoi (in g.VORN, line 3; also at outer.VORN, line 6)");
}
