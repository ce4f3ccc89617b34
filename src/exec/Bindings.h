// Bindings: every name of every run in one stack (shallow binding).
//
// A run sees two tables, an inherited one and a local one, the inherited one
// winning, and the statements that make a run copy, merge and write back
// those tables decide which names survive it (exec/Run.h). Nearly every run
// starts from what its caller sees and ends by dropping what it bound, so
// the tables are kept as one stack of bindings instead: binding a name pushes
// an entry, and a run that ends pops back to where it began. Each Symbol
// holds the position of its newest entry (Symbol::binding) and each entry the
// position of the one it hides, so a name is found in two loads, and undoing
// a binding puts the hidden one back.
//
// Each entry says which of the binding run's tables holds it (Table): the
// statements that rebind a name (list, index, where, class) rebind it where
// it is, and the passes of a loop keep or drop a binding by its table. An
// entry older than the run is in the run's inherited table, or in both of
// its tables for an until pass, whose two tables start as one (Frame).
//
// A rebinding whose entry would die together with the entry it hides
// replaces that entry's Value instead (Frame::keptFrom, Run::bindName).
//
// A barrier hides every entry below it: the runs that see only what they
// were given (a class body, an instantiation, a call with a sharing group,
// eval with bindings) start with one. The builtins are no entries: a name
// without a visible entry that names a builtin finds the builtin's Value,
// which is what every run's tables held since each run started by binding
// them. A run starts by hiding, for each builtin name that some visible entry
// binds to another Value, that entry behind one of the builtin's own.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "values/Symbol.h"
#include "values/Value.h"

namespace vorn {

enum class Table : std::uint8_t { None, Inherited, Local, Both };

// 32 bytes: the stack's size and positions are then a shift, not a division.
struct alignas(32) Binding {
    Binding(SymbolRef n, ValueRef v, std::uint32_t h, Table t, bool s)
        : name(std::move(n)), value(std::move(v)), hides(h), table(t), shadowsBoth(s) {}
    SymbolRef name;
    ValueRef value;
    // The entry this one hides (its position + 1), or 0.
    std::uint32_t hides = 0;
    Table table = Table::Inherited;
    // An inherited entry that hides a binding the local table holds: a run
    // that merges its two tables with the local one winning sees that one.
    bool shadowsBoth = false;
};
static_assert(sizeof(Binding) == 32, "a binding's position is its offset shifted");

// The part of the stack a run owns and how it classes what lies below.
struct Frame {
    explicit Frame(std::uint32_t ownMark = 0, bool both = false) : mark(ownMark), bothBelow(both), keptFrom(ownMark) {}
    std::uint32_t mark;      // entries from this position on are the run's own
    bool bothBelow;          // older entries are in both tables (an until pass)
    bool shadowed = false;   // some own entry has shadowsBoth
    // Entries from this position on live exactly as long as the run's own
    // do: from mark, or from the start of its loop scope for an each pass.
    std::uint32_t keptFrom;
    // The run goes on after a statement failed (the boot script's top
    // level and its until bodies), keeping the tables as they were before it.
    bool guarded = false;
};

class Bindings {
public:
    Bindings() = default;
    Bindings(const Bindings&) = delete;
    Bindings& operator=(const Bindings&) = delete;
    ~Bindings() { undoTo(0); }

    // The builtins' names and Values; each name's Symbol::builtin is its
    // position + 1 here.
    void setBuiltins(std::vector<std::pair<SymbolRef, ValueRef>> builtins);

    std::uint32_t size() const { return static_cast<std::uint32_t>(trail_.size()); }

    // The cell the name refers to, or null.
    Cell* find(const Symbol* name) const {
        const std::uint32_t at = name->binding;
        if (at > hidden_) [[likely]] return trail_[at - 1].value.cell();
        return name->builtin && !bare_ ? builtins_[name->builtin - 1].second.cell() : nullptr;
    }
    // The position + 1 of the name's visible entry, or 0 (none, or a builtin).
    std::uint32_t visibleEntry(const Symbol* name) const {
        const std::uint32_t at = name->binding;
        return at > hidden_ ? at : 0;
    }
    const Binding& entry(std::uint32_t position) const { return trail_[position - 1]; }

    // The table of frame's run that holds the name's visible binding.
    Table tableOf(const Symbol* name, const Frame& frame) const {
        const std::uint32_t at = visibleEntry(name);
        if (at == 0) return name->builtin && !bare_ ? Table::Inherited : Table::None;
        return classOf(at, frame);
    }
    Table classOf(std::uint32_t at, const Frame& frame) const {
        if (at > frame.mark) return trail_[at - 1].table;
        return frame.bothBelow ? Table::Both : Table::Inherited;
    }

