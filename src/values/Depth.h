// The one limit on nesting: runs, groups, calls and text forms all check here.
//
// Every recursive path of the interpreter (nested runs and calls, nested
// parenthesised groups, rendering a list that contains itself) holds a
// DepthGuard while it recurses. The guard compares the position on the native
// stack with the lowest address this thread's stack may safely reach and
// raises an ordinary script error there, so running out of stack is never a
// crash, whatever stack the interpreter got. Where the stack's extent cannot
// be learnt, a fixed count of levels stands in.
#pragma once

#include <cstdint>

#include "values/Error.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/stack.h>
#endif

namespace vorn {

// Levels of nested braces or parentheses a text may have; deeper texts are
// refused when they are split.
constexpr int kMaxTextNesting = 40000;

#if defined(__SANITIZE_ADDRESS__)
#define VORN_DEPTH_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_DEPTH_SANITIZED 1
#endif
#endif

#ifdef __EMSCRIPTEN__
// In the browser the engine gives WebAssembly frames a stack of its own of
// about a megabyte, which no program can enlarge and no address tells; its
// overflow is no script error but the end of the worker. With every call
// that may throw passing through a JavaScript trampoline, a script call
// costs some 16 KiB of it, three levels here; measured in Chromium, 180
// levels could overflow it, 120 did not.
constexpr int kMaxNestingDepth = 100;
#elif defined(VORN_DEPTH_SANITIZED)
// AddressSanitizer cannot unwind an error thrown from more than about 64 MB
// down the stack, and its frames are several times larger: sanitized builds
// keep a count of levels as well.
constexpr int kMaxNestingDepth = 40000;
#else
// Only a backstop: the stack check ends recursion long before this.
constexpr int kMaxNestingDepth = 640000;
#endif
inline constexpr const char* kNestingTooDeep = "nesting too deep";

namespace platform {
std::uintptr_t stackFloor();
}

class DepthGuard {
public:
    DepthGuard() {
        ++depth_;
        if (depth_ > kMaxNestingDepth || stackPosition() < floor_) refuseOrLearnFloor();
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

    static int current() { return depth_; }

private:
    // The address of a local, not __builtin_frame_address: that one makes
    // every function the guard is inlined into keep a frame pointer, and
    // MinGW's GCC then describes a saved xmm register at the wrong place in
    // the unwind data, so an exception through such a function (any script
    // error inside an expression) gave its caller a garbage xmm6. Sanitized
    // builds may keep locals on a heap-allocated fake stack, so they read the
    // frame address instead.
    [[gnu::always_inline]] static std::uintptr_t stackPosition() {
#if defined(__EMSCRIPTEN__)
        return emscripten_stack_get_current();
#elif defined(VORN_DEPTH_SANITIZED)
        return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#else
        volatile char here = 0;
        return reinterpret_cast<std::uintptr_t>(&here) + 0;  // + 0: a number, not the address clang warns of
#endif
    }
    // The floor starts above every stack address, so the first guard of a
    // thread comes here and learns it; after that only a real refusal does.
    [[gnu::noinline]] static void refuseOrLearnFloor() {
        if (!floorKnown_) {
            floor_ = platform::stackFloor();
            floorKnown_ = true;
            if (depth_ <= kMaxNestingDepth && stackPosition() >= floor_) return;
        }
        --depth_;
        throw ScriptError(kNestingTooDeep);
    }

    static inline thread_local int depth_ = 0;
    static inline thread_local std::uintptr_t floor_ = UINTPTR_MAX;
    static inline thread_local bool floorKnown_ = false;
};

}  // namespace vorn
