// Intrusive reference counting for the interpreter's shared heap objects.
//
// Values, scope nodes and text buffers are shared by many owners at once
// (scopes, lists, member tables, caches). The interpreter runs on one thread,
// so the count is a plain integer: no atomics on the hot path. A Ref is the
// size of one pointer and never throws when copied.
#pragma once

#include <cstdint>
#include <utility>

#include "values/Pool.h"

namespace vorn {

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) : refs_(0) {}
    RefCounted& operator=(const RefCounted&) { return *this; }

    std::uint32_t refCount() const { return refs_; }

protected:
    ~RefCounted() = default;

private:
    template <class T>
    friend class Ref;
    friend class ValueRef;
    friend class Item;
    friend class Heap;  // counts holders in place while it collects
    mutable std::uint32_t refs_ = 0;
};

template <class T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* p) : p_(p) { retain(); }
    Ref(const Ref& o) : p_(o.p_) { retain(); }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~Ref() { release(); }

    Ref& operator=(const Ref& o) {
        if (p_ != o.p_) {
            T* old = p_;
            p_ = o.p_;
            retain();
            if (old && --old->refs_ == 0) delete old;
        }
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            T* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old && --old->refs_ == 0) delete old;
        }
        return *this;
    }

    template <class... Args>
    static Ref make(Args&&... args) { return Ref(new T(std::forward<Args>(args)...)); }

    T* get() const { return p_; }
    T& operator*() const { return *p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const Ref& o) const { return p_ == o.p_; }
    bool operator!=(const Ref& o) const { return p_ != o.p_; }
    bool unique() const { return p_ && p_->refs_ == 1; }
    void reset() { release(); p_ = nullptr; }

private:
    void retain() { if (p_) ++p_->refs_; }
    void release() { if (p_ && --p_->refs_ == 0) delete p_; }
    T* p_ = nullptr;
};

// Every payload box gets a new stamp when it is made and whenever it is
// handed out for a change, from one counter that never repeats: a box seen
// again with the same stamp has not changed since (and is the same box, not
// a new one at a reused address). List indexes rely on it (exec/ListIndex.h).
inline std::uint64_t gPayloadStamps = 0;

// A payload shared between copies until one of them changes it.
// An empty payload holds no allocation at all, so a default Value is cheap.
template <class T>
class Cow {
public:
    const T& get() const { return box_ ? box_->data : emptyData(); }
    bool empty() const { return !box_ || box_->data.empty(); }
    std::size_t size() const { return box_ ? box_->data.size() : 0; }

    // Mutable access; copies the payload first if another Value shares it.
    T& edit() {
        if (!box_) box_ = Ref<Box>::make();
        else if (!box_.unique()) box_ = Ref<Box>::make(box_->data);
        else box_->stamp = ++gPayloadStamps;
        return box_->data;
    }
    void clear() { box_.reset(); }
    void assign(T data) { box_ = Ref<Box>::make(std::move(data)); }
    bool sharesWith(const Cow& o) const { return box_ == o.box_; }

    // The shared payload's identity and holder count, for the cycle collector.
    const RefCounted* boxId() const { return box_.get(); }
    std::uint32_t holders() const { return box_ ? box_->refCount() : 0; }
    // The payload's stamp (0 for an empty payload without a box).
    std::uint64_t stamp() const { return box_ ? box_->stamp : 0; }

private:
    struct Box : RefCounted {
        VORN_POOLED(Box)
        Box() = default;
        explicit Box(const T& d) : data(d) {}
        explicit Box(T&& d) : data(std::move(d)) {}
        T data;
        std::uint64_t stamp = ++gPayloadStamps;
    };
    static const T& emptyData() {
        static const T e{};
        return e;
    }
    Ref<Box> box_;
};

}  // namespace vorn
