// Scope's entries and their counts.
#include "values/Scope.h"

#include <algorithm>

#include "values/Stale.h"

namespace vorn {

Scope::Entry::Entry(SymbolRef n, ValueRef v) : name(std::move(n)), value(std::move(v)) {
    if (!value) return;
    value.cell()->countBinding();
    if (value->hasStalePayload()) noteStale(value, name.get());
}

void Scope::Entry::rebind(ValueRef v) {
    if (value) value.cell()->uncountBinding();
    value = std::move(v);
    if (!value) return;
    value.cell()->countBinding();
    if (value->hasStalePayload()) noteStale(value, name.get());
}

Scope::Entry::~Entry() {
    if (value) value.cell()->uncountBinding();
}

ValueRef Scope::find(std::string_view name, std::uint64_t hash) const {
    const Symbol* symbol = findSymbol(name, hash);
    if (!symbol) return ValueRef();
    const auto found = entries_.find(symbol);
    return found == entries_.end() ? ValueRef() : found->second.value;
}

void Scope::set(const SymbolRef& name, ValueRef value) {
    const auto found = entries_.find(name.get());
    if (found != entries_.end()) found->second.rebind(std::move(value));
    else entries_.try_emplace(name.get(), name, std::move(value));
}

std::vector<std::pair<std::string, ValueRef>> Scope::entriesInOrder() const {
    std::vector<std::pair<std::string, ValueRef>> out;
    out.reserve(entries_.size());
    for (const auto& [symbol, entry] : entries_) out.emplace_back(entry.name->text, entry.value);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

}  // namespace vorn
