// Unit tests of list items: an element that is a plain integer is kept in
// its item word without a cell, and gets one exactly when something needs a
// reference to it, so every list holding the element keeps seeing one Value.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "builtins/BuiltinTable.h"
#include "TestInterpreter.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "values/Heap.h"
#include "values/Scope.h"
#include "values/Value.h"

namespace vorn {
namespace {

constexpr std::int64_t kWordLimit = std::int64_t{1} << 62;

TEST(ListItems, PlainIntegersNeedNoCell) {
    const std::size_t before = Heap::liveCount();
    ItemList items;
    for (std::int64_t i = 0; i < 5000; ++i) items.push_back(Item::of(Value::ofInteger(i - 2500)));
    // Growing the list moves the words; none of them turns into a cell.
    EXPECT_EQ(Heap::liveCount(), before);
    Value scratch;
    EXPECT_EQ(items[0].read(scratch).integer, -2500);
    EXPECT_EQ(items[4999].read(scratch).kind, Kind::Integer);
    EXPECT_TRUE(items[17].holdsInteger());
    EXPECT_EQ(items[17].cellOrNull(), nullptr);
}

TEST(ListItems, OnlyExactPlainIntegersThatFitStayWords) {
    EXPECT_TRUE(Item::of(Value::ofInteger(kWordLimit - 1)).holdsInteger());
    EXPECT_TRUE(Item::of(Value::ofInteger(-kWordLimit)).holdsInteger());
    EXPECT_EQ(Item::of(Value::ofInteger(-kWordLimit)).integer(), -kWordLimit);
    EXPECT_FALSE(Item::of(Value::ofInteger(kWordLimit)).holdsInteger());
    EXPECT_FALSE(Item::of(Value::ofInteger(-kWordLimit - 1)).holdsInteger());
    EXPECT_FALSE(Item::of(Value::ofInteger(INT64_MIN)).holdsInteger());

    // An integer that still carries a payload of another kind keeps it.
    Value staleText = Value::ofText("12");
    staleText.kind = Kind::Integer;
    staleText.integer = 12;
    const Item withText = Item::of(staleText);
    ASSERT_FALSE(withText.holdsInteger());
    EXPECT_EQ(withText->text.str(), "12");
    Value staleReal = Value::ofReal(1.5L);
    staleReal.kind = Kind::Integer;
    EXPECT_FALSE(Item::of(staleReal).holdsInteger());
    EXPECT_FALSE(Item::of(Value::ofText("1")).holdsInteger());
    EXPECT_FALSE(Item::of(Value()).holdsInteger());
}

TEST(ListItems, AReferenceGivesTheElementOneCellSeenByEveryHolder) {
    Value list = Value::ofList({});
    list.items.edit().push_back(Item::of(Value::ofInteger(7)));
    const Value copy = list;  // shares the item box
    const ItemList& items = list.items.get();
    const ValueRef first = items[0].ref();
    ASSERT_FALSE(items[0].holdsInteger());
    EXPECT_EQ(items[0].ref(), first);  // the same cell every time
    EXPECT_TRUE(items[0] == first);
    first->integer = 70;  // a change in place, as an assignment makes it
    Value scratch;
    EXPECT_EQ(copy.items.get()[0].read(scratch).integer, 70);
    EXPECT_EQ(items[0]->integer, 70);
}

TEST(ListItems, ACopiedListSharesItsElementsWithTheSource) {
    Value source = Value::ofList({});
    for (int i = 0; i < 3; ++i) source.items.edit().push_back(Item::of(Value::ofInteger(i)));
    Value copy = source;
    // Appending to the copy copies the item list; the elements stay shared,
    // including those that had no cell yet.
    copy.items.edit().push_back(Item::of(Value::ofInteger(3)));
    ASSERT_EQ(source.items.size(), 3u);
    ASSERT_EQ(copy.items.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(copy.items.get()[i] == source.items.get()[i].ref()) << i;
    copy.items.get()[1].ref()->integer = 11;
    EXPECT_EQ(source.items.get()[1]->integer, 11);
    // Two items kept as integers are never the same element.
    EXPECT_FALSE(copy.items.get()[3] == source.items.get()[0]);
    EXPECT_TRUE(copy.items.get()[3] == copy.items.get()[3]);
}

TEST(ListItems, ACellGoesBackToAWordOnlyWhenNothingElseCanSeeIt) {
    const std::size_t before = Heap::liveCount();
    ItemList items;
    items.push_back(Item::of(Value::ofInteger(5)));
    const Item& item = items[0];
    {
        const ValueRef held = item.ref();
        EXPECT_EQ(Heap::liveCount(), before + 1);
        EXPECT_FALSE(item.keepAsIntegerIfAlone());  // a reference is held
        Scope scope;
        scope.set("e", held);
        EXPECT_FALSE(item.keepAsIntegerIfAlone());
    }
    // Shared by a second list: still visible through the other one.
    {
        const ItemList other = items;
        EXPECT_FALSE(item.keepAsIntegerIfAlone());
    }
    // A value that is no plain integer must keep its cell.
    item.ref()->text = Text("stale");
    EXPECT_FALSE(item.keepAsIntegerIfAlone());
    item.ref()->text.clear();
    item.ref()->integer = kWordLimit;
    EXPECT_FALSE(item.keepAsIntegerIfAlone());
    item.ref()->integer = -42;
    EXPECT_TRUE(item.keepAsIntegerIfAlone());
    EXPECT_TRUE(item.holdsInteger());
    EXPECT_EQ(item.integer(), -42);
    EXPECT_EQ(Heap::liveCount(), before);
    EXPECT_FALSE(item.keepAsIntegerIfAlone());  // already a word
}

TEST(ListItems, ReversingAndRemovingMoveElementsWithoutCells) {
    const std::size_t before = Heap::liveCount();
    Value list = Value::ofList({});
    const ValueRef text = newValue(Value::ofText("t"));
    list.items.edit().push_back(Item::of(Value::ofInteger(1)));
    list.items.edit().push_back(text);
    list.items.edit().push_back(Item::of(Value::ofInteger(3)));
    ItemList& items = list.items.edit();
    std::swap(items.front(), items.back());
    items.erase(items.begin() + 1);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].integer(), 3);
    EXPECT_EQ(items[1].integer(), 1);
    EXPECT_EQ(Heap::liveCount(), before + 1);  // the text's cell only
}

TEST(ListItems, CollectorFreesCyclesThroughListsOfWordsAndCells) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    {
        // A list that holds itself among integers, one of which has a cell.
        ValueRef list = newValue(Value::ofList({}));
        list->items.edit().push_back(Item::of(Value::ofInteger(1)));
        list->items.edit().push_back(list);
        list->items.edit().push_back(Item::of(Value::ofInteger(2)));
        const ValueRef two = list->items.get()[2].ref();
        EXPECT_EQ(two->integer, 2);

        // An object whose member list holds the object and integers.
        ValueRef object = newValue();
        object->kind = Kind::Scaffold;
        ValueRef members = newValue(Value::ofList({}));
        members->items.edit().push_back(Item::of(Value::ofInteger(9)));
        members->items.edit().push_back(object);
        object->setMembers(MemberTable::of({{intern("m"), members}}));
    }
    EXPECT_EQ(Heap::liveCount(), before + 4);
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

TEST(ListItems, CollectorKeepsElementsHeldFromOutside) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    ValueRef element;
    {
        ValueRef list = newValue(Value::ofList({}));
        list->items.edit().push_back(list);
        list->items.edit().push_back(Item::of(Value::ofInteger(4)));
        element = list->items.get()[1].ref();
    }
    Heap::collectCycles();
    // The list was garbage; the element it shared with a name was not.
    EXPECT_EQ(Heap::liveCount(), before + 1);
    EXPECT_EQ(element->integer, 4);
    element.reset();
    EXPECT_EQ(Heap::liveCount(), before);
}

