// Trial-deletion cycle collection over the list of heap Values.
//
// Nodes are heap Values and the shared item and member payloads they hold.
// Each node's count of holders is reduced by the references coming from
// other nodes; a node left with a positive count is held from outside (a
// scope, a run, a temporary). Everything reachable from such nodes lives; the
// rest is garbage, whose references are dropped so the counts reach zero.
#include "values/Heap.h"

#include <unordered_map>
#include <vector>

namespace vorn {

HeapLink::~HeapLink() {
    if (onHeap_) Heap::unlink(*this);
}

void Heap::link(HeapLink& node) {
    node.heapPrev_ = nullptr;
    node.heapNext_ = head_;
    if (head_) head_->heapPrev_ = &node;
    head_ = &node;
    node.onHeap_ = true;
    ++count_;
}

void Heap::unlink(HeapLink& node) {
    if (node.heapPrev_) node.heapPrev_->heapNext_ = node.heapNext_;
    else head_ = node.heapNext_;
    if (node.heapNext_) node.heapNext_->heapPrev_ = node.heapPrev_;
    node.heapPrev_ = node.heapNext_ = nullptr;
    node.onHeap_ = false;
    --count_;
}

ValueRef newValue(const Value& v) {
    ValueRef ref(new Value(v));
    Heap::link(*ref);
    return ref;
}

ValueRef newValue(Value&& v) {
    ValueRef ref(new Value(std::move(v)));
    Heap::link(*ref);
    return ref;
}

ValueRef newValue() {
    ValueRef ref(new Value());
    Heap::link(*ref);
    return ref;
}

namespace {

struct Graph {
    std::unordered_map<const void*, std::int64_t> outside;  // holders not explained by edges
    std::vector<Value*> values;

    template <class F>
    static void forEachChild(const Value& v, F&& f) {
        for (const ValueRef& item : v.items.get()) f(item.get());
        for (const auto& member : v.members.get()) f(member.second.get());
        if (v.boundObject) f(v.boundObject.get());
    }
};

}  // namespace

std::size_t Heap::collectCycles() {
    Graph g;
    g.values.reserve(count_);
    for (HeapLink* n = head_; n; n = n->heapNext_) {
        Value* v = static_cast<Value*>(n);
        g.values.push_back(v);
        g.outside[v] = v->refCount();
        if (v->items.boxId()) g.outside.emplace(v->items.boxId(), v->items.holders());
        if (v->members.boxId()) g.outside.emplace(v->members.boxId(), v->members.holders());
    }

    // Subtract the references that come from inside the graph. A payload
    // shared by several Values is one node: its children are counted once.
    std::unordered_map<const void*, bool> boxSeen;
    for (Value* v : g.values) {
        if (v->boundObject) {
            auto it = g.outside.find(v->boundObject.get());
            if (it != g.outside.end()) --it->second;
        }
        for (const void* box : {v->items.boxId(), v->members.boxId()}) {
            if (!box) continue;
            --g.outside[box];
            if (boxSeen.emplace(box, true).second) {
                auto drop = [&](const Value* child) {
                    auto it = g.outside.find(child);
                    if (it != g.outside.end()) --it->second;
                };
                if (box == v->items.boxId()) for (const ValueRef& item : v->items.get()) drop(item.get());
                else for (const auto& member : v->members.get()) drop(member.second.get());
            }
        }
    }

    // Everything reachable from a node held from outside lives.
    std::unordered_map<const Value*, bool> live;
    std::vector<const Value*> stack;
    for (Value* v : g.values) {
        const bool heldOutside = g.outside[v] > 0 ||
                                 (v->items.boxId() && g.outside[v->items.boxId()] > 0) ||
                                 (v->members.boxId() && g.outside[v->members.boxId()] > 0);
        if (heldOutside && live.emplace(v, true).second) stack.push_back(v);
    }
    while (!stack.empty()) {
        const Value* v = stack.back();
        stack.pop_back();
        Graph::forEachChild(*v, [&](const Value* child) {
            if (live.emplace(child, true).second) stack.push_back(child);
        });
    }

    // Break the garbage's references while holding each garbage Value, so
    // none is released before all have let go of one another.
    std::vector<ValueRef> garbage;
    for (Value* v : g.values)
        if (!live.count(v)) garbage.emplace_back(v);
    for (const ValueRef& v : garbage) {
        v->items.clear();
        v->members.clear();
        v->boundObject.reset();
    }
    const std::size_t released = garbage.size();
    garbage.clear();
    return released;
}

void Heap::collectAndReschedule() {
    collectCycles();
    nextCollection_ = count_ * 2 + 20000;
}

}  // namespace vorn
