// Console builtins: print, input, getchar, _beep, _whereami.
#include "builtins/Arguments.h"
#include "builtins/Builtins.h"
#include "exec/Interpreter.h"
#include "exec/Run.h"
#include "platform/Platform.h"
#include "values/Error.h"

#include <optional>

namespace vorn::builtins {

Value print(const CallScope& scope) {
    platform::writeOut(textOf(argument(scope, 0)).view());
    // The line-end mode is optional; a caller's own "arg1" counts as one.
    if (!hasArgument(scope, 1)) {
        platform::writeOut("\n");
        platform::flushOut();
        return Value();
    }
    const Text mode = textOf(argument(scope, 1));
    if (mode.view() == "r") {
        platform::writeOut("\r");
    } else if (mode.view() != "nah") {
        platform::writeOut("\n");
        platform::flushOut();
    }
    return Value();
}

Value input(const CallScope& scope) {
    Interpreter& interpreter = scope.interpreter();
    std::string line;
    if (interpreter.inBoundaryExec()) {
        const bool read = interpreter.readEntry ? interpreter.readEntry(line) : platform::readLine(line);
        if (!read) throw EndOfSession{};
        return Value::ofText(std::move(line));
    }
    // The boot script's own questions (the restore dialogue) wait idle like
    // the prompt: a Ctrl-C there is no first press of two.
    std::optional<platform::PromptWait> idle;
    if (interpreter.inBoundaryStatement()) idle.emplace();
    if (!platform::readLine(line)) {
        // The interactive loop itself asking for a line at end of input ends
        // the session; a script's own input just reads as empty text.
        if (interpreter.inBoundaryStatement()) throw EndOfSession{};
        line.clear();
    }
    return Value::ofText(std::move(line));
}

Value getchar(const CallScope&) { return Value::ofText(platform::readKey()); }

Value beep(const CallScope&) {
    platform::writeBell();
    return Value();
}

Value whereami(const CallScope&) { return Value::ofText(platform::currentDirectory()); }

}  // namespace vorn::builtins
