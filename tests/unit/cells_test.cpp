// Unit tests of the compact Value and its heap cells: the shared box of rare
// fields, binding counts kept in the cell, and the cycle collector's view of
// cells and boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "exec/Trim.h"
#include "TestInterpreter.h"
#include "exec/View.h"
#include "parse/Code.h"
#include "values/Heap.h"
#include "values/Scope.h"
#include "values/Stale.h"
#include "values/Text.h"
#include "values/Value.h"

namespace vorn {
namespace {

Value nativeStub(const CallScope&) { return Value(); }

TEST(CompactValue, TemporariesStaySmallAndCarryNoBookkeeping) {
    const Value v = Value::ofInteger(5);
    EXPECT_EQ(v.extrasBox(), nullptr);
    EXPECT_EQ(Value::ofText("x").extrasBox(), nullptr);
    EXPECT_EQ(Value::ofReal(0.0L).extrasBox(), nullptr);
    EXPECT_NE(Value::ofReal(1.5L).extrasBox(), nullptr);
}

TEST(CompactValue, RareFieldsAreSharedUntilACopyChangesOne) {
    Value source = Value::ofFunc(Text("{ end 1 }"));
    source.mutableArgNames().assign({"a", "b"});
    source.setNative(&nativeStub);
    Value copy = source;
    EXPECT_EQ(copy.extrasBox(), source.extrasBox());
    EXPECT_EQ(source.extrasHolders(), 2u);

    copy.mutableArgNames().edit().push_back("c");
    copy.setReal(2.5L);
    EXPECT_NE(copy.extrasBox(), source.extrasBox());
    EXPECT_EQ(source.argNames().size(), 2u);
    EXPECT_EQ(source.real(), 0.0L);
    EXPECT_EQ(copy.argNames().size(), 3u);
    EXPECT_EQ(copy.real(), 2.5L);
    // Fields the copy did not change still hold the source's contents.
    EXPECT_EQ(copy.native(), &nativeStub);
    EXPECT_EQ(source.extrasHolders(), 1u);
}

TEST(CompactValue, ChangingAFieldOfAnUnsharedBoxKeepsTheBox) {
    Value v;
    v.setBound(true);
    const ValueExtras* box = v.extrasBox();
    v.setReal(3.0L);
    v.mutableBytes().assign({1});
    EXPECT_EQ(v.extrasBox(), box);
}

TEST(CompactValue, SettingDefaultsAllocatesNothing) {
    Value v = Value::ofInteger(1);
    v.setBound(false);
    v.setBoundObject(ValueRef());
    v.setNative(nullptr);
    v.setReal(0.0L);
    v.clearBytes();
    v.clearMembers();
    EXPECT_EQ(v.extrasBox(), nullptr);
}

TEST(CompactValue, NegativeZeroKeepsItsSignThroughCopiesAndTrims) {
    Value v = Value::ofReal(-0.0L);
    ASSERT_NE(v.extrasBox(), nullptr);
    v.trimToKind();
    Value copy = v;
    EXPECT_TRUE(std::signbit(copy.real()));
}

TEST(CompactValue, TrimDropsABoxLeftWithDefaultsOnly) {
    Value v = Value::ofReal(4.5L);
    v.kind = Kind::Integer;  // as a conversion leaves it: the float is stale
    v.integer = 4;
    v.trimToKind();
    EXPECT_EQ(v.real(), 0.0L);
    EXPECT_EQ(v.extrasBox(), nullptr);

    // A method keeps its box: bound fields are never trimmed.
    const ValueRef owner = newValue();
    Value method = Value::ofFunc(Text("{ }"));
    method.setBound(true);
    method.setBoundObject(owner);
    method.trimToKind();
    ASSERT_NE(method.extrasBox(), nullptr);
    EXPECT_EQ(method.boundObject(), owner);
}

TEST(CompactValue, TrimOfASharedBoxLeavesTheOtherHolderIntact) {
    Value scaffoldText = Value::ofText("t");
    scaffoldText.setMembers(MemberTable::of({{intern("m"), newValue(Value::ofInteger(1))}}));
    const Value keep = scaffoldText;
    scaffoldText.trimToKind();
    EXPECT_TRUE(scaffoldText.members().empty());
    EXPECT_EQ(keep.members().size(), 1u);
}

TEST(HeapCell, ScopeEntriesCountTheirBindingsInTheCell) {
    const ValueRef v = newValue(Value::ofInteger(1));
    EXPECT_EQ(v.cell()->bindingCount(), 0u);
    {
        Scope a;
        a.set("x", v);
        Scope b = a;
        b.set("y", v);
        // Each table's entries are bindings of their own.
        EXPECT_EQ(v.cell()->bindingCount(), 3u);
        b.set("x", newValue());
        EXPECT_EQ(v.cell()->bindingCount(), 2u);
    }
    EXPECT_EQ(v.cell()->bindingCount(), 0u);
    // A copy of the Value is a temporary: it shares nothing of the cell.
    Value copy = *v;
    copy.integer = 2;
    EXPECT_EQ(v->integer, 1);
}

TEST(HeapCell, StalePayloadSeenUnderTwoNamesIsTrimmedOnce) {
    staleValues().clear();
    const ValueRef v = newValue(Value::ofText("abc"));
    Scope scope;
    scope.set("first", v);
    scope.set("second", v);
    // Converted in place to an integer: its text is stale and observable.
    v->kind = Kind::Integer;
    noteChange(v, intern("first").get());
    noteChange(v, intern("second").get());
    ASSERT_TRUE(v->hasStalePayload());
    // The statement loop learns of the work from one word.
    platform::gBoundaryWork = 0;
    noteChange(v, intern("first").get());
    EXPECT_TRUE(platform::gBoundaryWork);
    // The executor clears the word before the work; nothing left sets it again.
    const TableView view(scope);
    platform::gBoundaryWork = 0;
    doDeferredWork(view);
    EXPECT_FALSE(v->hasStalePayload());
    EXPECT_TRUE(v->text.empty());
    EXPECT_TRUE(staleValues().empty());
    EXPECT_FALSE(platform::gBoundaryWork);
    // Nothing is left to do: a second pass finds an empty list.
    doDeferredWork(TableView(scope));
    EXPECT_EQ(v->kind, Kind::Integer);
}

TEST(CycleCollector, ReleasesAnObjectWhoseMethodRefersBackToIt) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    {
        ValueRef object = newValue();
        ValueRef method = newValue(Value::ofFunc(Text("{ end 1 }")));
        method->setBound(true);
        method->setBoundObject(object);
        object->kind = Kind::Scaffold;
        object->setMembers(MemberTable::of({{intern("m"), method}, {intern("n"), newValue(Value::ofInteger(3))}}));
    }
    EXPECT_EQ(Heap::liveCount(), before + 3);
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

// The statement loop learns that a collection is due from the heap itself:
// a script that leaves a cycle behind on every pass (an object and its
// method) stays bounded.
TEST(CycleCollector, RunsBetweenStatementsOnceTheHeapHasGrown) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    Scope names;
    runBlock(testInterpreter(), *prepareBlock("class P {\nf = { end 3 }\n}\no = 0\nn = 0\nuntil (n < 60000) {\no = $P\nn += 1\n}\n"), &names, &names);
    EXPECT_LT(Heap::liveCount(), before + 50000);
}

TEST(CycleCollector, KeepsCyclesHeldFromAScopeOrATemporary) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    Scope scope;
    Value temporary;
    {
        ValueRef object = newValue();
        ValueRef method = newValue(Value::ofFunc(Text("{ }")));
        method->setBound(true);
        method->setBoundObject(object);
        object->kind = Kind::Scaffold;
        object->setMembers(MemberTable::of({{intern("m"), method}}));
        scope.set("o", object);

        ValueRef list = newValue(Value::ofList({}));
        list->items.edit().push_back(list);
        temporary = *list;  // shares the item box, which holds the list
    }
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before + 3);
    {
        const ValueRef o = scope.find("o");
        ASSERT_TRUE(o);
        EXPECT_EQ((*o->members().find("m"))->boundObject(), o);
        EXPECT_EQ(temporary.items.get().front()->items.size(), 1u);
    }

    scope.clear();
    temporary = Value();
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

