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

// A VORN function call that recurses from inside a compare body costs three
// levels (the call's run, the compare body's run, the returned expression),
// so this admits over 13,000 nested calls. Texts nested deeper than this are
// refused when they are split, since each level is split again on its own.
constexpr int kMaxNestingDepth = 40000;
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
