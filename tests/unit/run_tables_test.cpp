// A block run in tables kept in Scopes: what the run bound is written back
// to the table that holds it when the run ends normally, and only then.
#include <gtest/gtest.h>

#include <string>

#include "builtins/BuiltinTable.h"
#include "TestInterpreter.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "values/Error.h"

namespace vorn {
namespace {

std::int64_t integerAt(const Scope& scope, const char* name) {
    const ValueRef v = scope.find(name);
    return v ? v->integer : -1;
}

// "nosuch" is bound nowhere, so the third statement fails.
const char* const kFailsAfterBinding = "list made\nx = 5\n$nosuch$(1)\n";

TEST(RunTables, CopiesAreWrittenBackOnlyWhenTheRunEndsNormally) {
    Scope inherited, local;
    inherited.set("x", newValue(Value::ofInteger(1)));
    EXPECT_THROW(runBlock(testInterpreter(), *prepareBlock(kFailsAfterBinding), &inherited, &local), ScriptError);
    // The Value of x was changed in place (it is shared), but no binding
    // made by the failed run reached either table.
    EXPECT_EQ(integerAt(inherited, "x"), 5);
    EXPECT_FALSE(local.find("made"));
    EXPECT_FALSE(inherited.find("made"));

    runBlock(testInterpreter(), *prepareBlock("list made\n"), &inherited, &local);
    EXPECT_TRUE(local.find("made"));
}

TEST(RunTables, RebindingsStayInTheTableThatHoldsTheName) {
    Scope inherited, local;
    inherited.set("x", newValue(Value::ofInteger(1)));
    local.set("y", newValue(Value::ofInteger(2)));
    runBlock(testInterpreter(), *prepareBlock("list x\nlist y\nlist made\n"), &inherited, &local);
    EXPECT_TRUE(inherited.find("x")->is(Kind::List));
    EXPECT_FALSE(local.find("x"));
    EXPECT_TRUE(local.find("y")->is(Kind::List));
    EXPECT_TRUE(local.find("made"));
    EXPECT_FALSE(inherited.find("made"));

    // Without a local table the new names are dropped.
    Scope only;
    only.set("x", newValue(Value::ofInteger(1)));
    runBlock(testInterpreter(), *prepareBlock("list made\nlist x\n"), &only, nullptr);
    EXPECT_FALSE(only.find("made"));
    EXPECT_TRUE(only.find("x")->is(Kind::List));
}

// An until pass runs with the loop scope as both tables. The local table
// is written back last, so the pass keeps the names it made and loses what
// it rebound in the inherited table.
TEST(RunTables, SameScopeAsBothTablesKeepsTheLocalTableLast) {
    for (const char* code : {"list x\n", "list x\nfresh = 2\n"}) {
        Scope loop;
        const ValueRef original = newValue(Value::ofInteger(1));
        loop.set("x", original);
        runBlock(testInterpreter(), *prepareBlock(code), &loop, &loop);
        EXPECT_EQ(loop.find("x"), original) << code;
        EXPECT_EQ(static_cast<bool>(loop.find("fresh")), std::string(code).find("fresh") != std::string::npos) << code;
    }
}

// A rebinding is made in place where the old binding dies with the run
// anyway, but not in a run that reports an error and goes on (the
// session's): there the code exec ran and that failed must leave the
// run's own names as they were.
TEST(RunTables, AFailedExecInAGuardedRunUndoesItsRebindings) {
    Scope inherited, local;
    inherited.set("code", newValue(Value::ofText("index items 0 x\n$nosuch$(1)")));
    runBlock(testInterpreter(), *prepareBlock("list items\nadd items 7\nx = 1\nexec code\n"), &inherited, &local,
             ErrorBoundary::Program);
    EXPECT_EQ(integerAt(local, "x"), 1);
}

}  // namespace
}  // namespace vorn