TEST(CycleCollector, MembersSharedByTwoBoxesAreCountedOnce) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    {
        ValueRef a = newValue();
        a->kind = Kind::Scaffold;
        a->setMembers(MemberTable::of({{intern("self"), a}}));
        ValueRef b = newValue(*a);  // another cell sharing a's rare fields
        b->setReal(1.0L);           // now its own box, same members box
        EXPECT_NE(a->extrasBox(), b->extrasBox());
        EXPECT_TRUE(a->members().sharesWith(b->members()));
        a->items.edit().push_back(b);
    }
    EXPECT_EQ(Heap::liveCount(), before + 2);
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

// The collector counts in the reference counts themselves and puts them
// back: what lives has the counts, binding counts and holders it had, and a
// later release frees it as before. A chain of lists a hundred thousand deep,
// each holding a float (a box), is released without recursing per level.
TEST(CycleCollector, LeavesEveryCountOfWhatLivesAsItWas) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    {
        Scope scope;
        ValueRef a = newValue();
        a->kind = Kind::Scaffold;
        a->setMembers(MemberTable::of({{intern("self"), a}, {intern("n"), newValue(Value::ofReal(1.5L))}}));
        ValueRef b = newValue(*a);  // shares a's box
        ValueRef list = newValue(Value::ofList({a, b, a}));
        Value temporary = *list;  // shares the items box
        scope.set("a", a);
        scope.set("l", list);
        const std::vector<std::uint32_t> counts = {a.cell()->refCount(), b.cell()->refCount(),
                                                   list.cell()->refCount(), list->items.holders(),
                                                   a->members().holders(), a.cell()->bindingCount()};
        EXPECT_EQ(Heap::collectCycles(), 0u);
        EXPECT_EQ(counts, (std::vector<std::uint32_t>{a.cell()->refCount(), b.cell()->refCount(),
                                                      list.cell()->refCount(), list->items.holders(),
                                                      a->members().holders(), a.cell()->bindingCount()}));
        EXPECT_EQ(Heap::collectCycles(), 0u);

        ValueRef chain = newValue(Value::ofReal(0.5L));
        for (int i = 0; i < 100000; ++i) chain = newValue(Value::ofList({chain, newValue(Value::ofReal(i + 0.5L))}));
    }
    // a and b hold each other's box through "self": a cycle.
    Heap::collectCycles();
    EXPECT_EQ(Heap::liveCount(), before);
}

