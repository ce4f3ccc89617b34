// The list statements: list, add, index, where and remove.
//
// Positions are checked: a position outside the list (or, for a text,
// outside 0 to its length) is an error rather than a walk past the end.
#include <string>

#include "exec/ListIndex.h"
#include "exec/Run.h"
#include "exec/Statements.h"
#include "exec/Trim.h"
#include "expr/Evaluator.h"
#include "values/Convert.h"
#include "values/Error.h"
#include "values/Messages.h"
#include "values/Numbers.h"

namespace vorn {

namespace {

std::size_t checkedPosition(std::int64_t position, std::size_t count) {
    if (position < 0 || static_cast<std::uint64_t>(position) >= count)
        throw ScriptError(messages::kPositionOutOfRange, formatInteger(position));
    return static_cast<std::size_t>(position);
}

}  // namespace

void executeList(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "list needs a name");
    const Operand& name = statement.tokens[0];
    run.bindName(name, newValue(Value::ofList({})));
}

void executeAdd(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "add needs a list name and a value");
    const ValueRef list = requireName(run, statement.tokens[0]);
    // A plain integer is kept in the item word; it gets a cell only when
    // something needs a reference to it.
    Value scratch;
    const Value& value = evaluateTokenInPlace(statement.tokens[1], run.view(), InlineBlocks::On, scratch);
    Item element = &value == &scratch ? Item::of(std::move(scratch)) : Item::of(value);
    ListChange change(run.interpreter, list->items);
    list->items.edit().push_back(std::move(element));
    change.appended(list->items);
    // On a Value that is no list the element is dropped by the next trim.
    noteChange(list, View::symbolOf(statement.tokens[0]));
}

void executeIndex(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 3, "index needs a list name, a position and a result name");
    Cell& cell = requireCell(run, statement.tokens[0]);
    const Operand& position = statement.tokens[1];
    const ValueRef hold = isPlainOperand(position) ? ValueRef() : ValueRef(&cell);
    const Value* source = &cell.value;
    const Operand& result = statement.tokens[2];
    if (source->kind == Kind::List) {
        const std::int64_t n = evaluateTokenInteger(position, run.view(), InlineBlocks::On);
        const ItemList& items = source->items.get();
        // The name refers to the element itself, so it needs its cell.
        run.bindName(result, items[checkedPosition(n, items.size())].ref());
        return;
    }
    const std::int64_t p = evaluateTokenInteger(position, run.view(), InlineBlocks::On);
    const std::string& text = source->text.str();
    // The position just past the end reads the terminating zero byte.
    if (p < 0 || static_cast<std::uint64_t>(p) > text.size())
        throw ScriptError(messages::kPositionOutOfRange, formatInteger(p));
    const char c = static_cast<std::size_t>(p) < text.size() ? text[static_cast<std::size_t>(p)] : '\0';
    run.bindNew(result, Value::ofText(Text::ofByte(c)));
}

void executeWhere(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 3, "where needs a list name, a value and a result name");
    Cell& list = requireCell(run, statement.tokens[0]);
    const Operand& wantedToken = statement.tokens[1];
    const ValueRef hold = isPlainOperand(wantedToken) ? ValueRef() : ValueRef(&list);
    Value scratch;
    const Value& wanted = evaluateTokenInPlace(wantedToken, run.view(), InlineBlocks::On, scratch);
    const std::int32_t position = findInItems(run.interpreter, list.value.items, wanted);
    const Operand& result = statement.tokens[2];
    run.bindNew(result, Value::ofInteger(position));
}

void executeRemove(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "remove needs a list name and a position");
    const ValueRef list = requireName(run, statement.tokens[0]);
    const std::int64_t n = evaluateTokenInteger(statement.tokens[1], run.view(), InlineBlocks::On);
    if (list->items.empty()) throw ScriptError(messages::kRemoveFromEmpty, std::string(statement.tokens[0].text));
    const std::size_t at = checkedPosition(n, list->items.size());
    ListChange change(run.interpreter, list->items);
    change.removing(list->items, at);
    ItemList& items = list->items.edit();
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(at));
    change.removed(list->items);
}

}  // namespace vorn
