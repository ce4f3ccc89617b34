// Scope: a table from names to Values that outlives the runs.
//
// The runs keep their names in the interpreter's stack of bindings
// (exec/Bindings.h). A Scope holds a table kept apart from it: the names a
// script leaves for the next one, the members a class body made, the pairs
// eval is given, the shared names of a call, the whole of a call's scope for
// `_getvars`. Each entry counts as a binding of its Value, as an entry of the
// stack does, and notes a Value that carries payloads of another kind for
// the kind trim.
//
// Entries are found by their name's Symbol; iteration is in no particular
// order, and entriesInOrder() gives the byte-wise name order that scripts can
// observe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "values/Symbol.h"
#include "values/Value.h"

namespace vorn {

class Scope {
public:
    // The Value bound to name, or null.
    ValueRef find(std::string_view name) const { return find(name, hashName(name)); }
    ValueRef find(std::string_view name, std::uint64_t hash) const;
    bool contains(std::string_view name) const { return static_cast<bool>(find(name)); }

    // Binds name to value, creating or replacing the entry.
    void set(std::string_view name, ValueRef value) { set(intern(name), std::move(value)); }
    void set(std::string_view name, std::uint64_t hash, ValueRef value) { set(intern(name, hash), std::move(value)); }
    void set(const SymbolRef& name, ValueRef value);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }
    std::vector<std::pair<std::string, ValueRef>> entriesInOrder() const;
    template <class F>
    void forEach(F&& f) const {  // f(const std::string& name, const ValueRef& value)
        for (const auto& [symbol, entry] : entries_) f(entry.name->text, entry.value);
    }
    template <class F>
    void forEachBinding(F&& f) const {  // f(const SymbolRef& name, const ValueRef& value)
        for (const auto& [symbol, entry] : entries_) f(entry.name, entry.value);
    }

private:
    // One binding, counted on its Value while it lasts.
    struct Entry {
        Entry(SymbolRef n, ValueRef v);
        Entry(const Entry& other) : Entry(other.name, other.value) {}
        Entry& operator=(const Entry& other) {
            if (this != &other) {
                name = other.name;
                rebind(other.value);
            }
            return *this;
        }
        ~Entry();
        void rebind(ValueRef v);
        SymbolRef name;
        ValueRef value;
    };
    std::unordered_map<const Symbol*, Entry> entries_;
};

}  // namespace vorn