// The stack of bindings: a name finds its newest visible entry, popping
// puts back the one it hid, a barrier hides what lies below it (a bare one
// the builtins too), and the tables of a run are told apart by entry and
// by frame.
TEST(Bindings, NamesFollowPushesPopsAndBarriers) {
    Bindings& bindings = testInterpreter().bindings();
    const ValueRef a = newValue(Value::ofInteger(1));
    const ValueRef b = newValue(Value::ofInteger(2));
    const SymbolRef x = intern("bindings_test_x");
    const SymbolRef print = intern("print");
    const Cell* builtin = bindings.find(print.get());
    ASSERT_NE(builtin, nullptr);

    const std::uint32_t start = bindings.size();
    bindings.push(x, a, Table::Both);
    EXPECT_EQ(bindings.find(x.get()), a.cell());
    EXPECT_EQ(a.cell()->bindingCount(), 1u);
    {
        const BindingMark mark(bindings);
        Frame frame{mark.position(), true};
        // A rebinding over an entry both tables hold hides the local table's.
        EXPECT_EQ(bindings.tableOf(x.get(), frame), Table::Both);
        bindings.bindInherited(x, b, frame);
        EXPECT_EQ(bindings.find(x.get()), b.cell());
        EXPECT_TRUE(frame.shadowed);
        // A run merging the two tables, the local one winning, sees a again.
        {
            const BindingMark nested(bindings);
            bindings.showLocalWinners(frame);
            EXPECT_EQ(bindings.find(x.get()), a.cell());
        }
        EXPECT_EQ(bindings.find(x.get()), b.cell());
        // A builtin's name rebound makes every run start by rebinding it.
        EXPECT_FALSE(bindings.builtinsHidden());
        bindings.push(print, a, Table::Local);
        EXPECT_TRUE(bindings.builtinsHidden());
        Frame run{bindings.size()};
        bindings.rebindBuiltins(run);
        EXPECT_EQ(bindings.find(print.get()), builtin);
        {
            const BindingBarrier barrier(bindings);
            EXPECT_EQ(bindings.find(x.get()), nullptr);
            EXPECT_EQ(bindings.find(print.get()), builtin);
            bindings.setFrom(bindings.size(), x, b);
            EXPECT_EQ(bindings.find(x.get()), b.cell());
        }
        {
            const BindingMark inner(bindings);
            const BindingBarrier bare(bindings, true);
            EXPECT_EQ(bindings.find(print.get()), nullptr);
        }
    }
    EXPECT_FALSE(bindings.builtinsHidden());
    EXPECT_EQ(bindings.find(x.get()), a.cell());
    EXPECT_EQ(b.cell()->bindingCount(), 0u);
    bindings.undoTo(start);
    EXPECT_EQ(bindings.find(x.get()), nullptr);
    EXPECT_EQ(a.cell()->bindingCount(), 0u);
}

}  // namespace
}  // namespace vorn

