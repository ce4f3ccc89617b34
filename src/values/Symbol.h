// Interned names: one shared record per distinct name text.
//
// Every binding holds the Symbol of its name, and every token holds the
// Symbol of its text, so two names are the same exactly when their Symbols
// are the same record: comparing names costs one pointer compare, binding a
// name copies one counted pointer instead of its text, and the Symbol says
// where the name's binding lies (exec/Bindings.h).
//
// A Symbol lives only as long as something refers to it (a binding, a
// token, a table of fixed names); the last reference removes it from
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

// Hashing a name costs a multiply per byte, and the tokens of nested groups
// are as long as the group: hashing each level's tokens ahead of any lookup
// would take time in the square of the depth. Tokens longer than
// kHashedNameLength may therefore carry kUnhashedName instead of their hash;
// findSymbol and intern hash them only when they must, and a text longer than
// every name ever interned is known to be bound nowhere without hashing it:
// such a token gets no Symbol of its own, and its lookups end at that test
// while no long name is bound.
constexpr std::size_t kHashedNameLength = 64;
constexpr std::uint64_t kUnhashedName = 0x9b5d3c2e71a0f6e5ull;

// hashName(text), or kUnhashedName for a text longer than kHashedNameLength.
inline std::uint64_t preparedHash(std::string_view text) {
    return text.size() > kHashedNameLength ? kUnhashedName : hashName(text);
}

class Symbol : public RefCounted {
public:
    VORN_POOLED(Symbol)
    Symbol(std::string_view text, std::uint64_t hash) : text(text), hash(hash) {}
    ~Symbol();
    Symbol(const Symbol&) = delete;
    Symbol& operator=(const Symbol&) = delete;

    const std::string text;
    const std::uint64_t hash;
    // The builtin of this name (its position + 1 in the running program's
    // table of builtins), or 0.
    std::uint16_t builtin = 0;
    // Where the name's newest binding lies in the running program's stack of
    // bindings (its position + 1), or 0 (exec/Bindings.h). One program runs
    // at a time, and it pops every binding it pushed before it ends.
    std::uint32_t binding = 0;
};

using SymbolRef = Ref<Symbol>;

// The one Symbol of text (made now if no Symbol of it exists); hash is
// hashName(text) or, for a long text, kUnhashedName.
SymbolRef intern(std::string_view text, std::uint64_t hash);
inline SymbolRef intern(std::string_view text) { return intern(text, hashName(text)); }

// The Symbol of text if one exists, else null; never makes one. hash as for
// intern.
Symbol* findSymbol(std::string_view text, std::uint64_t hash);

// How many Symbols exist now.
std::size_t symbolCount();

}  // namespace vorn
