// What every harness that runs script code needs: no file system, no console
// input, output thrown away, bounded work per input, a deep stack, and the
// same builtins at the start of every input.
//
// Generated programs can call every builtin, and a brace block inside an
// expression or a list text element is a whole program. So the builtins that
// reach the file system or read the console are replaced by stand-ins before
// the first input, and every input runs in a fresh empty folder, where `also`
// finds no file to read. The process goes back to its own folder between
// inputs, where libFuzzer reads and writes its corpus; crash files are
// written while an input runs, so relative artifact paths are made absolute
// before libFuzzer reads its flags.
//
// Assigning to a builtin's name (or deleting it) changes the builtin's one
// shared Value for the whole process. Each input would then see what earlier
// inputs left behind, and a crash could not be reproduced from its input
// alone; resetForInput() therefore puts every builtin Value back as it was.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "builtins/BuiltinTable.h"
#include "exec/CallScope.h"
#include "exec/Interpreter.h"
#include "parse/Splitter.h"
#include "platform/Platform.h"
#include "values/Error.h"
#include "values/Heap.h"
#include "values/Limits.h"
#include "values/Scope.h"
#include "values/Value.h"

namespace vorn::fuzz {

// Statements one input may start: enough for loops and recursion to do real
// work, few enough that `until 1 { x = 1 }` ends within a second.
constexpr std::uint64_t kStatementBudget = 20000;
// The largest text one input may build.
constexpr std::size_t kMaxTextBytes = std::size_t(1) << 20;
// The interpreter recurses natively for every nested run, call and group, up
// to kMaxNestingDepth levels. Sanitizer frames are large: the program itself
// reserves 4 GiB for its interpreter thread, and so do the harnesses (it is
// only address space; pages are committed as the recursion reaches them and
// returned when the thread ends).
constexpr std::size_t kStackBytes = std::size_t(4) << 30;

inline Value standInNothing(const CallScope&) { return Value(); }
inline Value standInFalse(const CallScope&) { return Value::ofInteger(0); }

// The interpreter every input of the process runs in, as the program's one
// interpreter runs every line of a session.
inline Interpreter& sandbox() {
    static Interpreter interpreter(builtinEntries());
    return interpreter;
}

struct Folders {
    int home = -1;   // where the process was started
    int empty = -1;  // where inputs run
};
inline Folders& folders() {
    static Folders f;
    return f;
}

inline std::vector<std::pair<ValueRef, Value>>& pristineBuiltins() {
    static std::vector<std::pair<ValueRef, Value>> saved;
    return saved;
}

// Once per process, before the first input. `input` reads nothing unless a
// harness brings its own console lines.
inline void enterSandbox(NativeFunction input = standInNothing) {
    static bool entered = false;
    if (entered) return;
    entered = true;

    Interpreter& interpreter = sandbox();
    const char* const kNothing[] = {"_writefile", "_writebinfile", "_readfile", "_readbinfile", "_mkdir",
                                    "_rm",        "_listdir",      "_cd",       "_whereami",    "getchar"};
    for (const char* name : kNothing) {
        if (!interpreter.replaceBuiltinFunction(name, standInNothing)) std::abort();
    }
    if (!interpreter.replaceBuiltinFunction("input", input)) std::abort();
    for (const char* name : {"_exists", "_isdir"}) {
        if (!interpreter.replaceBuiltinFunction(name, standInFalse)) std::abort();
    }
    for (const auto& [name, value] : interpreter.builtins()) pristineBuiltins().emplace_back(value, *value);

    // A folder of our own with nothing in it, so that `also` reads nothing.
    // It is removed at once: inputs still run in it through the open
    // descriptor, nothing can ever be created in it, and no process leaves
    // it behind, however it ends (a fork-mode worker is killed on a timeout).
    std::string folder = "/tmp/vorn-fuzz-XXXXXX";
    if (!mkdtemp(folder.data())) std::abort();
    folders().home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folders().empty = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folders().home < 0 || folders().empty < 0) std::abort();
    if (rmdir(folder.c_str()) != 0) std::abort();

    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();

    Limits::setMaxTextBytes(kMaxTextBytes);
}

inline void restoreBuiltins() {
    for (auto& [value, pristine] : pristineBuiltins()) *value = pristine;
}

// Before every input.
inline void resetForInput() {
    restoreBuiltins();
    sandbox().setStatementBudget(kStatementBudget);
}

// After every input: what the input left in the builtins goes, and so do the
// cycles it made (objects refer to themselves through their methods, lists
// can contain themselves); otherwise every such input would leave its Values
// behind and a long run would end out of memory.
inline void cleanUpAfterInput() {
    restoreBuiltins();
    Heap::collectCycles();
}

// Runs f(), catching the outcomes a script may legitimately end in: an
// error, an unbalanced text, memory running out, the statement budget.
// Anything else is a finding and goes on up. False when one of them ended f.
template <class F>
bool endsAsScriptsMay(F&& f) {
    try {
        f();
        return true;
    } catch (const ScriptError&) {
    } catch (const UnbalancedText&) {
    } catch (const std::bad_alloc&) {
    } catch (const StatementBudgetExhausted&) {
    }
    return false;
}

// Runs body() in the empty folder, on a thread with a stack deep enough for
// the nesting limit.
template <class Body>
void runDeep(Body& body) {
    if (fchdir(folders().empty) != 0) std::abort();
    platform::runWithLargeStack(
        kStackBytes,
        [](void* raw) -> int {
            (*static_cast<Body*>(raw))();
            return 0;
        },
        &body);
    if (fchdir(folders().home) != 0) std::abort();
    cleanUpAfterInput();
}

}  // namespace vorn::fuzz

// libFuzzer writes crash, timeout and out-of-memory files while an input
// runs, that is, inside the empty folder: a relative -artifact_prefix or
// -exact_artifact_path (or none, meaning the current folder) is turned into
// an absolute one first. libFuzzer calls this before it parses its flags.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    char here[4096];
    if (!getcwd(here, sizeof here)) return 0;
    const std::string home = std::string(here) + "/";
    bool prefixGiven = false;
    texts.assign(*argv, *argv + *argc);
    for (std::string& arg : texts) {
        for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
            const std::size_t n = std::strlen(flag);
            if (arg.compare(0, n, flag) != 0) continue;
            if (flag[1] == 'a') prefixGiven = true;
            if (arg.size() == n || arg[n] != '/') arg.insert(n, home);
        }
    }
    if (!prefixGiven) texts.insert(texts.begin() + 1, "-artifact_prefix=" + home);
    pointers.clear();
    for (std::string& arg : texts) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(texts.size());
    *argv = pointers.data();
    return 0;
}
