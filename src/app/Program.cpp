// Running a program text: its interpreter, the deep-stack thread and the
// report of whatever reaches the top.
#include "app/Program.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include "app/BootScript.h"
#include "app/PromptEntry.h"
#include "app/StartUp.h"
#include "builtins/BuiltinTable.h"
#include "exec/Interpreter.h"
#include "exec/Run.h"
#include "exec/Where.h"
#include "parse/Code.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

namespace {

// Enough native stack for kMaxNestingDepth levels, with room to spare for
// sanitizer builds, whose frames are several times larger.
constexpr std::size_t kInterpreterStackBytes = std::size_t(4) << 30;

struct GuardedRun {
    std::function<void(Interpreter&)> body;
    // Whether unbalanced text is also told, with its place, on standard
    // error (vorn-run: the report on standard output stays as it always was).
    bool unbalancedToError = false;
    int status = 0;
};

// The report of memory running out, made without asking for more: building
// the usual report's text could fail in turn and end the program.
void reportOutOfMemory() {
    platform::writeOut(platform::atLineStart() ? "error: out of memory\n" : "\nerror: out of memory\n");
    platform::flushOut();
}

}  // namespace

bool roomToStart() {
    // More than the runtime's reserve and the program's start ask for, and
    // past the size that malloc takes from the address space directly.
    constexpr std::size_t kStartingRoom = std::size_t(192) << 10;
    void* probe = std::malloc(kStartingRoom);
    if (!probe) {
        reportOutOfMemory();
        return false;
    }
    std::free(probe);
    return true;
}

namespace {

// Runs the body and turns whatever reaches the top into a report and an
// exit status.
int runOnThisThread(void* argument) {
    auto* run = static_cast<GuardedRun*>(argument);
    std::optional<Interpreter> interpreter;
    try {
        interpreter.emplace(builtinEntries());
        run->body(*interpreter);
        platform::flushOut();
        run->status = 0;
    } catch (const EndOfSession&) {
        platform::writeOut("\n");
        platform::flushOut();
        run->status = 0;
    } catch (const UnbalancedText& unbalanced) {
        platform::writeOut(unbalanced.report());
        platform::flushOut();
        if (run->unbalancedToError)
            std::fprintf(stderr, "vorn-run: %s\n", unbalancedReport(*interpreter, unbalanced).c_str());
        run->status = kUnbalancedExitStatus;
    } catch (const ScriptError& error) {
        reportError(errorReport(*interpreter, error));
        run->status = 1;
    } catch (const std::bad_alloc&) {
        reportOutOfMemory();
        run->status = 1;
    }
    return run->status;
}

int runGuarded(std::function<void(Interpreter&)> body, bool unbalancedToError = false) {
    GuardedRun run{std::move(body), unbalancedToError};
    try {
        platform::runWithLargeStack(kInterpreterStackBytes, runOnThisThread, &run);
    } catch (const ScriptError& error) {
        // No stack to run on: said at once, never a crash later.
        reportError(error.what());
        return 1;
    } catch (const std::bad_alloc&) {
        reportOutOfMemory();
        return 1;
    }
    return run.status;
}

}  // namespace

int runProgram(std::string_view source, ProgramKind kind) {
    if (kind == ProgramKind::Session) platform::installInterruptHandler();
    return runGuarded([source, kind](Interpreter& interpreter) {
        const std::shared_ptr<const Block> block = prepareBlock(source);
        Scope scope;
        if (kind == ProgramKind::Session) {
            interpreter.hooks = std::make_unique<StartUpSafeguards>();
            interpreter.readEntry = readPromptEntry;
        }
        runBlock(interpreter, *block, &scope, nullptr,
                 kind == ProgramKind::Session ? ErrorBoundary::Program : ErrorBoundary::No);
    });
}

int runScripts(std::vector<ScriptSource> scripts, const ScriptRunOptions& options) {
    // Each script's text becomes its block's bytes as it is run, so no
    // script is held twice (but for the copy kept to place its functions).
    const auto runOne = [&options](Interpreter& interpreter, ScriptSource& script, Scope& inherited, Scope* local) {
        const Text text(std::move(script.text));
        if (!options.locateErrors) {
            runBlock(interpreter, blockOfText(text, false), &inherited, local);
            return;
        }
        recordFile(interpreter, script.name, text.view());
        throughFile(script.name, text.view(),
                    [&] { runBlock(interpreter, blockOfText(text, false), &inherited, local); });
    };
    return runGuarded(
        [&scripts, &options, &runOne](Interpreter& interpreter) {
            interpreter.alsoProgress = options.alsoProgress;
            if (options.tables == ScriptTables::Bare) {
                for (ScriptSource& script : scripts) {
                    Scope scope;
                    runOne(interpreter, script, scope, nullptr);
                }
                return;
            }
            // The session scope plays the part of the prompt loop's scope: each
            // script runs in it as a typed line does, so names a script creates
            // stay for the next one.
            Scope session;
            runBlock(interpreter, *prepareBlock(bootDefinitions()), &session, &session);
            for (ScriptSource& script : scripts) runOne(interpreter, script, session, &session);
        },
        options.locateErrors);
}

}  // namespace vorn
