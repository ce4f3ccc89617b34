// Unit tests of Scope, the persistent name table: binding, independence of
// copies, merging and name order, checked against std::map as a model.
#include "values/Scope.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace vorn;

namespace {

using Model = std::map<std::string, ValueRef>;

// "v12" and the like.
std::string numbered(const char* prefix, int i) {
    std::string out(prefix);
    out += std::to_string(i);
    return out;
}

ValueRef integerValue(std::int64_t i) { return newValue(Value::ofInteger(i)); }

// Compares a Scope with its model: same names in byte-wise order, bound to
// the very same Values, and every name found by lookup.
::testing::AssertionResult matches(const Scope& scope, const Model& model) {
    const auto entries = scope.entriesInOrder();
    if (entries.size() != model.size())
        return ::testing::AssertionFailure() << entries.size() << " entries, model has " << model.size();
    if (scope.size() != model.size()) return ::testing::AssertionFailure() << "size() " << scope.size();
    if (scope.empty() != model.empty()) return ::testing::AssertionFailure() << "empty() disagrees";
    auto m = model.begin();
    for (const auto& [name, value] : entries) {
        if (name != m->first) return ::testing::AssertionFailure() << "entry \"" << name << "\", model \"" << m->first << "\"";
        if (value != m->second) return ::testing::AssertionFailure() << "entry \"" << name << "\" bound to another Value";
        if (scope.find(name) != m->second) return ::testing::AssertionFailure() << "find(\"" << name << "\") disagrees";
        ++m;
    }
    return ::testing::AssertionSuccess();
}

Model mergedModel(const Model& preferred, const Model& other) {
    Model out = preferred;
    out.insert(other.begin(), other.end());  // keeps preferred's entries
    return out;
}

std::string randomName(std::mt19937& rng) {
    static const std::string alphabet = "abcxyzABZ_09 $.\x01\x7f\x80\xff";
    const int length = std::uniform_int_distribution<int>(0, 10)(rng);
    std::string name;
    for (int i = 0; i < length; ++i)
        name += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    return name;
}

}  // namespace

TEST(ScopeBasics, SetFindAndReplace) {
    Scope scope;
    EXPECT_TRUE(scope.empty());
    EXPECT_EQ(scope.size(), 0u);
    EXPECT_FALSE(scope.find("x"));
    EXPECT_FALSE(scope.contains("x"));

    ValueRef one = integerValue(1);
    scope.set("x", one);
    EXPECT_EQ(scope.find("x"), one);
    EXPECT_TRUE(scope.contains("x"));
    EXPECT_FALSE(scope.contains("X"));
    EXPECT_FALSE(scope.contains("x "));
    EXPECT_FALSE(scope.contains(""));

    ValueRef two = integerValue(2);
    scope.set("x", two);
    EXPECT_EQ(scope.find("x"), two);
    EXPECT_EQ(scope.size(), 1u);
    EXPECT_EQ(one->integer, 1);  // rebinding only drops the reference

    // The empty name is an ordinary name.
    ValueRef blank = integerValue(3);
    scope.set("", blank);
    EXPECT_EQ(scope.find(""), blank);
    EXPECT_EQ(scope.size(), 2u);

    // A null reference can be bound and reads back as absent.
    scope.set("nothing", ValueRef());
    EXPECT_FALSE(scope.find("nothing"));

    scope.clear();
    EXPECT_TRUE(scope.empty());
    EXPECT_FALSE(scope.find("x"));
}

TEST(ScopeBasics, CopiesShareValuesButNotBindings) {
    Scope original;
    ValueRef x = integerValue(1);
    original.set("x", x);
    Scope copy = original;
    EXPECT_TRUE(copy.sameTableAs(original));
    EXPECT_EQ(copy.find("x"), x);

    // A change made in place to a Value is seen through both.
    copy.find("x")->integer = 10;
    EXPECT_EQ(original.find("x")->integer, 10);

    // Binding in the copy does not change the original, and back.
    copy.set("x", integerValue(2));
    copy.set("y", integerValue(3));
    EXPECT_FALSE(copy.sameTableAs(original));
    EXPECT_EQ(original.find("x"), x);
    EXPECT_FALSE(original.contains("y"));
    original.set("z", integerValue(4));
    EXPECT_FALSE(copy.contains("z"));
    EXPECT_EQ(original.size(), 2u);
    EXPECT_EQ(copy.size(), 2u);

    // Copy assignment replaces the whole table.
    copy = original;
    EXPECT_EQ(copy.find("x"), x);
    EXPECT_FALSE(copy.contains("y"));
    EXPECT_TRUE(copy.contains("z"));
}

