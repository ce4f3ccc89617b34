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

template <class F>
void forEachChild(const Value& v, F&& f) {
    for (const ValueRef& item : v.items.get()) f(item.get());
    for (const auto& member : v.members.get()) f(member.second.get());
    if (v.boundObject) f(v.boundObject.get());
}

}  // namespace

std::size_t Heap::collectCycles() {
    std::vector<Value*> values;
    values.reserve(count_);
    std::unordered_map<const void*, std::int64_t> boxOutside;  // shared payloads
    boxOutside.reserve(count_);
    for (HeapLink* n = head_; n; n = n->heapNext_) {
        Value* v = static_cast<Value*>(n);
        values.push_back(v);
        n->gcOutside_ = v->refCount();
        n->gcLive_ = false;
        if (v->items.boxId()) boxOutside.emplace(v->items.boxId(), v->items.holders());
        if (v->members.boxId()) boxOutside.emplace(v->members.boxId(), v->members.holders());
    }

    // Subtract the references that come from inside the graph. A payload
    // shared by several Values is one node: its children are counted once.
    auto drop = [](Value* child) {
        if (child->onHeap_) --child->gcOutside_;
    };
    for (Value* v : values) {
        if (v->boundObject) drop(v->boundObject.get());
        if (const void* box = v->items.boxId()) {
            std::int64_t& outside = boxOutside[box];
            if (outside-- == v->items.holders())
                for (const ValueRef& item : v->items.get()) drop(item.get());
        }
        if (const void* box = v->members.boxId()) {
            std::int64_t& outside = boxOutside[box];
            if (outside-- == v->members.holders())
                for (const auto& member : v->members.get()) drop(member.second.get());
        }
    }

    // Everything reachable from a node held from outside lives.
    std::vector<Value*> stack;
    auto markLive = [&](Value* v) {
        if (!v->gcLive_) {
            v->gcLive_ = true;
            stack.push_back(v);
        }
    };
    for (Value* v : values) {
        const bool heldOutside = v->gcOutside_ > 0 || (v->items.boxId() && boxOutside[v->items.boxId()] > 0) ||
                                 (v->members.boxId() && boxOutside[v->members.boxId()] > 0);
        if (heldOutside) markLive(v);
    }
    while (!stack.empty()) {
        Value* v = stack.back();
        stack.pop_back();
        forEachChild(*v, [&](Value* child) {
            // A child that is no heap Value is a temporary's and lives anyway.
            if (child->onHeap_) markLive(child);
        });
    }

    // Break the garbage's references while holding each garbage Value, so
    // none is released before all have let go of one another.
    std::vector<ValueRef> garbage;
    for (Value* v : values)
        if (!v->gcLive_) garbage.emplace_back(v);
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
