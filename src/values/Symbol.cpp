// The table of Symbols: open addressing with linear probing over the
// precomputed hashes. A Symbol leaves the table when its last reference
// goes; the following entries of its probe run shift back, so no markers of
// removed entries accumulate, and the table shrinks again after a burst of
// names.
#include "values/Symbol.h"

#include <vector>


namespace vorn {

namespace {

class SymbolTable {
public:
    Symbol* find(std::string_view text, std::uint64_t hash) const {
        if (slots_.empty()) return nullptr;
        for (std::size_t i = hash & mask(); slots_[i]; i = (i + 1) & mask()) {
            Symbol* s = slots_[i];
            if (s->hash == hash && s->text == text) return s;
        }
        return nullptr;
    }

    void add(Symbol* symbol) {
        if ((count_ + 1) * 2 > slots_.size()) resize(slots_.empty() ? 256 : slots_.size() * 2);
        place(symbol);
        ++count_;
    }

    void remove(const Symbol* symbol) {
        std::size_t i = symbol->hash & mask();
        while (slots_[i] != symbol) i = (i + 1) & mask();
        // Shift back every later entry of the run that may not stay behind
        // the hole (its home slot is not cyclically after the hole).
        for (std::size_t j = (i + 1) & mask(); slots_[j]; j = (j + 1) & mask()) {
            const std::size_t home = slots_[j]->hash & mask();
            const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays) continue;
            slots_[i] = slots_[j];
            i = j;
        }
        slots_[i] = nullptr;
        --count_;
        if (slots_.size() > 256 && count_ * 8 < slots_.size()) resize(slots_.size() / 2);
    }

    std::size_t count() const { return count_; }

    // The length of the longest name ever interned; it never shrinks, so a
    // text longer than it has no Symbol now.
    std::size_t longest = 0;

private:
    std::size_t mask() const { return slots_.size() - 1; }

    void place(Symbol* symbol) {
        std::size_t i = symbol->hash & mask();
        while (slots_[i]) i = (i + 1) & mask();
        slots_[i] = symbol;
    }

    void resize(std::size_t size) {
        std::vector<Symbol*> old(size, nullptr);
        old.swap(slots_);
        for (Symbol* s : old)
            if (s) place(s);
    }

    std::vector<Symbol*> slots_;
    std::size_t count_ = 0;
};

// Never destroyed: Symbols held by static tables are released after every
// other static object may already be gone.
SymbolTable& table() {
    static SymbolTable* t = new SymbolTable;
    return *t;
}

}  // namespace

Symbol::~Symbol() { table().remove(this); }

std::uint64_t hashName(std::string_view name) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    // Final mix so that the low bits, which pick a table slot, are well spread.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}


SymbolRef intern(std::string_view text, std::uint64_t hash) {
    if (Symbol* found = findSymbol(text, hash)) return SymbolRef(found);
    if (hash == kUnhashedName) hash = hashName(text);
    SymbolRef made(new Symbol(text, hash));
    table().add(made.get());
    if (text.size() > table().longest) table().longest = text.size();
    return made;
}

// A name found by the hash it was given costs what it did before long names
// carried no hash: kUnhashedName is tested only when that search fails.
Symbol* findSymbol(std::string_view text, std::uint64_t hash) {
    if (Symbol* found = table().find(text, hash)) return found;
    if (hash != kUnhashedName || text.size() > table().longest) return nullptr;
    return table().find(text, hashName(text));
}

std::size_t symbolCount() { return table().count(); }

}  // namespace vorn