TEST(ScopeOrder, EntriesInByteWiseNameOrder) {
    Scope scope;
    for (const char* name : {"a", "_x", "B", "ab", "", "\x80", "z", "A", "0", "a\x01", "~"})
        scope.set(name, integerValue(0));
    std::vector<std::string> names;
    for (const auto& [name, value] : scope.entriesInOrder()) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"", "0", "A", "B", "_x", "a", "a\x01", "ab", "z", "~", "\x80"}));
}

TEST(ScopeMerge, PreferredWinsAndBothContribute) {
    ValueRef p1 = integerValue(1), p2 = integerValue(2), o2 = integerValue(20), o3 = integerValue(30);
    Scope preferred;
    preferred.set("a", p1);
    preferred.set("b", p2);
    Scope other;
    other.set("b", o2);
    other.set("c", o3);

    const Scope merged = Scope::merge(preferred, other);
    EXPECT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged.find("a"), p1);
    EXPECT_EQ(merged.find("b"), p2);
    EXPECT_EQ(merged.find("c"), o3);

    const Scope reversed = Scope::merge(other, preferred);
    EXPECT_EQ(reversed.find("b"), o2);
    EXPECT_EQ(reversed.size(), 3u);

    // Neither input changes, and the result is independent of both.
    EXPECT_EQ(preferred.size(), 2u);
    EXPECT_EQ(other.size(), 2u);
    EXPECT_EQ(other.find("b"), o2);
    Scope changed = merged;
    changed.set("a", integerValue(9));
    EXPECT_EQ(merged.find("a"), p1);
    EXPECT_EQ(preferred.find("a"), p1);

    EXPECT_TRUE(matches(Scope::merge(Scope(), other), {{"b", o2}, {"c", o3}}));
    EXPECT_TRUE(matches(Scope::merge(other, Scope()), {{"b", o2}, {"c", o3}}));
    EXPECT_TRUE(matches(Scope::merge(other, other), {{"b", o2}, {"c", o3}}));
    EXPECT_TRUE(Scope::merge(Scope(), Scope()).empty());
}

TEST(ScopeMerge, TablesSharingMostOfTheirEntries) {
    // The common case at the end of a run: two tables that grew apart from
    // one ancestor by a few bindings each.
    Scope base;
    Model model;
    for (int i = 0; i < 2000; ++i) {
        ValueRef v = integerValue(i);
        base.set(numbered("v", i), v);
        model[numbered("v", i)] = v;
    }
    Scope left = base, right = base;
    Model leftModel = model, rightModel = model;
    for (int i = 0; i < 2000; i += 97) {
        ValueRef l = integerValue(-i), r = integerValue(-i - 1);
        left.set(numbered("v", i), l);
        leftModel[numbered("v", i)] = l;
        right.set(numbered("v", i + 1), r);
        rightModel[numbered("v", i + 1)] = r;
        right.set(numbered("new", i), r);
        rightModel[numbered("new", i)] = r;
    }
    EXPECT_TRUE(matches(Scope::merge(left, right), mergedModel(leftModel, rightModel)));
    EXPECT_TRUE(matches(Scope::merge(right, left), mergedModel(rightModel, leftModel)));
    EXPECT_TRUE(matches(Scope::merge(base, left), mergedModel(model, leftModel)));
    EXPECT_TRUE(matches(base, model));
    EXPECT_TRUE(matches(left, leftModel));
    EXPECT_TRUE(matches(right, rightModel));
}

TEST(ScopeScale, TenThousandRandomNames) {
    std::mt19937 rng(12345);
    Scope scope;
    Model model;
    while (model.size() < 10000) {
        std::string name = randomName(rng) + randomName(rng);
        ValueRef v = integerValue(static_cast<std::int64_t>(model.size()));
        scope.set(name, v);
        model[name] = v;
    }
    ASSERT_TRUE(matches(scope, model));

    Scope copy = scope;
    Model copyModel = model;
    int i = 0;
    for (auto& [name, value] : copyModel) {
        if (i++ % 2 == 0) continue;
        value = integerValue(-1);
        copy.set(name, value);
    }
    EXPECT_TRUE(matches(copy, copyModel));
    EXPECT_TRUE(matches(scope, model));
}

