// A read-only view of a run's two tables, the inherited one winning.
//
// Operands are evaluated against this view. It is never copied into one
// table unless a new run needs a single table to start from (a call, an
// inline block); that merged table is computed once and kept until the run's
// bindings change.
#pragma once

#include <optional>

#include "values/Scope.h"

namespace vorn {

class Interpreter;

class View {
public:
    View(Interpreter& interpreter, const Scope& only) : interpreter_(&interpreter), first_(&only), second_(nullptr) {}
    View(Interpreter& interpreter, const Scope& first, const Scope& second)
        : interpreter_(&interpreter),
          first_(&first),
          second_((second.empty() || second.sameTableAs(first)) ? nullptr : &second) {}

    // The interpreter the run belongs to: code an operand runs (a call, an
    // inline block) runs in it too.
    Interpreter& interpreter() const { return *interpreter_; }

    ValueRef lookup(std::string_view name, std::uint64_t hash) const {
        if (!Scope::mayBeBound(hash)) return ValueRef();
        ValueRef v = first_->find(name, hash);
        if (!v && second_) v = second_->find(name, hash);
        return v;
    }
    ValueRef lookup(std::string_view name) const { return lookup(name, hashName(name)); }

    // The cell the name is bound to (borrowed), or null, remembered in cache.
    // Every binding holds its name's Symbol, so a name without one is bound
    // nowhere; the site keeps the Symbol once there is one.
    Cell* lookupCell(std::string_view name, std::uint64_t hash, LookupCache& cache) const {
        if (!Scope::mayBeBound(hash)) return nullptr;
        const Symbol* symbol = cache.symbol.get();
        if (!symbol) {
            Symbol* found = findSymbol(name, hash);
            if (!found) return nullptr;
            cache.symbol = SymbolRef(found);
            symbol = found;
        }
        if (Cell* c = first_->findInOverlayCell(symbol)) return c;
        const std::uint64_t s1 = first_->stamp(), s2 = second_ ? second_->stamp() : 0;
        if (cache.first != s1 || cache.second != s2) {
            cache.inFirst = first_->findInTrieCell(symbol);
            cache.inSecond = second_ ? second_->findInTrieCell(symbol) : nullptr;
            cache.first = s1;
            cache.second = s2;
        }
        if (cache.inFirst) return cache.inFirst;
        if (!second_) return nullptr;
        if (Cell* c = second_->findInOverlayCell(symbol)) return c;
        return cache.inSecond;
    }

    // Calls f with every Value the view shows (an inherited entry hides a
    // local entry of the same name).
    template <class F>
    void forEachVisible(F&& f) const {
        first_->forEach([&](const std::string&, const ValueRef& value) { f(value); });
        if (second_) {
            second_->forEach([&](const std::string& name, const ValueRef& value) {
                if (!first_->find(name)) f(value);
            });
        }
    }

    // All entries of the view as one table.
    const Scope& merged() const {
        if (!second_) return *first_;
        if (!merged_) merged_ = Scope::merge(*first_, *second_);
        return *merged_;
    }

private:
    Interpreter* interpreter_;
    const Scope* first_;
    const Scope* second_;
    mutable std::optional<Scope> merged_;
};

}  // namespace vorn
