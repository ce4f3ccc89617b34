// The one dynamic value record of VORN.
//
// A Value carries a kind and one payload field for every kind at once; a
// conversion replaces the kind and the payload of the new kind and leaves the
// others as they were until trimToKind empties them. Payloads are shared
// between copies (copy-on-write), so copying a Value costs a handful of
// pointer copies whatever it holds.
//
// Values that scripts can reach (through a Scope, a list's items or a
// scaffold's members) live on the heap and are shared through ValueRef: a
// change made in place to such a Value is seen through every reference. The
// record itself has value semantics: copying it copies its fields, and lists
// and member maps are copied as collections of references, so a copy of a
// list shares its element Values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "values/Pool.h"
#include "values/Ref.h"
#include "values/Text.h"

namespace vorn {

class Value;
class Scope;
using ValueRef = Ref<Value>;
using ItemList = std::vector<ValueRef>;
// Ordered by plain byte-wise comparison of the names, as std::string does.
using MemberMap = std::map<std::string, ValueRef, std::less<>>;
using NativeFunction = Value (*)(Scope* scope);

// The kinds a Value can have. "" is the kind of a wiped Value.
enum class Kind : std::uint8_t { Unspecified, String, Integer, Float, Func, List, Bytes, Scaffold, CFunc, Wiped };

std::string_view kindName(Kind kind);
// The kind with that exact name, or false when the text names no kind.
bool kindFromName(std::string_view name, Kind& kind);

// Bookkeeping that belongs to a Value object, not to its contents: its place
// in the list of all heap Values (walked by the cycle collector) and the
// number of scope entries that bind it. A copy of a Value is a new object and
// starts with neither.
class HeapLink {
public:
    HeapLink() = default;
    HeapLink(const HeapLink&) {}
    HeapLink& operator=(const HeapLink&) { return *this; }

    // How many scope entries (anywhere) bind this Value to a name.
    std::uint32_t bindingCount() const { return bindings_; }

protected:
    ~HeapLink();

private:
    friend class Heap;
    friend class Scope;
    HeapLink* heapPrev_ = nullptr;
    HeapLink* heapNext_ = nullptr;
    std::int64_t gcOutside_ = 0;  // collector scratch: holders from outside
    std::uint32_t bindings_ = 0;
    bool onHeap_ = false;
    bool gcLive_ = false;  // collector scratch: reachable from outside
};

class Value : public RefCounted, public HeapLink {
public:
    VORN_POOLED(Value)

    Value() = default;
    Value(const Value&) = default;
    Value(Value&&) = default;
    Value& operator=(const Value&) = default;
    Value& operator=(Value&&) = default;
    ~Value() = default;

    static Value ofInteger(std::int64_t i) { Value v; v.kind = Kind::Integer; v.integer = i; return v; }
    static Value ofReal(long double r) { Value v; v.kind = Kind::Float; v.real = r; return v; }
    static Value ofText(std::string s) { Value v; v.kind = Kind::String; v.text = Text(std::move(s)); return v; }
    static Value ofText(Text t) { Value v; v.kind = Kind::String; v.text = std::move(t); return v; }
    static Value ofText(const char* s) { return ofText(std::string(s)); }
    static Value ofFunc(Text t) { Value v; v.kind = Kind::Func; v.text = std::move(t); return v; }
    static Value ofList(ItemList items) { Value v; v.kind = Kind::List; v.items.assign(std::move(items)); return v; }
    static Value ofBytes(std::vector<std::uint8_t> b) { Value v; v.kind = Kind::Bytes; v.bytes.assign(std::move(b)); return v; }

    bool is(Kind k) const { return kind == k; }
    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Float; }

    // Resets the Value in place to kind "" with every payload empty. The
    // element and member Values it referred to are not touched.
    void wipe();
    // Empties every payload that does not belong to the Value's own kind.
    // Members of a Value that is no scaffold are dropped, never wiped: they
    // may still belong to a live object.
    void trimToKind();
    // True when some payload that trimToKind would empty is still observable
    // (text, items or members of another kind).
    bool hasStalePayload() const;

    // Fields in declaration order.
    bool bound = false;
    ValueRef boundObject;
    Cow<std::vector<std::uint8_t>> bytes;
    Text text;
    Cow<std::vector<std::string>> argNames;
    std::int64_t integer = 0;
    long double real = 0.0L;
    Cow<ItemList> items;
    Cow<MemberMap> members;
    NativeFunction native = nullptr;
    Kind kind = Kind::Unspecified;
};

// A new heap Value holding a copy of v. Heap Values are known to the cycle
// collector (values/Heap.h); Values made otherwise are temporaries.
ValueRef newValue(const Value& v);
ValueRef newValue(Value&& v);
ValueRef newValue();

}  // namespace vorn
