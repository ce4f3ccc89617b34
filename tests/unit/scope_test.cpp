// Unit tests of Scope, the table of names kept between runs: binding,
// independence of copies and name order, checked against std::map as a model.
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
    EXPECT_EQ(copy.find("x"), x);

    // A change made in place to a Value is seen through both.
    copy.find("x")->integer = 10;
    EXPECT_EQ(original.find("x")->integer, 10);

    // Binding in the copy does not change the original, and back.
    copy.set("x", integerValue(2));
    copy.set("y", integerValue(3));
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

// Random bindings and copies over a pool of tables, each checked against a
// std::map that is copied the same way.
TEST(ScopeModel, RandomSetAndCopyAgreeWithStdMap) {
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
        } else {
            place(pool[pick(pool.size())]);
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
