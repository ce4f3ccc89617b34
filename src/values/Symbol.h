// Interned names: one shared record per distinct name text.
//
// Every binding in a Scope holds the Symbol of its name, and lookup sites
// remember the Symbol of the name they read, so two names are the same
// exactly when their Symbols are the same record: comparing names costs one
// pointer compare, and binding a name copies one counted pointer instead of
// its text.
//
// A Symbol lives only as long as something refers to it (a binding, a
// lookup site, a table of fixed names); the last reference removes it from
// the table of Symbols. Texts that scripts make up at run time (`eval`,
// `decodelist`, `setargmap` names) therefore take memory only while they are
// bound or remembered somewhere, never for good.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "values/Ref.h"

namespace vorn {

std::uint64_t hashName(std::string_view name);

class Symbol : public RefCounted {
public:
    VORN_POOLED(Symbol)
    Symbol(std::string_view text, std::uint64_t hash) : text(text), hash(hash) {}
    ~Symbol();
    Symbol(const Symbol&) = delete;
    Symbol& operator=(const Symbol&) = delete;

    const std::string text;
    const std::uint64_t hash;
    // The name of a builtin: rebinding it clears a table's builtins flag.
    bool watched = false;
};

using SymbolRef = Ref<Symbol>;

// The one Symbol of text (made now if no Symbol of it exists); hash is
// hashName(text).
SymbolRef intern(std::string_view text, std::uint64_t hash);
inline SymbolRef intern(std::string_view text) { return intern(text, hashName(text)); }

// The Symbol of text if one exists, else null; never makes one.
Symbol* findSymbol(std::string_view text, std::uint64_t hash);

// How many Symbols exist now.
std::size_t symbolCount();

}  // namespace vorn
