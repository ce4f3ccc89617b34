// Unit tests of the Value record: defaults, copy semantics, wiping, trimming.
#include "values/Value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorn;

namespace {

Value dummyNative(const CallScope&) { return Value(); }

// A Value with every payload field filled, whatever its kind.
struct Loaded {
    ValueRef element = newValue(Value::ofInteger(11));
    ValueRef member = newValue(Value::ofText("m"));
    ValueRef owner = newValue();
    Value value;

    explicit Loaded(Kind kind) {
        value.setBound(true);
        value.setBoundObject(owner);
        value.mutableBytes().assign({1, 2, 3});
        value.text = Text("payload");
        value.mutableArgNames().assign({"a", "b"});
        value.integer = 7;
        value.setReal(2.5L);
        value.items.assign({element});
        value.setMembers(MemberTable::of({{intern("m"), member}}));
        value.setNative(&dummyNative);
        value.kind = kind;
    }
};

}  // namespace

TEST(ValueRecord, DefaultIsUnspecifiedWithEmptyPayloads) {
    const Value v;
    EXPECT_EQ(v.kind, Kind::Unspecified);
    EXPECT_EQ(kindName(v.kind), "unspecified");
    EXPECT_FALSE(v.bound());
    EXPECT_FALSE(v.boundObject());
    EXPECT_TRUE(v.bytes().empty());
    EXPECT_EQ(v.text.str(), "");
    EXPECT_TRUE(v.argNames().empty());
    EXPECT_EQ(v.integer, 0);
    EXPECT_EQ(v.real(), 0.0L);
    EXPECT_TRUE(v.items.empty());
    EXPECT_TRUE(v.members().empty());
    EXPECT_EQ(v.native(), nullptr);
    EXPECT_FALSE(v.isNumber());
    EXPECT_FALSE(v.hasStalePayload());
}

TEST(ValueRecord, KindNamesRoundTrip) {
    const std::vector<std::pair<Kind, std::string>> names = {
        {Kind::Unspecified, "unspecified"}, {Kind::String, "string"}, {Kind::Integer, "integer"},
        {Kind::Float, "float"},             {Kind::Func, "func"},     {Kind::List, "list"},
        {Kind::Bytes, "bytes"},             {Kind::Scaffold, "scaffold"}, {Kind::CFunc, "cfunc"},
        {Kind::Wiped, ""},
    };
    for (const auto& [kind, name] : names) {
        EXPECT_EQ(kindName(kind), name);
        Kind found = Kind::Unspecified;
        ASSERT_TRUE(kindFromName(name, found)) << name;
        EXPECT_EQ(found, kind) << name;
    }
    Kind untouched = Kind::List;
    EXPECT_FALSE(kindFromName("String", untouched));
    EXPECT_FALSE(kindFromName("int", untouched));
    EXPECT_FALSE(kindFromName("string ", untouched));
    EXPECT_EQ(untouched, Kind::List);
}

TEST(ValueRecord, IsNumberOnlyForIntegerAndFloat) {
    EXPECT_TRUE(Value::ofInteger(0).isNumber());
    EXPECT_TRUE(Value::ofReal(0.0L).isNumber());
    EXPECT_FALSE(Value::ofText("1").isNumber());
    EXPECT_FALSE(Value::ofFunc(Text("{1}")).isNumber());
}

TEST(ValueCopy, ListCopySharesElementsButNotTheItemList) {
    ValueRef first = newValue(Value::ofInteger(1));
    const Value source = Value::ofList({first, newValue(Value::ofText("x"))});
    Value copy = source;

    copy.items.edit().push_back(newValue(Value::ofInteger(3)));
    EXPECT_EQ(source.items.size(), 2u);
    EXPECT_EQ(copy.items.size(), 3u);

    // The element itself is one Value reachable from both lists.
    copy.items.get()[0]->integer = 99;
    EXPECT_EQ(source.items.get()[0]->integer, 99);
    EXPECT_EQ(source.items.get()[0], first);

    // Removing from the source does not shrink the copy either.
    Value source2 = source;
    source2.items.edit().clear();
    EXPECT_EQ(source.items.size(), 2u);
}

TEST(ValueCopy, ScaffoldCopiesShareEveryMember) {
    Value object;
    object.kind = Kind::Scaffold;
    object.setMembers(MemberTable::of({{intern("x"), newValue(Value::ofInteger(1))}, {intern("y"), newValue(Value::ofText("a"))}}));
    Value copy = object;

    ASSERT_EQ(copy.members().size(), 2u);
    for (const auto& member : object.members()) EXPECT_EQ(*copy.members().find(member.name->text), member.value) << member.name->text;
    (*copy.members().find("x"))->integer = 5;
    EXPECT_EQ((*object.members().find("x"))->integer, 5);

    // The table itself is the copy's own: giving the copy other members is
    // not seen through the source.
    copy.setMembers(MemberTable::of({{intern("z"), newValue()}}));
    EXPECT_EQ(object.members().size(), 2u);
}

