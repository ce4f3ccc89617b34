// A free list for the interpreter's small, constantly recycled objects.
//
// Every call makes and drops a handful of Values and scope bindings of fixed
// sizes; reusing their memory from a free list is much cheaper than the
// general allocator. The list is refilled a few kilobytes at a time, so an
// object costs no allocator header of its own (a list of a million numbers
// holds a million cells). Memory on the list is never returned to the
// system, which is bounded by the most objects alive at once. The
// interpreter runs on one thread at a time. Sanitizer builds use the plain
// allocator so that use-after-free stays detectable.
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
        if (!free_) refill();
        Free* block = free_;
        free_ = block->next;
        return block;
#else
        return ::operator new(kBlock);
#endif
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
    static constexpr std::size_t kBlock = Size < sizeof(Free) ? sizeof(Free) : Size;
    // Blocks per refill: about 4 KiB worth. Each block's offset is a
    // multiple of its size, which is a multiple of the object's alignment.
    static constexpr std::size_t kPerChunk = kBlock >= 2048 ? 2 : 4096 / kBlock;

    [[gnu::noinline]] static void refill() {
        char* chunk = static_cast<char*>(::operator new(kBlock * kPerChunk));
        for (std::size_t i = kPerChunk; i-- > 0;) {
            Free* block = reinterpret_cast<Free*>(chunk + i * kBlock);
            block->next = free_;
            free_ = block;
        }
    }

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