// Runs code in scope as its local table and returns how many heap cells
// are left.
std::size_t cellsAfter(Scope& scope, const char* code) {
    Scope inherited;
    runBlock(testInterpreter(), *prepareBlock(code), &inherited, &scope);
    Heap::collectCycles();
    return Heap::liveCount();
}

TEST(ListItems, WalkingAListOfIntegersLeavesNoCellsBehind) {
    Scope scope;
    const std::size_t built =
        cellsAfter(scope, "list L\ni = 0\nuntil (i < 3000) {\nadd L i\ni += 1\n}\nt = 0\n");
    // Every pass gives its element a cell, and they go back: what is left
    // does not grow with the list (the last element may keep its cell).
    const std::size_t walked = cellsAfter(scope, "each (L) {\nt += element\n}\n");
    EXPECT_LE(walked, built + 4);
    EXPECT_EQ(scope.find("t")->integer, 2999 * 3000 / 2);
    // An element a name refers to keeps its cell through a walk, and stays
    // the list's element.
    const std::size_t kept = cellsAfter(scope, "index L 7 e\neach (L) {\nt += element\n}\ne = -1\nwhere L -1 p\n");
    EXPECT_LE(kept, walked + 4);
    EXPECT_EQ(scope.find("p")->integer, 7);
    // Changing elements in place through `element` changes the list.
    cellsAfter(scope, "each (L) {\nelement += 1\n}\nwhere L 3000 q\n");
    EXPECT_EQ(scope.find("q")->integer, 2999);
}

}  // namespace
}  // namespace vorn
