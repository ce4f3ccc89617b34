// A free list for the interpreter's small, constantly recycled objects.
//
// Every call makes and drops a handful of Values and scope bindings of fixed
// sizes; reusing their memory from a free list is much cheaper than the
// general allocator. Memory on the list is never returned to the system,
// which is bounded by the most objects alive at once. The interpreter runs
// on one thread at a time. Sanitizer builds use the plain allocator so that
// use-after-free stays detectable.
#pragma once

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define VORN_POOLS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_POOLS 0
#endif
#endif
#ifndef VORN_POOLS
#define VORN_POOLS 1
#endif

namespace vorn {

template <std::size_t Size>
class Pool {
public:
    static void* allocate() {
#if VORN_POOLS
        if (free_) {
            Free* block = free_;
            free_ = block->next;
            return block;
        }
#endif
        return ::operator new(Size < sizeof(Free) ? sizeof(Free) : Size);
    }
    static void release(void* p) noexcept {
#if VORN_POOLS
        Free* block = static_cast<Free*>(p);
        block->next = free_;
        free_ = block;
#else
        ::operator delete(p);
#endif
    }

private:
    struct Free {
        Free* next;
    };
    static inline Free* free_ = nullptr;
};

}  // namespace vorn

// Gives a class pooled allocation for objects of exactly its own size.
#define VORN_POOLED(Class)                                                        \
    static void* operator new(std::size_t size) {                                 \
        return size == sizeof(Class) ? ::vorn::Pool<sizeof(Class)>::allocate()   \
                                     : ::operator new(size);                      \
    }                                                                             \
    static void operator delete(void* p, std::size_t size) noexcept {             \
        if (size == sizeof(Class)) ::vorn::Pool<sizeof(Class)>::release(p);       \
        else ::operator delete(p);                                                \
    }