TEST(ValueCopy, TextAndBytesAreDataNotShared) {
    Value a = Value::ofText("abc");
    a.mutableBytes().assign({1, 2});
    Value b = a;
    b.text.edit() += "d";
    b.mutableBytes().edit().push_back(3);
    EXPECT_EQ(a.text.str(), "abc");
    EXPECT_EQ(a.bytes().size(), 2u);
    EXPECT_EQ(b.text.str(), "abcd");
    EXPECT_EQ(b.bytes().size(), 3u);
}

TEST(ValueCopy, SelfAssignmentKeepsEverything) {
    Loaded loaded(Kind::List);
    Value& alias = loaded.value;
    loaded.value = alias;
    EXPECT_EQ(loaded.value.kind, Kind::List);
    EXPECT_EQ(loaded.value.text.str(), "payload");
    EXPECT_EQ(loaded.value.items.size(), 1u);
    EXPECT_EQ(loaded.value.members().size(), 1u);
    EXPECT_EQ(loaded.value.argNames().size(), 2u);
    EXPECT_EQ(loaded.value.boundObject(), loaded.owner);
}

TEST(ValueWipe, ResetsEveryFieldButLeavesReferredValuesAlone) {
    Loaded loaded(Kind::Scaffold);
    Value& v = loaded.value;
    v.wipe();
    EXPECT_EQ(v.kind, Kind::Wiped);
    EXPECT_EQ(kindName(v.kind), "");
    EXPECT_FALSE(v.bound());
    EXPECT_FALSE(v.boundObject());
    EXPECT_TRUE(v.bytes().empty());
    EXPECT_EQ(v.text.str(), "");
    EXPECT_TRUE(v.argNames().empty());
    EXPECT_EQ(v.integer, 0);
    EXPECT_EQ(v.real(), 0.0L);
    EXPECT_TRUE(v.items.empty());
    EXPECT_TRUE(v.members().empty());
    EXPECT_EQ(v.native(), nullptr);
    // Element and member Values keep their contents.
    EXPECT_EQ(loaded.element->kind, Kind::Integer);
    EXPECT_EQ(loaded.element->integer, 11);
    EXPECT_EQ(loaded.member->kind, Kind::String);
    EXPECT_EQ(loaded.member->text.str(), "m");
}

TEST(ValueWipe, WipedValueSeenThroughEveryReference) {
    ValueRef shared = newValue(Value::ofInteger(4));
    const Value list = Value::ofList({shared, shared});
    shared->wipe();
    EXPECT_EQ(list.items.get()[0]->kind, Kind::Wiped);
    EXPECT_EQ(list.items.get()[1]->kind, Kind::Wiped);
}

// Which payloads trimToKind keeps, kind by kind.
TEST(ValueTrim, KeepsOnlyTheOwnKindsPayload) {
    struct Expect {
        Kind kind;
        bool bytes, text, integer, real, items, members;
    };
    const std::vector<Expect> table = {
        {Kind::Bytes, true, false, false, false, false, false},
        {Kind::String, false, true, false, false, false, false},
        {Kind::Func, false, true, false, false, false, false},
        {Kind::Integer, false, false, true, false, false, false},
        {Kind::Float, false, false, false, true, false, false},
        {Kind::List, false, false, false, false, true, false},
        {Kind::Scaffold, false, false, false, false, false, true},
        {Kind::CFunc, false, false, false, false, false, false},
        {Kind::Unspecified, false, false, false, false, false, false},
        {Kind::Wiped, false, false, false, false, false, false},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(std::string("kind \"") + std::string(kindName(e.kind)) + "\"");
        Loaded loaded(e.kind);
        Value& v = loaded.value;
        EXPECT_TRUE(v.hasStalePayload());
        v.trimToKind();
        EXPECT_EQ(v.kind, e.kind);
        EXPECT_EQ(!v.bytes().empty(), e.bytes);
        EXPECT_EQ(v.text.str() == "payload", e.text);
        EXPECT_EQ(v.text.empty(), !e.text);
        EXPECT_EQ(v.integer, e.integer ? 7 : 0);
        EXPECT_EQ(v.real(), e.real ? 2.5L : 0.0L);
        EXPECT_EQ(v.items.size(), e.items ? 1u : 0u);
        EXPECT_EQ(v.members().size(), e.members ? 1u : 0u);
        EXPECT_FALSE(v.hasStalePayload());

        // Never touched by trimming.
        EXPECT_TRUE(v.bound());
        EXPECT_EQ(v.boundObject(), loaded.owner);
        EXPECT_EQ(v.argNames().get(), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(v.native(), &dummyNative);

        // Dropped elements and members are not wiped: they may belong to a
        // live list or object elsewhere.
        EXPECT_EQ(loaded.element->kind, Kind::Integer);
        EXPECT_EQ(loaded.element->integer, 11);
        EXPECT_EQ(loaded.member->kind, Kind::String);
        EXPECT_EQ(loaded.member->text.str(), "m");
    }
}

TEST(ValueTrim, TrimmingACopyLeavesTheSourceIntact) {
    Loaded loaded(Kind::String);
    const Value source = loaded.value;
    loaded.value.trimToKind();
    EXPECT_EQ(source.items.size(), 1u);
    EXPECT_EQ(source.members().size(), 1u);
    EXPECT_EQ(source.bytes().size(), 3u);
    EXPECT_EQ(source.integer, 7);
}
