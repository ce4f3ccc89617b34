// The control statements: compare, until, each, end, exec and also.
//
// Bodies run through runBlock again; the scopes each statement passes decide
// what survives a body. A body that ended through `end` ends the enclosing
// run too, with the body's return value.
#include <cstdint>
#include <string>
#include <vector>

#include "exec/Run.h"
#include "exec/Statements.h"
#include "exec/Trim.h"
#include "exec/Where.h"
#include "expr/Evaluator.h"
#include "platform/Platform.h"
#include "values/Convert.h"
#include "values/Error.h"

namespace vorn {

namespace {

// Whether a body's own statements can rebind a name in the inherited
// table it runs in: the statements that bind through bindName, and text run
// by exec or also in the body's own tables. Nested bodies and calls run in
// tables of their own.
bool mayRebind(const Block& body) {
    for (const PreparedStatement& statement : body.statements) {
        switch (statement.kind) {
            case StatementKind::List:
            case StatementKind::Index:
            case StatementKind::Where:
            case StatementKind::Class:
            case StatementKind::Exec:
            case StatementKind::Also: return true;
            default: break;
        }
    }
    return false;
}

// Takes over a body's return when it ended through `end`.
bool endedRun(Run& run, BlockResult& result) {
    if (!result.returned) return false;
    run.returnValue = std::move(result.value);
    run.returned = true;
    return true;
}

// Whether a condition holds: its integer form is not 0.
bool conditionHolds(const Operand& condition, const View& view) {
    return evaluateTokenInteger(condition, view, InlineBlocks::On) != 0;
}

void runText(Run& run, const Text& code) {
    const Block& block = blockOfText(code, false);
    runBlock(run.interpreter, block, &run.inherited, &run.local);
    run.tablesChanged();
}

}  // namespace

void executeCompare(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "compare needs a condition and a body");
    if (!conditionHolds(statement.tokens[0], run.view())) return;
    const Block& body = statement.tokens[1].inlineBody();
    const ErrorBoundary boundary = run.boundary == ErrorBoundary::No ? ErrorBoundary::No : ErrorBoundary::Within;
    // With an empty local table the nested scope is the inherited table
    // itself. A body that cannot rebind names there (its new names go to a
    // local table of its own) and finds every builtin bound can then run in
    // that table instead of a copy: the copy would be dropped unchanged.
    if (run.local.empty() && run.inherited.builtinsBound() && !mayRebind(body)) {
        BlockResult result = runBlockIn(run.interpreter, body, run.inherited, nullptr, boundary);
        endedRun(run, result);
        return;
    }
    Scope scope = run.nestedScope();
    BlockResult result = runBlockIn(run.interpreter, body, scope, nullptr, boundary);
    endedRun(run, result);
}

void executeUntil(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "until needs a condition and a body");
    // Each pass runs with the loop scope as both of its tables: the local
    // table is the loop scope itself, and the inherited one a copy of it
    // taken at the start of the pass. Written back in that order, the local
    // table wins, so whatever the pass rebound in the inherited table is
    // lost and the loop scope ends the pass as its local table; a failed
    // pass ends the loop statement, which drops the loop scope. The copy
    // is taken again only when the last pass changed either table.
    struct UntilPasses final : Passes {
        UntilPasses(const Run& r, const PreparedStatement& s) : run(r), statement(s), loopScope(r.nestedScope()) {}
        const Block* next() override {
            // The condition sees the run's own tables, never the loop scope.
            if (!conditionHolds(statement.tokens[0], run.view())) return nullptr;
            const Block& body = statement.tokens[1].inlineBody();
            replaced = !passInherited.identicalTo(loopScope);
            if (replaced) passInherited = loopScope;
            return &body;
        }
        const Run& run;
        const PreparedStatement& statement;
        Scope loopScope;
        Scope passInherited = loopScope;
    } passes(run, statement);
    BlockResult result = runPasses(run.interpreter, passes.passInherited, passes.loopScope,
                                   run.boundary == ErrorBoundary::Program ? ErrorBoundary::Yes : run.boundary, passes);
    endedRun(run, result);
}

