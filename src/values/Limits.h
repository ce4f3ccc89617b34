// Limits that keep a session alive: the largest text a script may build (the
// statement budget that test harnesses set is the interpreter's, see
// exec/Interpreter.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "values/Error.h"
#include "values/Messages.h"

namespace vorn {

// A text longer than this is refused with an "out of memory" error rather
// than attempted: 1 GiB is far beyond any script's needs, and refusing early
// keeps a runaway `s += s` or "a" * 2000000000 from taking the machine down.
constexpr std::size_t kDefaultMaxTextBytes = std::size_t(1) << 30;

// Thrown when a budgeted run has started all its statements. It is no
// ScriptError on purpose: statement-level error boundaries (the session's
// statements, the interactive loop) must not swallow it, or a budgeted session
// would go on reporting it for ever.
struct StatementBudgetExhausted {};

class Limits {
public:
    static std::size_t maxTextBytes() { return maxTextBytes_; }
    static void setMaxTextBytes(std::size_t n) { maxTextBytes_ = n; }

    // Throws "out of memory" when a text of n bytes would exceed the limit.
    static void checkTextSize(std::size_t n) {
        if (n > maxTextBytes_) throw textTooLong();
    }
    static ScriptError textTooLong() { return ScriptError(messages::kOutOfMemory, "text too long"); }

private:
    static inline std::size_t maxTextBytes_ = kDefaultMaxTextBytes;
};

}  // namespace vorn
