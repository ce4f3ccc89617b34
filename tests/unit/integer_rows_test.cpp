// Rows of integers take a short path in the evaluator; every row must give
// exactly what the general path gives. A first operand in parentheses is
// no plain operand, which sends the same row down the general path.
#include <gtest/gtest.h>

#include <string>

#include "exec/View.h"
#include "TestInterpreter.h"
#include "expr/Evaluator.h"
#include "values/Convert.h"
#include "values/Error.h"

namespace vorn {
namespace {

// The Value's kind, integer and text, or the error's text.
std::string outcome(std::string_view row, const View& view) {
    try {
        const Value v = evaluateExpression(row, view, InlineBlocks::On);
        return std::string(kindName(v.kind)) + " " + std::to_string(v.integer) + " [" + v.text.str() + "]";
    } catch (const ScriptError& e) {
        return std::string("error: ") + e.what();
    }
}

TEST(IntegerRows, AgreeWithTheGeneralPath) {
    Scope scope;
    scope.set("a", newValue(Value::ofInteger(7)));
    scope.set("b", newValue(Value::ofInteger(-3)));
    scope.set("t", newValue(Value::ofText("12")));
    scope.set("r", newValue(Value::ofReal(1.5L)));
    const TableView view(scope);
    const char* rows[] = {
        "1 + 2 + 3", "10 - 2 - 3", "2 * 3 + 4", "7 / 2 * 2", "1 < 2 == 1", "a + b + a",
        "a - b * 2 / 3", "9223372036854775807 + 1 + 1", "0 / 0 + 3", "5 / 0 - 1", "1 && 0 || 1",
        "a + t + 1", "a + r + 1", "1 + 2 foo 3", "1 + 2 -> 3", "1 + not 2 + 3", "1 + 2 +", "1 + 2 + nosuch",
        "1 + 2  + 3", "a + b + a + b + a + b + a", "3 > 2 > 1", "1 + 2 + 99999999999999999999",
    };
    // An expression's text comes in parentheses, as a group token's does.
    for (const char* row : rows) {
        const std::string plain(row);
        const std::size_t blank = plain.find(' ');
        std::string general = "((";
        general.append(plain, 0, blank);
        general += ')';
        general.append(plain, blank, std::string::npos);
        general += ')';
        EXPECT_EQ(outcome("(" + plain + ")", view), outcome(general, view)) << row;
    }
    EXPECT_EQ(outcome("(a + b + a)", view), "integer 11 []");
    EXPECT_EQ(outcome("(10 - 2 - 3)", view), "integer 5 []");
}

}  // namespace
}  // namespace vorn