// Random bindings, copies and merges over a pool of tables, each checked
// against a std::map that is copied and merged the same way.
TEST(ScopeModel, RandomSetCopyMergeAgreeWithStdMap) {
    std::mt19937 rng(2024);
    std::vector<std::string> names;
    for (int i = 0; i < 1500; ++i) names.push_back(randomName(rng));

    std::vector<std::pair<Scope, Model>> pool(1);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    auto place = [&](std::pair<Scope, Model> entry) {
        if (pool.size() < 24) pool.push_back(std::move(entry));
        else pool[pick(pool.size())] = std::move(entry);
    };

    for (int step = 0; step < 10000; ++step) {
        const int action = std::uniform_int_distribution<int>(0, 99)(rng);
        if (action < 75) {
            auto& [scope, model] = pool[pick(pool.size())];
            const std::string& name = names[pick(names.size())];
            ValueRef v = integerValue(step);
            scope.set(name, v);
            model[name] = v;
        } else if (action < 88) {
            place(pool[pick(pool.size())]);
        } else {
            const auto& a = pool[pick(pool.size())];
            const auto& b = pool[pick(pool.size())];
            place({Scope::merge(a.first, b.first), mergedModel(a.second, b.second)});
        }
        if (step % 500 == 0) {
            const auto& [scope, model] = pool[pick(pool.size())];
            ASSERT_TRUE(matches(scope, model)) << "at step " << step;
        }
    }
    for (std::size_t i = 0; i < pool.size(); ++i) EXPECT_TRUE(matches(pool[i].first, pool[i].second)) << "table " << i;
    // Names never bound anywhere are absent everywhere.
    for (const auto& [scope, model] : pool)
        for (const char* absent : {"\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe", "never bound"})
            EXPECT_FALSE(scope.contains(absent));
}

// Names whose hashes agree entirely or in many bits, given through the
// explicit-hash overloads, must still be told apart by their text.
TEST(ScopeCollisions, EqualAndNearlyEqualHashes) {
    const std::uint64_t same = 0x0123456789abcdefull;
    const std::uint64_t topBitsDiffer = same ^ (1ull << 62);
    const std::uint64_t lowBitsEqual = (same & 0xffffffffull) | 0xabc0000000000000ull;

    Scope scope;
    Model model;
    auto bind = [&](const std::string& name, std::uint64_t hash, std::int64_t i) {
        ValueRef v = integerValue(i);
        scope.set(name, hash, v);
        model[name] = v;
    };
    bind("a", same, 1);
    bind("b", same, 2);
    bind("c", same, 3);
    bind("d", topBitsDiffer, 4);
    bind("e", lowBitsEqual, 5);
    bind("b", same, 20);  // replace inside the collision bucket

    EXPECT_EQ(scope.find("a", same)->integer, 1);
    EXPECT_EQ(scope.find("b", same)->integer, 20);
    EXPECT_EQ(scope.find("c", same)->integer, 3);
    EXPECT_EQ(scope.find("d", topBitsDiffer)->integer, 4);
    EXPECT_EQ(scope.find("e", lowBitsEqual)->integer, 5);
    EXPECT_FALSE(scope.find("z", same));
    EXPECT_FALSE(scope.find("a", topBitsDiffer));
    const auto entries = scope.entriesInOrder();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].first, "b");
    EXPECT_EQ(entries[1].second, model["b"]);

    // A copy that changes its bucket leaves the original's bucket alone.
    Scope copy = scope;
    copy.set("a", same, integerValue(100));
    copy.set("f", same, integerValue(6));
    EXPECT_EQ(scope.find("a", same)->integer, 1);
    EXPECT_FALSE(scope.find("f", same));
    EXPECT_EQ(copy.find("f", same)->integer, 6);

    // Merging two buckets: preferred wins per name, the rest is added.
    Scope other;
    other.set("a", same, integerValue(-1));
    other.set("g", same, integerValue(7));
    const Scope merged = Scope::merge(copy, other);
    EXPECT_EQ(merged.find("a", same)->integer, 100);
    EXPECT_EQ(merged.find("g", same)->integer, 7);
    EXPECT_EQ(merged.find("b", same)->integer, 20);
    EXPECT_EQ(merged.size(), 7u);
    const Scope mergedBack = Scope::merge(other, copy);
    EXPECT_EQ(mergedBack.find("a", same)->integer, -1);
    EXPECT_EQ(mergedBack.size(), 7u);
    EXPECT_EQ(copy.size(), 6u);
    EXPECT_EQ(other.size(), 2u);
}

TEST(ScopeBuiltins, RebindingAWatchedNameClearsTheBuiltinsFlag) {
    Scope::watchName("scope_test_watched");
    Scope scope;
    EXPECT_FALSE(scope.builtinsBound());
    scope.setBuiltinsBound();
    scope.set("ordinary", integerValue(1));
    EXPECT_TRUE(scope.builtinsBound());

    Scope rebound = scope;
    rebound.set("scope_test_watched", integerValue(2));
    EXPECT_FALSE(rebound.builtinsBound());
    EXPECT_TRUE(scope.builtinsBound());

    // A merge keeps the flag only when the builtin names surely resolve to
    // a table that has it.
    EXPECT_TRUE(Scope::merge(scope, rebound).builtinsBound());
    EXPECT_FALSE(Scope::merge(rebound, scope).builtinsBound());
    EXPECT_TRUE(Scope::merge(Scope(), scope).builtinsBound());

    scope.clear();
    EXPECT_FALSE(scope.builtinsBound());
}
