// The interpreter: what one program keeps between its statements, besides
// its Values and name tables.
//
// A program (the boot script and the session it starts, vorn-run's scripts,
// a fuzzing input) runs in one Interpreter. Every run belongs to it (Run,
// View), and every builtin receives it with its call (exec/CallScope.h), so
// nothing below the program entry reaches this state through a global, and
// the prompt, `input` and the start-up's safeguards talk to the executor
// through it:
//   - the builtins: a Value of kind "cfunc" per entry of the builtin table,
//     which the program entry hands over (builtins/BuiltinTable.h: the
//     builtins use the executor, so it does not reach up for them);
//   - the stack of bindings that holds every run's names (exec/Bindings.h);
//   - the error boundaries: whether a statement of a boundary run is being
//     carried out directly, and its kind; the hooks around the program's own
//     top-level statements (the start-up's safeguards), and the reader of
//     the prompt's entries;
//   - the files and prompt lines run, which place a function's errors
//     (exec/Where.h);
//   - the indexes `where` keeps of long lists (exec/ListIndex.h);
//   - the statement budget (fuzzing and tests set one) and whether `also`
//     reports its progress.
// What stays with the process, and why: the pools that Values, cells and
// tables are made from, with the collector's count of cells and the list of
// Values the kind trim must visit (a Value is made and released with no way
// back to a program, as memory is); the Symbol table (a name's text is
// interned once, as a string constant would be); the limit on a text's
// length; and the stack's extent, a fact of the thread (values/Depth.h).
// One program runs at a time in a process.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "exec/Bindings.h"
#include "exec/View.h"
#include "parse/Code.h"
#include "platform/Platform.h"
#include "values/Limits.h"
#include "values/Scope.h"
#include "values/Value.h"

namespace vorn {

struct RecordedTexts;
struct ListIndexes;
// Each is made and dropped where its type is known (exec/Where.cpp,
// exec/ListIndex.cpp).
struct DropRecordedTexts {
    void operator()(RecordedTexts* texts) const;
};
struct DropListIndexes {
    void operator()(ListIndexes* indexes) const;
};
std::unique_ptr<RecordedTexts, DropRecordedTexts> makeRecordedTexts();
std::unique_ptr<ListIndexes, DropListIndexes> makeListIndexes();

// Run around each of the program's own top-level statements (a Program
// boundary): before() ahead of it, abandoned() after an error abandoned it
// and was reported.
class StatementHooks {
public:
    virtual ~StatementHooks() = default;
    virtual void before(StatementKind kind) = 0;
    virtual void abandoned() = 0;
};

// A builtin's name and its native function (the table of them is
// builtins/BuiltinTable.h).
struct BuiltinEntry {
    const char* name;
    NativeFunction function;
    // The function reads copies of its arguments and nothing else of the
    // call, and runs no script code: its call may hand it a name's own Value.
    bool readsArgumentsOnly = false;
};

class Interpreter {
public:
    // builtins: the table the program entry hands over.
    explicit Interpreter(std::span<const BuiltinEntry> builtins);
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // The builtins' Values in name order.
    const std::vector<std::pair<std::string, ValueRef>>& builtins() const { return builtins_; }
    // The bindings of every run under way (exec/Bindings.h), and the view
    // of them that operands read.
    Bindings& bindings() { return bindings_; }
    const View& view() const { return view_; }
    // Replaces a builtin's native function (test harnesses use it to keep
    // generated programs away from the file system). False for a name that
    // is no builtin.
    bool replaceBuiltinFunction(std::string_view name, NativeFunction function);

    // Statements a run may still start; 0 means no budget (the default).
    void setStatementBudget(std::uint64_t n) {
        budget_ = n;
        budgeted_ = n != 0;
        // Spent before each statement, so every statement must look.
        if (budgeted_) platform::gBoundaryWork = 1;
    }
    bool budgeted() const { return budgeted_; }
    // Throws StatementBudgetExhausted once the budget is spent.
    void spendStatement() {
        if (budgeted_ && budget_-- == 0) {
            budget_ = 0;
            throw StatementBudgetExhausted{};
        }
    }

    // Error boundaries (see ErrorBoundary in exec/Run.h). True while a
    // statement of an error-boundary run is being carried out directly (not
    // inside a call, exec or also it started).
    bool inBoundaryStatement() const { return inBoundaryRun_; }
    // True while the operand of such a run's exec statement is evaluated
    // directly: the interactive loop's `exec ($input)` asking for the next
    // line typed at the prompt.
    bool inBoundaryExec() const { return inBoundaryRun_ && boundaryKind_ == StatementKind::Exec; }

    std::unique_ptr<StatementHooks> hooks;
    // Reads the interactive loop's next entry for `input` under the loop's
    // own exec; false when input has ended. The program entry installs the
    // prompt's reader (app/PromptEntry.h); without one, a line is read as
    // any other `input` reads it.
    bool (*readEntry)(std::string& entry) = nullptr;
    // Whether `also` prints its progress lines ("reading file...", the line
    // counter, "OK."); on unless a program turns them off.
    bool alsoProgress = true;

    RecordedTexts& recorded() { return *recorded_; }
    ListIndexes& listIndexes() { return *listIndexes_; }
    // Whether a `where` has ever kept an index of a list; until then a
    // change to a list has none to keep up (exec/ListIndex.h).
    bool keepsListIndexes() const { return keepsListIndexes_; }
    void noteListIndexKept() { keepsListIndexes_ = true; }

    // The executor's side of the above: each gives the setting it replaced,
    // for the caller to put back.
    bool enterBoundaryRun(bool inBoundary) { return std::exchange(inBoundaryRun_, inBoundary); }
    StatementKind enterBoundaryStatement(StatementKind kind) { return std::exchange(boundaryKind_, kind); }

private:
    std::vector<std::pair<std::string, ValueRef>> builtins_;
    Bindings bindings_;
    View view_{*this, bindings_};
    std::uint64_t budget_ = 0;
    bool budgeted_ = false;
    bool inBoundaryRun_ = false;
    StatementKind boundaryKind_ = StatementKind::Empty;
    std::unique_ptr<RecordedTexts, DropRecordedTexts> recorded_;
    std::unique_ptr<ListIndexes, DropListIndexes> listIndexes_;
    bool keepsListIndexes_ = false;
};

}  // namespace vorn
