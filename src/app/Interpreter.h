// Running a whole program text the way the program entry runs its boot script.
#pragma once

#include <string_view>

namespace vorn {

// How errors that reach the program's own statements are handled.
enum class ProgramKind {
    // The boot script: each of its statements reports an error and the
    // program goes on with the next one.
    Session,
    // A plain script: the first error is reported and ends the program.
    Script,
};

// Splits source and runs it in a new empty scope on a thread with a stack
// deep enough for the nesting limit. Returns the process exit status: 0 when
// the program ran to its end or its input ended, kUnbalancedExitStatus when a
// text turned out unbalanced (after printing the parser's report), 1 after
// reporting an error that reached the top.
int runProgram(std::string_view source, ProgramKind kind);

}  // namespace vorn