namespace vorn {
namespace {

TEST(OneByteTexts, ShareABufferUntilOneChanges) {
    Text a = Text::ofByte('q');
    const Text b = Text::ofByte('q');
    EXPECT_EQ(&a.str(), &b.str());
    a.edit() += "r";
    EXPECT_EQ(a.str(), "qr");
    EXPECT_EQ(b.str(), "q");
    EXPECT_EQ(Text::ofByte('q').str(), "q");
    EXPECT_EQ(Text::ofByte('\0').size(), 1u);
}

// Equality of texts of every length up to past the longest compared by
// loads, with one byte changed at each position (and a zero byte), and at
// unaligned starts.
TEST(TextEquality, FindsADifferenceAtEveryPositionOfEveryLength) {
    const std::string base = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH";
    for (std::size_t offset = 0; offset < 3; ++offset) {
        for (std::size_t n = 0; n + offset <= 40; ++n) {
            const std::string a = base.substr(offset, n);
            std::string same = " " + a;
            EXPECT_TRUE(sameBytes(a, std::string_view(same).substr(1))) << n;
            for (std::size_t at = 0; at < n; ++at) {
                for (const char changed : {'!', '\0'}) {
                    std::string other = a;
                    other[at] = changed;
                    EXPECT_FALSE(sameBytes(a, other)) << n << " " << at;
                }
            }
            if (n > 0) {
                EXPECT_FALSE(sameBytes(a, a.substr(0, n - 1)));
            }
        }
    }
}

}  // namespace
}  // namespace vorn

namespace vorn {
namespace {

TEST(CellPool, CellsCarryNoLinksAndStartWithTheirCount) {
    const ValueRef v = newValue(Value::ofInteger(1));
    // The walk of the pool tells a live cell by its first word: the count.
    EXPECT_EQ(static_cast<const void*>(static_cast<const RefCounted*>(v.cell())), static_cast<const void*>(v.cell()));
    EXPECT_TRUE(WalkablePool<sizeof(Cell)>::firstWordSet(v.cell()));
}

struct Probe {
    std::uint32_t mark;  // never zero while the object lives
    std::uint32_t pad;
    void* rest[3];
};
using ProbePool = WalkablePool<sizeof(Probe)>;

std::size_t liveProbes() {
    std::size_t n = 0;
    ProbePool::forEachBlock([&](void* block) { n += ProbePool::firstWordSet(block) ? 1 : 0; });
    return n;
}

TEST(CellPool, AWalkSeesLiveBlocksAndSkipsFreedOnes) {
    const std::size_t before = liveProbes();
    std::vector<Probe*> probes;
    for (int i = 0; i < 1000; ++i) {
        Probe* p = new (ProbePool::allocate()) Probe{static_cast<std::uint32_t>(i + 1), 0, {}};
        probes.push_back(p);
    }
    EXPECT_EQ(liveProbes(), before + 1000);
    for (std::size_t i = 0; i < probes.size(); i += 2) ProbePool::release(probes[i]);
    EXPECT_EQ(liveProbes(), before + 500);
    // Blocks handed out again are live again; the others stay free.
    for (std::size_t i = 0; i < probes.size(); i += 4) probes[i] = new (ProbePool::allocate()) Probe{7, 0, {}};
    EXPECT_EQ(liveProbes(), before + 750);
    for (std::size_t i = 0; i < probes.size(); ++i)
        if (i % 2 == 1 || i % 4 == 0) ProbePool::release(probes[i]);
    EXPECT_EQ(liveProbes(), before);
}

TEST(CycleCollector, FindsCyclesAmongReusedCells) {
    Heap::collectCycles();
    const std::size_t before = Heap::liveCount();
    // Many cells made and dropped leave free blocks among the live ones.
    {
        std::vector<ValueRef> many;
        for (int i = 0; i < 5000; ++i) many.push_back(newValue(Value::ofInteger(i)));
        for (std::size_t i = 0; i < many.size(); i += 2) many[i].reset();
        ValueRef list = newValue(Value::ofList({}));
        list->items.edit().push_back(list);
        EXPECT_EQ(Heap::liveCount(), before + 2501);
    }
    EXPECT_EQ(Heap::liveCount(), before + 1);
    EXPECT_EQ(Heap::collectCycles(), 1u);
    EXPECT_EQ(Heap::liveCount(), before);
}

}  // namespace
}  // namespace vorn
