// Running a whole program text the way the program entry runs its boot
// script, and running script files the way a line at the prompt runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// How errors that reach the program's own statements are handled.
enum class ProgramKind {
    // The boot script: each of its statements reports an error and the
    // program goes on with the next one.
    Session,
    // A plain script: the first error is reported and ends the program.
    Script,
};

// Whether the process has room to start. One started with almost no memory
// to spare could not even raise "out of memory" (the C++ runtime sets aside
// its reserve for errors only when there is room for it, and without it
// aborts): it reports out of memory at once instead, and the caller ends
// with status 1. Call first thing, before anything is allocated.
bool roomToStart();

// Splits source and runs it in a new empty scope on a thread with a stack
// deep enough for the nesting limit. Returns the process exit status: 0 when
// the program ran to its end or its input ended, kUnbalancedExitStatus when a
// text turned out unbalanced (after printing the parser's report), 1 after
// reporting an error that reached the top.
int runProgram(std::string_view source, ProgramKind kind);

// A script to run: the name its errors are reported under, and its text.
struct ScriptSource {
    std::string name;
    std::string text;
};

// The tables that scripts run in.
enum class ScriptTables {
    // Nothing but the builtins, each script in a scope of its own.
    Bare,
    // What a line typed at the prompt sees: the builtins and the boot
    // script's own definitions (range, varexists, ...), made by running
    // those lines of the boot script. Names a script creates stay for the
    // scripts after it.
    Prompt,
};

struct ScriptRunOptions {
    ScriptTables tables = ScriptTables::Prompt;
    // Whether an error raised in a script's own lines names the script and
    // the line, as for a file run by `also`.
    bool locateErrors = true;
    // Whether `also` prints its progress lines.
    bool alsoProgress = true;
};

// Runs the scripts one after the other in one session, on the deep-stack
// thread, as plain scripts: the first error is reported and ends the run.
// Returns the exit status as runProgram does.
int runScripts(std::vector<ScriptSource> scripts, const ScriptRunOptions& options);

}  // namespace vorn
