// What a builtin sees of the call that reached it.
//
// A call's scope is what the caller sees (only the shared names, for a call
// with a sharing group), then the call's arguments, then "self" for a
// method, each binding hiding an earlier one of the same name. A script
// function's call pushes those bindings for its run. A builtin only reads a
// few names from it, its arguments, so for a builtin nothing is pushed: a
// lookup reads the call's bindings, then the caller's view. `_getvars` lists
// the whole scope as a table, and `eval` pushes it (Entered) to evaluate in it.
#pragma once

#include <cstddef>
#include <new>
#include <optional>
#include <vector>

#include "exec/View.h"
#include "values/Scope.h"
#include "values/Symbol.h"
#include "values/Value.h"

namespace vorn {

namespace detail {
constexpr std::size_t kTabledArgumentNames = 8;
const SymbolRef* tabledArgumentNames();
const SymbolRef& laterArgumentName(std::size_t index);
}  // namespace detail

// "arg0", "arg1", ...: the names a call binds its arguments to unless the
// callee names them (setargmap). Made once each; the first few, which nearly
// every call uses, sit in a table.
inline const SymbolRef& argumentName(std::size_t index) {
    static const SymbolRef* const tabled = detail::tabledArgumentNames();
    return index < detail::kTabledArgumentNames ? tabled[index] : detail::laterArgumentName(index);
}
// "self", which a method call binds to its object after the arguments.
inline const SymbolRef& selfName() {
    static const SymbolRef self = intern("self");
    return self;
}

// A name and the Value a call binds it to.
struct CallBinding {
    SymbolRef name;
    ValueRef value;
};

// The bindings of one call, in the order they are made: the first few in
// place (each call makes one of these), more on the heap.
class CallBindings {
public:
    CallBindings() = default;
    CallBindings(const CallBindings&) = delete;
    CallBindings& operator=(const CallBindings&) = delete;
    ~CallBindings() {
        for (std::size_t i = 0; i < count_ && i < kInPlace; ++i) slot(i).~CallBinding();
    }

    void add(SymbolRef name, ValueRef value) {
        if (count_ < kInPlace) new (&storage_[count_ * sizeof(CallBinding)]) CallBinding{std::move(name), std::move(value)};
        else more_.push_back({std::move(name), std::move(value)});
        ++count_;
    }
    std::size_t size() const { return count_; }
    CallBinding& operator[](std::size_t i) { return i < kInPlace ? slot(i) : more_[i - kInPlace]; }
    const CallBinding& operator[](std::size_t i) const { return const_cast<CallBindings&>(*this)[i]; }

private:
    static constexpr std::size_t kInPlace = 4;
    CallBinding& slot(std::size_t i) {
        return *std::launder(reinterpret_cast<CallBinding*>(&storage_[i * sizeof(CallBinding)]));
    }
    alignas(CallBinding) unsigned char storage_[kInPlace * sizeof(CallBinding)];
    std::vector<CallBinding> more_;
    std::size_t count_ = 0;
};

class CallScope {
public:
    // caller: what the call sees before its own bindings; self: the object
    // of a method call, or null.
    // shared: the only names the call sees of its caller's, for a call with a
    // sharing group, in the group's order; null for any other call.
    CallScope(const View& caller, const CallBindings& bindings, ValueRef self = ValueRef(),
              const CallBindings* shared = nullptr)
        : caller_(caller), bindings_(bindings), self_(std::move(self)), shared_(shared) {}
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    // The Value name is bound to in the call's scope, or null.
    ValueRef find(const SymbolRef& name) const {
        if (self_ && name == selfName()) return self_;
        for (std::size_t i = bindings_.size(); i-- > 0;)
            if (bindings_[i].name == name) return bindings_[i].value;
        if (!shared_) return ValueRef(caller_.lookupCell(name.get()));
        for (std::size_t i = shared_->size(); i-- > 0;)
            if ((*shared_)[i].name == name) return (*shared_)[i].value;
        return ValueRef();
    }
    // The call's scope as one table, built on first use.
    const Scope& table() const;

    Interpreter& interpreter() const { return caller_.interpreter(); }
    const View& view() const { return caller_; }

    // Pushes the call's scope over the caller's bindings (behind a barrier,
    // for a call with a sharing group) while it lives, so that code
    // evaluated meanwhile sees exactly that scope.
    class Entered {
    public:
        explicit Entered(const CallScope& scope);
        ~Entered();
        Entered(const Entered&) = delete;
        Entered& operator=(const Entered&) = delete;

    private:
        Bindings& bindings_;
        std::uint32_t mark_;
        Bindings::Barrier barrier_;
    };

private:
    const View& caller_;
    const CallBindings& bindings_;
    ValueRef self_;
    const CallBindings* shared_;
    mutable std::optional<Scope> table_;
};

}  // namespace vorn
