// The one limit on nesting: runs, groups, calls and text forms all count here.
//
// Every recursive path of the interpreter (nested runs and calls, nested
// parenthesised groups, rendering a list that contains itself) holds a
// DepthGuard while it recurses. Past kMaxNestingDepth the guard raises an
// ordinary script error instead of letting the native stack overflow. The
// interpreter thread's stack is sized for this many levels (see app/).
#pragma once

#include "values/Error.h"

namespace vorn {

// One VORN function call costs about four levels (the call's run, the body
// run of a compare inside it, a group, an argument expression), so this
// admits well over 10,000 nested calls.
constexpr int kMaxNestingDepth = 80000;
inline constexpr const char* kNestingTooDeep = "nesting too deep";

class DepthGuard {
public:
    DepthGuard() {
        if (++depth_ > kMaxNestingDepth) {
            --depth_;
            throw ScriptError(kNestingTooDeep);
        }
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

    static int current() { return depth_; }

private:
    static inline thread_local int depth_ = 0;
};

}  // namespace vorn
