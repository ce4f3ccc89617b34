// Unit tests of interned names: one Symbol per text, alive only while
// referred to, and lookups through Symbols that agree with lookups by text.
#include "values/Symbol.h"
#include "TestInterpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "exec/View.h"
#include "values/Scope.h"

using namespace vorn;

namespace {

TEST(Symbols, OneRecordPerTextWhileReferred) {
    const std::size_t before = symbolCount();
    SymbolRef a = intern("symbol_test_a");
    SymbolRef again = intern(std::string("symbol_test_") + "a");
    SymbolRef b = intern("symbol_test_b");
    EXPECT_EQ(a, again);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->text, "symbol_test_a");
    EXPECT_EQ(a->hash, hashName("symbol_test_a"));
    EXPECT_EQ(findSymbol("symbol_test_a", hashName("symbol_test_a")), a.get());
    EXPECT_EQ(symbolCount(), before + 2);

    // The last reference removes the Symbol; the text can be interned anew.
    a.reset();
    EXPECT_NE(findSymbol("symbol_test_a", hashName("symbol_test_a")), nullptr);
    again.reset();
    EXPECT_EQ(findSymbol("symbol_test_a", hashName("symbol_test_a")), nullptr);
    EXPECT_EQ(symbolCount(), before + 1);
    EXPECT_EQ(intern("symbol_test_a")->text, "symbol_test_a");
    b.reset();
    EXPECT_EQ(symbolCount(), before);
}

// Many names made and dropped in random order, some with equal hashes so
// that they share probe runs: every survivor is still found after each
// removal, and the table ends as it began.
TEST(Symbols, RemovalKeepsEveryOtherSymbolReachable) {
    const std::size_t before = symbolCount();
    std::mt19937 rng(7);
    std::vector<SymbolRef> held;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = "symbol_test_many_" + std::to_string(i);
        // Every third name takes a shared hash, as the explicit-hash
        // overloads allow, so removals must shift entries of long runs.
        held.push_back(i % 3 == 0 ? intern(text, 0x5eed0000u + static_cast<unsigned>(i % 7)) : intern(text));
    }
    EXPECT_EQ(symbolCount(), before + held.size());
    std::shuffle(held.begin(), held.end(), rng);
    while (!held.empty()) {
        held.pop_back();
        if (held.size() % 97 == 0) {
            for (const SymbolRef& s : held) ASSERT_EQ(findSymbol(s->text, s->hash), s.get()) << s->text;
        }
    }
    EXPECT_EQ(symbolCount(), before);
}

// Names that scripts make up (eval texts, decodelist) take memory only
// while they are bound: dropping the table drops their Symbols.
TEST(Symbols, BindingsHoldTheirNamesAndNothingMore) {
    const std::size_t before = symbolCount();
    {
        Scope scope;
        for (int i = 0; i < 10000; ++i)
            scope.set("symbol_test_bound_" + std::to_string(i), newValue(Value::ofInteger(i)));
        EXPECT_EQ(symbolCount(), before + 10000);
        Scope copy = scope;
        EXPECT_EQ(copy.find("symbol_test_bound_9999")->integer, 9999);
    }
    EXPECT_EQ(symbolCount(), before);
}

// A token holds the Symbol of its text from the start, so a binding made
// after it was read, by a table that is then gone and by another, is found.
TEST(Symbols, TokensFindBindingsMadeLater) {
    const std::string name = "symbol_test_late";
    const Operand token(name);
    ASSERT_TRUE(token.symbol);
    EXPECT_EQ(findSymbol(name, hashName(name)), token.symbol.get());
    {
        Scope table;
        EXPECT_EQ(TableView(table).view().lookupCell(token), nullptr);
        const ValueRef v = newValue(Value::ofInteger(1));
        table.set(name, v);
        EXPECT_EQ(TableView(table).view().lookupCell(token), v.cell());
    }
    Scope later;
    const ValueRef w = newValue(Value::ofInteger(2));
    later.set(name, w);
    EXPECT_EQ(TableView(Scope(), later).view().lookupCell(token), w.cell());
}

// Long tokens of expressions carry no hash of their own (kUnhashedName):
// they must still find, and only find, the Symbol of exactly their text.
TEST(Symbols, LongNamesWithoutTheirHash) {
    const std::string shortName(kHashedNameLength, 's');
    EXPECT_EQ(preparedHash(shortName), hashName(shortName));
    const std::string name = "symbol_test_long_" + std::string(kHashedNameLength, 'x');
    EXPECT_EQ(preparedHash(name), kUnhashedName);

    // Longer than every name ever interned: no Symbol, no Symbol made.
    const std::string huge(1 << 20, 'h');
    const std::size_t before = symbolCount();
    EXPECT_EQ(findSymbol(huge, kUnhashedName), nullptr);
    EXPECT_EQ(symbolCount(), before);

    // Made through either form of its hash, it is one Symbol with the real
    // hash, found through either form.
    SymbolRef made = intern(name, kUnhashedName);
    EXPECT_EQ(made->hash, hashName(name));
    EXPECT_EQ(intern(name), made);
    EXPECT_EQ(findSymbol(name, kUnhashedName), made.get());
    EXPECT_EQ(findSymbol(name, hashName(name)), made.get());
    // Another long text of the same length, and a longer one, find nothing.
    std::string other = name;
    other.back() = 'y';
    EXPECT_EQ(findSymbol(other, kUnhashedName), nullptr);
    EXPECT_EQ(findSymbol(name + "z", kUnhashedName), nullptr);

    // A long token has no Symbol of its own, yet finds a binding of exactly
    // its text, in whichever table.
    const Operand token(name, kUnhashedName);
    EXPECT_FALSE(token.symbol);
    Scope table;
    EXPECT_EQ(TableView(table).view().lookupCell(token), nullptr);
    const ValueRef v = newValue(Value::ofInteger(1));
    table.set(name, v);
    EXPECT_EQ(TableView(table).view().lookupCell(token), v.cell());
    Scope later;
    const ValueRef w = newValue(Value::ofInteger(2));
    later.set(name, w);
    EXPECT_EQ(TableView(Scope(), later).view().lookupCell(token), w.cell());
    EXPECT_EQ(TableView(Scope(), later).view().lookupCell(Operand(other, kUnhashedName)), nullptr);
}

}  // namespace