    void push(SymbolRef name, ValueRef value, Table table, bool shadowsBoth = false) {
        Symbol* symbol = name.get();
        const Binding& b = trail_.emplace_back(std::move(name), std::move(value), symbol->binding, table, shadowsBoth);
        symbol->binding = size();
        countIn(b);
    }
    // Pops every entry from position mark on, newest first (comparing
    // pointers: a call pops its few bindings in every return).
    void undoTo(std::uint32_t mark) {
        const Binding* const stop = trail_.data() + mark;
        while (trail_.data() + trail_.size() > stop) {
            Binding& b = trail_.back();
            countOut(b);
            b.name->binding = b.hides;
            trail_.pop_back();
        }
    }
    // Binds the entry at position + 1 at to value instead.
    void replace(std::uint32_t at, ValueRef value) {
        Binding& b = trail_[at - 1];
        countOut(b);
        b.value = std::move(value);
        countIn(b);
    }
    // Binds the name's entry at or above mark to value instead, or pushes an
    // inherited entry when the name has none there (a loop scope's binding).
    void setFrom(std::uint32_t mark, const SymbolRef& name, ValueRef value);

    // A barrier: the position below which entries are hidden, and whether
    // the builtins are hidden too (code that sees only the names it was
    // given: eval's pairs, a list text's elements).
    struct Barrier {
        std::uint32_t below = 0;
        bool bare = false;
    };
    Barrier barrier() const { return {hidden_, bare_}; }
    // Hides every entry below mark (and the builtins, if bare); gives the
    // barrier it replaced.
    Barrier raiseBarrier(std::uint32_t mark, bool bare = false) {
        const Barrier old{hidden_, bare_};
        hidden_ = mark;
        bare_ = bare;
        return old;
    }
    void restoreBarrier(Barrier barrier) {
        hidden_ = barrier.below;
        bare_ = barrier.bare;
    }

    // Whether some builtin name may not show the builtin's own Value.
    bool builtinsHidden() const { return foreignBuiltins_ != 0 || bare_; }
    // Binds every builtin name that is bound to another Value to the
    // builtin's own again, in frame's inherited table.
    void rebindBuiltins(Frame& frame);

    // An inherited binding in frame's run, as list, index, where and class
    // make it over a name its inherited table holds.
    void bindInherited(SymbolRef name, ValueRef value, Frame& frame);

    // For a run that merges frame's two tables with the local one winning:
    // binds, in the new run's frame, each name whose local binding an
    // inherited one hides to the local binding's Value.
    void showLocalWinners(const Frame& frame);

    // Calls f(name, value) once for each visible name, builtins included, in
    // no particular order.
    template <class F>
    void forEachVisible(F&& f) const;

    // The name's binding in each table of frame's run, among the run's own
    // entries (from frame.mark on); null where the table has none of its own.
    std::pair<const Binding*, const Binding*> ownTables(const Symbol* name, const Frame& frame) const;

private:
    // A binding counts on its Value (list indexes and the kind trim look at
    // the count), notes a Value that carries payloads of another kind for the
    // trim, and counts a builtin name bound to another Value.
    void countIn(const Binding& b) {
        Cell* cell = b.value.cell();
        cell->countBinding();
        if (cell->value.hasStalePayload()) [[unlikely]] noteStaleBinding(b);
        if (b.name->builtin && builtins_[b.name->builtin - 1].second.cell() != cell) ++foreignBuiltins_;
    }
    void countOut(const Binding& b) {
        Cell* cell = b.value.cell();
        cell->uncountBinding();
        if (b.name->builtin && builtins_[b.name->builtin - 1].second.cell() != cell) --foreignBuiltins_;
    }
    void noteStaleBinding(const Binding& b);

    std::vector<Binding> trail_;
    std::uint32_t hidden_ = 0;
    bool bare_ = false;
    std::uint32_t foreignBuiltins_ = 0;  // entries binding a builtin name to another Value
    std::vector<std::pair<SymbolRef, ValueRef>> builtins_;
};

template <class F>
void Bindings::forEachVisible(F&& f) const {
    for (std::uint32_t at = size(); at > hidden_; --at) {
        const Binding& b = trail_[at - 1];
        if (b.name->binding == at) f(b.name, b.value);
    }
    if (bare_) return;
    for (const auto& [name, value] : builtins_)
        if (visibleEntry(name.get()) == 0) f(name, value);
}

}  // namespace vorn
