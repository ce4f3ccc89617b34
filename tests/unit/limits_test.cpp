// Limits that keep a session alive: the statement budget and the text limit.
#include <gtest/gtest.h>

#include <functional>

#include "TestInterpreter.h"
#include "builtins/ListText.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Heap.h"
#include "values/Limits.h"

namespace vorn {
namespace {

struct LimitsReset {
    ~LimitsReset() { Limits::setMaxTextBytes(kDefaultMaxTextBytes); }
};

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ScriptError& e) {
        return e.what();
    } catch (const StatementBudgetExhausted&) {
        return "budget exhausted";
    }
    return "no error";
}

TEST(StatementBudget, EndsLoopsWhoseBodyHasNoStatement) {
    for (const char* code : {"until 1 {}", "until 1 {\n\n}"}) {
        Interpreter interpreter{builtinEntries()};
        interpreter.setStatementBudget(1000);
        Scope scope;
        EXPECT_EQ(errorOf([&] { runBlock(interpreter, *prepareBlock(code), &scope, nullptr); }), "budget exhausted")
            << code;
    }
}

TEST(StatementBudget, BelongsToOneInterpreter) {
    // A budget spent in one program does not stop another, and replacing a
    // builtin in one leaves the other's as it was.
    Interpreter budgeted{builtinEntries()}, other{builtinEntries()};
    budgeted.setStatementBudget(3);
    ASSERT_TRUE(budgeted.replaceBuiltinFunction("size", [](const CallScope&) { return Value::ofInteger(-1); }));
    Scope a, b;
    const auto block = prepareBlock("i = 0\nuntil (i < 50) {\n    i += 1\n}\nn = $size$(\"abc\")");
    EXPECT_EQ(errorOf([&] { runBlock(budgeted, *block, &a, &a); }), "budget exhausted");
    runBlock(other, *block, &b, &b);
    const ValueRef n = b.find("n");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->integer, 3);
}

TEST(StatementBudget, PassesThroughStatementsThatReportErrors) {
    // A session reports each statement's error and goes on; running out of
    // budget must end it all the same, even when every statement fails.
    Interpreter interpreter{builtinEntries()};
    interpreter.setStatementBudget(10);  // each failing statement prints one error line
    Scope scope;
    EXPECT_EQ(errorOf([&] {
                  runBlock(interpreter, *prepareBlock("until 1 {\n    $print$(nosuch, \"nah\")\n}"), &scope, nullptr,
                           ErrorBoundary::Yes);
              }),
              "budget exhausted");
}

TEST(TextLimit, RefusesListTextFormsOverTheLimit) {
    LimitsReset reset;
    Limits::setMaxTextBytes(1 << 20);
    const ValueRef big = newValue(Value::ofText(std::string(600000, 'a')));
    const Value list = Value::ofList({big, big});
    EXPECT_EQ(errorOf([&] { writeListText(list.items.get()); }), "out of memory: text too long");
    EXPECT_EQ(errorOf([&] { textOf(list); }), "out of memory: text too long");
}

// A list nested `depth` deep whose two elements are, at every level, one
// and the same list (as `add M L` twice makes it): 2^depth leaves.
Value sharedNestedList(int depth, Value leaf) {
    Value list = std::move(leaf);
    for (int level = 0; level < depth; ++level) {
        const ValueRef inner = newValue(list);
        list = Value::ofList({inner, inner});
    }
    return list;
}

TEST(TextLimit, MeasuresSharedNestedListsBeforeBuildingThem) {
    // 2^40 leaves: every form is refused at once, none of it built.
    const Value huge = sharedNestedList(40, Value::ofList({Item::of(Value::ofInteger(1))}));
    const std::string tooLong = "out of memory: text too long";
    EXPECT_EQ(errorOf([&] { textOf(huge); }), tooLong);
    EXPECT_EQ(errorOf([&] { textLength(huge); }), tooLong);
    EXPECT_EQ(errorOf([&] { convertValue(huge, Kind::Func); }), tooLong);
    EXPECT_EQ(errorOf([&] { writeListText(huge.items.get()); }), tooLong);
    EXPECT_EQ(errorOf([&] { valuesEqual(huge, huge); }), tooLong);

    // Within the limit the measure is the length of the form, for every
    // kind of element, shared or not, and the form is what it always was.
    const ValueRef f = newValue(Value::ofFunc(Text("{x}")));
    const Value mixed = Value::ofList({Item::of(Value::ofInteger(-12)), newValue(Value::ofText("ab")),
                                       newValue(Value::ofReal(2.5L)), f, newValue(Value()),
                                       newValue(Value::ofList({})), f});
    const Value small = sharedNestedList(3, mixed);
    for (const Value* v : {&mixed, &small}) {
        EXPECT_EQ(textLength(*v), textOf(*v).size());
    }
    EXPECT_EQ(textOf(mixed).view(), "[-12, \"ab\", 2.5, {x}, , [], {x}]");
    EXPECT_EQ(convertValue(Value::ofList({newValue(mixed), newValue(Value::ofText("t"))}), Kind::Func).text.view(),
              "[[-12, \"ab\", 2.5, {x}, , [], {x}] ,t]");
    EXPECT_EQ(writeListText(sharedNestedList(2, mixed).items.get()),
              "(((-12 \"ab\" 2.5 {x}  () {x}) (-12 \"ab\" 2.5 {x}  () {x})) "
              "((-12 \"ab\" 2.5 {x}  () {x}) (-12 \"ab\" 2.5 {x}  () {x})))");

    // Just at the limit a form is made; one byte less and it is refused.
    LimitsReset reset;
    Limits::setMaxTextBytes(textLength(small));
    EXPECT_EQ(textOf(small).size(), Limits::maxTextBytes());
    Limits::setMaxTextBytes(textLength(small) - 1);
    EXPECT_EQ(errorOf([&] { textOf(small); }), tooLong);
}

TEST(CycleCollector, ReleasesAListThatContainsItself) {
    const std::size_t before = Heap::liveCount();
    {
        ValueRef list = newValue(Value::ofList({}));
        list->items.edit().push_back(list);
    }
    EXPECT_GT(Heap::liveCount(), before);
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

}  // namespace
}  // namespace vorn
