// Running a program text: builtin registration, the deep-stack thread and
// the report of whatever reaches the top.
#include "app/Interpreter.h"

#include <new>
#include <string>

#include "builtins/BuiltinTable.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

namespace {

// Enough native stack for kMaxNestingDepth levels, with room to spare for
// sanitizer builds, whose frames are several times larger.
constexpr std::size_t kInterpreterStackBytes = std::size_t(4) << 30;

struct ProgramRun {
    std::string_view source;
    ProgramKind kind;
    int status = 0;
};

int runOnThisThread(void* argument) {
    auto* run = static_cast<ProgramRun*>(argument);
    try {
        registerBuiltins();
        const std::shared_ptr<const Block> block = prepareBlock(run->source);
        Scope scope;
        runBlock(*block, &scope, nullptr,
                 run->kind == ProgramKind::Session ? ErrorBoundary::Yes : ErrorBoundary::No);
        run->status = 0;
    } catch (const EndOfSession&) {
        platform::writeOut("\n");
        platform::flushOut();
        run->status = 0;
    } catch (const UnbalancedText& unbalanced) {
        platform::writeOut(unbalanced.report());
        platform::flushOut();
        run->status = kUnbalancedExitStatus;
    } catch (const ScriptError& error) {
        reportError(error.what());
        run->status = 1;
    } catch (const std::bad_alloc&) {
        reportError("out of memory");
        run->status = 1;
    }
    return run->status;
}

}  // namespace

int runProgram(std::string_view source, ProgramKind kind) {
    ProgramRun run{source, kind};
    if (kind == ProgramKind::Session) platform::installInterruptHandler();
    platform::runWithLargeStack(kInterpreterStackBytes, runOnThisThread, &run);
    return run.status;
}

}  // namespace vorn
