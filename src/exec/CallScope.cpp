// The names a call binds, and its scope as one table when a builtin needs it.
#include "exec/CallScope.h"

#include "exec/Interpreter.h"

#include <memory>
#include <string>

namespace vorn {

namespace detail {

const SymbolRef* tabledArgumentNames() {
    static SymbolRef names[kTabledArgumentNames];
    for (std::size_t i = 0; i < kTabledArgumentNames; ++i) names[i] = intern("arg" + std::to_string(i));
    return names;
}

const SymbolRef& laterArgumentName(std::size_t index) {
    // Each later name keeps its place as the list grows.
    static std::vector<std::unique_ptr<const SymbolRef>> more;
    const std::size_t first = kTabledArgumentNames;
    while (more.size() <= index - first)
        more.push_back(std::make_unique<const SymbolRef>(intern("arg" + std::to_string(first + more.size()))));
    return *more[index - first];
}

}  // namespace detail

const Scope& CallScope::table() const {
    if (!table_) {
        // Made as a script function's scope is made (performCall).
        Scope table;
        if (shared_)
            for (std::size_t i = 0; i < shared_->size(); ++i) table.set((*shared_)[i].name, (*shared_)[i].value);
        else caller_.forEachVisible([&](const SymbolRef& name, const ValueRef& value) { table.set(name, value); });
        for (std::size_t i = 0; i < bindings_.size(); ++i) table.set(bindings_[i].name, bindings_[i].value);
        if (self_) table.set(selfName(), self_);
        table_.emplace(std::move(table));
    }
    return *table_;
}

CallScope::Entered::Entered(const CallScope& scope)
    : bindings_(scope.interpreter().bindings()), mark_(bindings_.size()), barrier_(bindings_.barrier()) {
    if (scope.shared_) {
        bindings_.raiseBarrier(mark_);
        for (std::size_t i = 0; i < scope.shared_->size(); ++i)
            bindings_.push((*scope.shared_)[i].name, (*scope.shared_)[i].value, Table::Inherited);
    }
    for (std::size_t i = 0; i < scope.bindings_.size(); ++i)
        bindings_.push(scope.bindings_[i].name, scope.bindings_[i].value, Table::Inherited);
    if (scope.self_) bindings_.push(selfName(), scope.self_, Table::Inherited);
}

CallScope::Entered::~Entered() {
    bindings_.undoTo(mark_);
    bindings_.restoreBarrier(barrier_);
}

}  // namespace vorn