void executeEach(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 2, "each needs a sequence and a body");
    const Value sequence = evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On);
    Scope loopScope = run.nestedScope();

    const Block& body = statement.tokens[1].inlineBody();

    // Each pass binds "element" in the loop scope and runs with a local
    // table of its own, new and empty: names the pass created are dropped
    // before the next element is bound.
    struct EachPasses final : Passes {
        EachPasses(const Block& b, const Value& sequence) : body(b) {
            if (sequence.kind == Kind::String) {
                text = sequence.text;
                byte = text.view().data();
                bytesLeft = text.size();
            } else {
                at = sequence.items.get().data();
                end = at + sequence.items.get().size();
            }
        }
        const Block* next() override {
            static const SymbolRef kElement = intern("element");
            // Rebinding "element" needs no new view: the view reads the
            // loop scope's bindings as they are.
            replaced = !local.empty();
            local.clear();
            // `element` is the element itself, so an element kept as an
            // integer gets its cell for its pass; once the next pass has run,
            // a cell that nothing else took a reference to goes back to a
            // word, so walking a list of integers leaves it as small as it was.
            if (previous) previous->keepAsIntegerIfAlone();
            previous = current;
            current = nullptr;
            if (bytesLeft > 0) {
                // The characters of a text are made one at a time. The last
                // one's Value, when nothing but the binding refers to it any
                // more, takes the next character in place.
                --bytesLeft;
                if (Cell* last = loopScope->soleCell(kElement.get())) last->value = Value::ofText(Text::ofByte(*byte++));
                else loopScope->set(kElement, newValue(Value::ofText(Text::ofByte(*byte++))));
                return &body;
            }
            if (at == end) return nullptr;
            current = at++;
            loopScope->set(kElement, current->ref());
            return &body;
        }
        // After a pass that ended the loop through `end`.
        void ended() {
            local.clear();
            if (previous) previous->keepAsIntegerIfAlone();
        }
        const Block& body;
        Scope* loopScope = nullptr;
        Scope local;
        Text text;
        const char* byte = nullptr;
        std::size_t bytesLeft = 0;
        // sequence shares the item box with the list, so the box cannot
        // change in place while the passes run: a change to the list copies
        // it first.
        const Item* at = nullptr;
        const Item* end = nullptr;
        const Item* previous = nullptr;
        const Item* current = nullptr;
    } passes(body, sequence);
    passes.loopScope = &loopScope;
    BlockResult result = runPasses(run.interpreter, loopScope, passes.local, ErrorBoundary::No, passes);
    if (result.returned) passes.ended();
    endedRun(run, result);
}

void executeEnd(Run& run, const PreparedStatement& statement) {
    if (!statement.tokens.empty()) {
        Value scratch;
        run.returnValue = ownValue(evaluateTokenInPlace(statement.tokens[0], run.view(), InlineBlocks::On, scratch), scratch);
    }
    run.returned = true;
}

void executeExec(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "exec needs the code to run");
    const Text code = textOf(evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On));
    // The interactive loop's own exec runs the line typed at the prompt.
    const bool typed = run.interpreter.inBoundaryExec();
    if (typed) recordPromptEntry(run.interpreter, code.view());
    throughExec(code, typed, [&] { runText(run, code); });
}

void executeAlso(Run& run, const PreparedStatement& statement) {
    requireTokens(statement, 1, "also needs a file name");
    const std::string fileName = textOf(evaluateToken(statement.tokens[0], run.view(), InlineBlocks::On)).str() + ".VORN";
    const std::string inLibrary = "lib/" + fileName;
    const std::string path = platform::exists(inLibrary) ? inLibrary : fileName;

    if (run.interpreter.alsoProgress) {
        platform::writeOut("reading file...\n");
        platform::flushOut();
    }
    std::size_t lines = 0;
    std::string program = platform::readSourceText(path, lines);
    if (run.interpreter.alsoProgress)
        for (std::size_t i = 0; i < lines; ++i) platform::writeOut("line " + std::to_string(i) + "\r");
    if (run.interpreter.alsoProgress) {
        platform::writeOut("\n");
        platform::flushOut();
        platform::writeOut("OK.\n");
        platform::flushOut();
    }
    const Text text(std::move(program));
    recordFile(run.interpreter, path, text.view());
    throughFile(path, text.view(), [&] { runText(run, text); });
}

}  // namespace vorn
