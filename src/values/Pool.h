// A free list for the interpreter's small, constantly recycled objects.
//
// Every call makes and drops a handful of Values and scope bindings of fixed
// sizes; reusing their memory from a free list is much cheaper than the
// general allocator. The list is refilled a few kilobytes at a time, so an
// object costs no allocator header of its own (a list of a million texts
// holds a million cells). Memory on the list is never returned to the
// system, which is bounded by the most objects alive at once. The
// interpreter runs on one thread at a time. Sanitizer builds use the plain
// allocator so that use-after-free stays detectable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

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

// A pool whose blocks can be walked: the cycle collector visits every heap
// cell through it instead of keeping the cells on a list of their own, which
// would cost every cell two pointers. A free block has its first word zero
// and its free-list link in the second, so an object whose first four bytes
// are never zero while it lives (a cell's reference count) can be told from
// a free block. Without pools (sanitizer builds) the live blocks are kept in
// a set instead, and only those are walked.
template <std::size_t Size>
class WalkablePool {
public:
    static_assert(Size >= 2 * sizeof(void*), "a block holds a zero word and a link");

    static void* allocate() {
#if VORN_POOLS
        if (!free_) refill();
        void* block = free_;
        free_ = linkOf(block);
        return block;
#else
        void* block = ::operator new(Size);
        try {
            live().insert(block);
        } catch (...) {
            ::operator delete(block);
            throw;
        }
        return block;
#endif
    }
    static void release(void* p) noexcept {
#if VORN_POOLS
        free(p);
#else
        live().erase(p);
        ::operator delete(p);
#endif
    }

    // Calls f with every block that may hold a live object: with pools,
    // every block ever handed out or free (the caller tells them apart),
    // otherwise every block allocated and not yet released. f must not
    // allocate or release blocks of this pool.
    template <class F>
    static void forEachBlock(F&& f) {
#if VORN_POOLS
        for (char* chunk : chunks_)
            for (std::size_t i = 0; i < kPerChunk; ++i) f(static_cast<void*>(chunk + i * Size));
#else
        for (void* block : live()) f(block);
#endif
    }

    // True when a block's first four bytes are not zero (a live object
    // whose first field says so, never a free block).
    static bool firstWordSet(const void* block) {
        std::uint32_t first;
        std::memcpy(&first, block, sizeof first);
        return first != 0;
    }

private:
    static constexpr std::size_t kPerChunk = 4096 / Size < 2 ? 2 : 4096 / Size;

    static void*& linkOf(void* block) { return *reinterpret_cast<void**>(static_cast<char*>(block) + sizeof(void*)); }
    static void free(void* p) noexcept {
        std::memset(p, 0, sizeof(void*));
        linkOf(p) = free_;
        free_ = p;
    }
#if VORN_POOLS
    [[gnu::noinline]] static void refill() {
        char* chunk = static_cast<char*>(::operator new(Size * kPerChunk));
        try {
            chunks_.push_back(chunk);
        } catch (...) {
            ::operator delete(chunk);
            throw;
        }
        for (std::size_t i = kPerChunk; i-- > 0;) free(chunk + i * Size);
    }
    static inline std::vector<char*> chunks_;
#else
    // Never destroyed: blocks may still be released while the program ends.
    static std::unordered_set<void*>& live() {
        static auto* blocks = new std::unordered_set<void*>;
        return *blocks;
    }
#endif
    static inline void* free_ = nullptr;
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
