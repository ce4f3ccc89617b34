// Limits that keep a session alive: the statement budget and the text limit.
#include <gtest/gtest.h>

#include <functional>

#include "builtins/BuiltinTable.h"
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
    ~LimitsReset() {
        Limits::setStatementBudget(0);
        Limits::setMaxTextBytes(kDefaultMaxTextBytes);
    }
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
    LimitsReset reset;
    registerBuiltins();
    for (const char* code : {"until 1 {}", "until 1 {\n\n}"}) {
        Limits::setStatementBudget(1000);
        Scope scope;
        EXPECT_EQ(errorOf([&] { runBlock(*prepareBlock(code), &scope, nullptr); }), "budget exhausted") << code;
    }
}

TEST(StatementBudget, PassesThroughStatementsThatReportErrors) {
    // A session reports each statement's error and goes on; running out of
    // budget must end it all the same, even when every statement fails.
    LimitsReset reset;
    registerBuiltins();
    Limits::setStatementBudget(10);  // each failing statement prints one error line
    Scope scope;
    EXPECT_EQ(errorOf([&] {
                  runBlock(*prepareBlock("until 1 {\n    $print$(nosuch, \"nah\")\n}"), &scope, nullptr,
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

TEST(CycleCollector, ReleasesAListThatContainsItself) {
    registerBuiltins();
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
