// Evaluation and introspection: eval, setargmap, _getvars.
#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
#include "exec/Run.h"
#include "exec/Trim.h"
#include "exec/View.h"
#include "expr/Evaluator.h"
#include "values/Error.h"

namespace vorn::builtins {

Value eval(const CallScope& scope) {
    const Text code = textOf(argument(scope, 0));
    if (!hasArgument(scope, 1)) {
        const CallScope::Entered entered(scope);
        return evaluateExpression(code.view(), scope.interpreter().view(), InlineBlocks::On);
    }

    // Binding pairs: each element is a list whose first element names the
    // second; the name refers to that very element Value. The expression
    // sees those names only.
    Interpreter& interpreter = scope.interpreter();
    Bindings& stack = interpreter.bindings();
    Scope bindings;
    const Value list = argument(scope, 1);
    const ItemList& pairs = list.items.get();
    for (const Item& pair : pairs) {
        const ItemList& parts = pair->items.get();
        if (parts.size() < 2) throw ScriptError("eval binding needs a name and a value");
        Value scratch;
        const Text name = textOf(parts[0].read(scratch));
        bindings.set(name.view(), parts[1].ref());
    }
    const BindingMark mark(stack);
    const BindingBarrier barrier(stack, true);
    bindings.forEachBinding([&](const SymbolRef& name, const ValueRef& value) { stack.push(name, value, Table::Inherited); });
    return evaluateExpression(code.view(), interpreter.view(), InlineBlocks::On);
}

Value setargmap(const CallScope& scope) {
    ValueRef function = argumentRef(scope, 0);
    if (!function) function = newValue();
    std::vector<std::string> names;
    const Value list = argument(scope, 1);
    const ItemList& items = list.items.get();
    names.reserve(items.size());
    Value scratch;
    for (const Item& item : items) names.push_back(textOf(item.read(scratch)).str());
    function->mutableArgNames().assign(std::move(names));
    return *function;
}

Value getvars(const CallScope& scope) {
    ItemList names, values;
    for (auto& [name, value] : scope.table().entriesInOrder()) {
        names.push_back(newValue(Value::ofText(name)));
        values.push_back(value);
    }
    return Value::ofList({newValue(Value::ofList(std::move(names))), newValue(Value::ofList(std::move(values)))});
}

}  // namespace vorn::builtins
