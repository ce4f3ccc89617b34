// The stack of bindings: pushing, popping and the few walks over it.
#include "exec/Bindings.h"

#include "values/Stale.h"

namespace vorn {

void Bindings::setBuiltins(std::vector<std::pair<SymbolRef, ValueRef>> builtins) {
    builtins_ = std::move(builtins);
    for (std::size_t i = 0; i < builtins_.size(); ++i) builtins_[i].first->builtin = static_cast<std::uint16_t>(i + 1);
}

void Bindings::noteStaleBinding(const Binding& b) { noteStale(b.value, b.name.get()); }

void Bindings::setFrom(std::uint32_t mark, const SymbolRef& name, ValueRef value) {
    const std::uint32_t at = name->binding;
    if (at <= mark || at <= hidden_) {
        push(name, std::move(value), Table::Inherited);
        return;
    }
    replace(at, std::move(value));
}

void Bindings::bindInherited(SymbolRef name, ValueRef value, Frame& frame) {
    const bool both = tableOf(name.get(), frame) == Table::Both;
    if (both) frame.shadowed = true;
    push(std::move(name), std::move(value), Table::Inherited, both);
}

void Bindings::rebindBuiltins(Frame& frame) {
    for (const auto& [name, value] : builtins_) {
        const Cell* visible = find(name.get());
        if (visible != value.cell()) bindInherited(name, value, frame);
    }
}

void Bindings::showLocalWinners(const Frame& frame) {
    if (!frame.shadowed) return;
    const std::uint32_t end = size();
    for (std::uint32_t at = frame.mark + 1; at <= end; ++at) {
        const Binding& b = trail_[at - 1];
        if (!b.shadowsBoth) continue;
        // The newest binding of the name that the local table holds.
        const Symbol* name = b.name.get();
        std::uint32_t local = visibleEntry(name);
        while (local > hidden_ && classOf(local, frame) == Table::Inherited) local = trail_[local - 1].hides;
        if (local <= hidden_ || local == name->binding) continue;
        SymbolRef keep = b.name;
        ValueRef value = trail_[local - 1].value;
        push(std::move(keep), std::move(value), Table::Inherited);
    }
}

std::pair<const Binding*, const Binding*> Bindings::ownTables(const Symbol* name, const Frame& frame) const {
    const Binding* inherited = nullptr;
    const Binding* local = nullptr;
    for (std::uint32_t at = visibleEntry(name); at > frame.mark && !(inherited && local); at = trail_[at - 1].hides) {
        const Binding& b = trail_[at - 1];
        if (!inherited && (b.table == Table::Inherited || b.table == Table::Both)) inherited = &b;
        if (!local && (b.table == Table::Local || b.table == Table::Both)) local = &b;
    }
    return {inherited, local};
}

}  // namespace vorn
